// Value validation with the program's own column rules. Once per process the
// reader opens a file whose heading line is the program's 19 column names and
// gets each column's pattern as the import sets them (names and patterns come
// from the program's nodes/InputColumns.h). Each input then becomes a file of
// one data line, opened without headings, so the columns and rules stay; an
// input starting with the UTF-8 mark is read as UTF-8. Every column is asked
// for as the import asks: by its lower-case name. Beyond not crashing: a value
// either comes back as the line's field, or fails validation naming that value
// and column, or the line is too short for the column (Error 9); asking by the
// heading's own spelling gives the same result.
#include <memory>
#include <string>

#include "FuzzSupport.h"
#include "nodes/InputColumns.h"
#include "platform/Error.h"
#include "ucQuillet.h"

namespace {

using fuzz::check;

// A reader that has read the program's headings from `file` and holds the
// program's pattern for every column.
std::unique_ptr<quillet::IucQuillet> openWithRules(const fuzz::ScratchFile& file) {
  std::string headings;
  for (const auto& column : tarnwick::kInputColumns)
    headings += (headings.empty() ? "" : ",") + std::string(column.name);
  file.write(headings + "\r\n");
  auto reader = std::make_unique<quillet::ucQuillet>();
  reader->CSVFile(file.path());
  reader->OpenCSV(true, false);
  for (const auto& column : tarnwick::kInputColumns) reader->setColumnValidation(column.name, column.pattern);
  return reader;
}

// The outcome of one getValue call: the value, or the error number.
std::pair<std::string, int32_t> ask(quillet::IucQuillet& reader, const std::string& column) {
  try {
    return {reader.getValue(column), 0};
  } catch (const platform::Error& e) {
    return {"", e.number()};
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fuzz::ScratchFile file("fuzz_validation");
  static const std::unique_ptr<quillet::IucQuillet> reader = openWithRules(file);
  const std::string_view input = fuzz::asText(data, size);
  file.write(input);
  reader->OpenCSV(false, false);
  quillet::Fields fields;
  try {
    fields = reader->ReadLine();
  } catch (const platform::Error& e) {
    check(e.number() == platform::err::kInputPastEnd && (input.empty() || input == fuzz::kUtf8Mark));
    return 0;
  }
  for (const auto& column : tarnwick::kInputColumns) {
    const std::string asked = fuzz::asciiLowerCase(column.name);
    const auto index = static_cast<size_t>(reader->getColumnIndex(asked));
    const auto [value, error] = ask(*reader, asked);
    if (index > fields.size()) {
      check(error == platform::err::kSubscriptOutOfRange);
    } else if (error == 0) {
      check(value == fields[index - 1]);
    } else {
      check(error == quillet::CSVMAN_ERROR_VALIDATIONFAILED && !fields[index - 1].empty());
      check(reader->LastInvalidValue() == platform::Value(fields[index - 1]));
      check(reader->LastInvalidColumn() == platform::Value(asked));
    }
    check(ask(*reader, column.name) == std::pair(value, error));
  }
  return 0;
}
