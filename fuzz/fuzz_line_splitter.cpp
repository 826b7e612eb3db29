// The reader's line splitter on any line. Beyond not crashing: the fields are
// ordered, non-overlapping views into the line, parseLine is splitFields with
// the quotes stripped, and a line without quotes splits exactly at its commas
// (a field holding a non-blank is trimmed, a blank-only field kept whole).
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "mdlParse.h"

namespace {

using fuzz::check;

std::string_view trimmedUnlessBlank(std::string_view field) {
  const size_t first = field.find_first_not_of(' ');
  if (first == std::string_view::npos) return field;
  return field.substr(first, field.find_last_not_of(' ') - first + 1);
}

void checkViewsLieInOrderInside(std::string_view line, const std::vector<std::string_view>& fields) {
  const char* reached = line.data();
  for (std::string_view field : fields) {
    check(field.data() >= reached && field.data() + field.size() <= line.data() + line.size());
    reached = field.data() + field.size();
  }
}

void checkUnquotedLineSplitsAtCommas(std::string_view line, const std::vector<std::string_view>& fields) {
  const std::vector<std::string> pieces = fuzz::splitAt(line, ',');
  check(fields.size() == pieces.size());
  for (size_t i = 0; i < pieces.size(); ++i) check(fields[i] == trimmedUnlessBlank(pieces[i]));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view line = fuzz::asText(data, size);
  std::vector<std::string_view> raw;
  const int32_t count = quillet::splitFields(line, raw);
  check(count >= 1 && static_cast<size_t>(count) == raw.size());
  checkViewsLieInOrderInside(line, raw);

  const quillet::Fields fields = quillet::parseLine(line);
  check(fields.size() == raw.size());
  for (size_t i = 0; i < raw.size(); ++i) check(fields[i] == quillet::stripQuotes(raw[i]));

  if (line.find('"') == std::string_view::npos) checkUnquotedLineSplitsAtCommas(line, raw);
  return 0;
}
