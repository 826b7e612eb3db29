// The reader on any line: its splitter, then value validation with the program's 19 columns and patterns
// (nodes/InputColumns.h), read once as headings; each input is one data line, asked for every column by its lower-case
// name as the import asks. Beyond not crashing: a value comes back as the line's field, or fails validation naming that
// value and column, or the line is too short for the column (Error 9); asking by the heading's own spelling gives the
// same.
#include <memory>
#include <string>

#include "FuzzSupport.h"
#include "mdlParse.h"
#include "nodes/InputColumns.h"
#include "platform/Error.h"
#include "ucQuillet.h"

namespace {

using fuzz::check;

// A reader that has read the program's headings from `file` and holds its pattern for every column.
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

// The splitter on the raw input: the fields are ordered, non-overlapping views into it, parseLine is splitFields with
// the quotes stripped, and a line without quotes splits exactly at its commas (a field holding a non-blank trimmed, a
// blank-only field kept whole).
void checkSplitter(std::string_view line) {
  std::vector<std::string_view> raw;
  check(quillet::splitFields(line, raw) == static_cast<int32_t>(raw.size()) && !raw.empty());
  const quillet::Fields fields = quillet::parseLine(line);
  const bool unquoted = line.find('"') == std::string_view::npos;
  const std::vector<std::string> pieces = fuzz::splitAt(line, ',');
  check(fields.size() == raw.size() && (!unquoted || pieces.size() == raw.size()));
  const char* reached = line.data();
  for (size_t i = 0; i < raw.size(); ++i) {
    check(raw[i].data() >= reached && raw[i].data() + raw[i].size() <= line.data() + line.size());
    reached = raw[i].data() + raw[i].size();
    check(fields[i] == quillet::stripQuotes(raw[i]));
    if (!unquoted) continue;
    const std::string_view piece = pieces[i];
    const size_t first = piece.find_first_not_of(' '), last = piece.find_last_not_of(' ');
    check(raw[i] == (first == std::string_view::npos ? piece : piece.substr(first, last - first + 1)));
  }
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
  checkSplitter(input);
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
