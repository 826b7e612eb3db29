// mdlProcess: the input columns, their rules, and the values of a line.
#include <algorithm>
#include <cctype>
#include <optional>

#include "InputColumns.h"
#include "mdlProcess.h"
#include "mdlProcessParts.h"

namespace tarnwick {

std::string process::lowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

std::string process::lineValue(quillet::IucQuillet& reader, const std::string& column) {
  try {
    return reader.getValue(column);
  } catch (const platform::Error& error) {
    if (error.number() != platform::err::kSubscriptOutOfRange) throw;
    throw platform::Error(error.number(), "Line has no value for column: " + column);
  }
}

bool process::hasColumn(quillet::IucQuillet& reader, const std::string& column) {
  try {
    reader.getColumnIndex(column);
    return true;
  } catch (const platform::Error& error) {
    if (error.number() != quillet::CSVMAN_ERROR_COLUMNNOTFOUND) throw;
    return false;
  }
}

std::string process::validationFailureText(const std::string& value, const std::string& column) {
  return "Value failed data validation checks.  Value = " + value + " Column = " + column;
}

std::string process::lastValidationFailureText(const quillet::IucQuillet& reader) {
  return validationFailureText(platform::toText(reader.LastInvalidValue()),
                               platform::toText(reader.LastInvalidColumn()));
}

std::vector<std::string> getColumnNames() {
  std::vector<std::string> names;
  for (const auto& column : kInputColumns) names.emplace_back(column.name);
  return names;
}

// A column missing from the input does not keep the others unchecked: every
// column present gets its rule, and then the first missing one is reported.
void setColumnRules(quillet::IucQuillet& reader) {
  std::optional<platform::Error> missing;
  for (const auto& column : kInputColumns) {
    try {
      reader.setColumnValidation(column.name, column.pattern);
    } catch (const platform::Error& error) {
      if (error.number() != quillet::CSVMAN_ERROR_COLUMNNOTFOUND) throw;
      if (!missing) missing = error;
    }
  }
  if (missing) throw *missing;
}

}  // namespace tarnwick
