// The reader on files of ours: lookups by heading in any case, the patterns
// values must match, and the failure it reports. (Reading lines, headings
// and the library as a host loads it are the import's tests.)
#include "ucQuillet.h"

#include <gtest/gtest.h>

#include <map>

#include "TestSupport.h"
#include "nodes/InputColumns.h"

namespace quillet {
namespace {

using platform::toText;
using platform::test::errorNumberOf;
using Texts = std::vector<std::string>;

class ReadingTest : public ::testing::Test {
 protected:
  // Points the reader at a new file of `lines` and opens it.
  Fields open(const Texts& lines, bool headings = true, bool utf8 = false) {
    reader.CSVFile(platform::test::writeLines(
        folder_.path("in.csv"), lines, utf8 ? platform::TextEncoding::Utf8WithMark : platform::TextEncoding::Cp1252));
    return reader.OpenCSV(headings, true);
  }
  // The column and the value of the last failed validation, as texts ("0" for none yet).
  Texts lastInvalid() { return {toText(reader.LastInvalidColumn()), toText(reader.LastInvalidValue())}; }

  platform::test::TempFolder folder_;
  ucQuillet reader;
};

// A code-page file whose accented capitals fold for lookups: A grave, O stroke,
// S caron, OE, Z caron, Y diaeresis, and the multiplication sign (no lower case).
TEST_F(ReadingTest, CodePageFileIsReadAsUtf8AndItsCapitalsFoldForLookups) {
  open({"\u00C0,\u00D8,\u0160,\u0152,\u017D,\u0178,\u00D7", "\u20AC5,\u00E9t\u00E9"});
  EXPECT_FALSE(reader.isUtf8());
  EXPECT_EQ(reader.ReadLine(), (Fields{"\u20AC5", "\u00E9t\u00E9"}));
  const std::string lowerCase[] = {"\u00E0", "\u00F8", "\u0161", "\u0153", "\u017E", "\u00FF", "\u00D7"};
  for (int16_t i = 0; i < 7; ++i) EXPECT_EQ(reader.getColumnIndex(lowerCase[i]), i + 1) << i;
  EXPECT_EQ(errorNumberOf([&] { reader.getColumnIndex("\u00F7"); }), CSVMAN_ERROR_COLUMNNOTFOUND);
}

// A failure is reported under the name as asked until the next success; an empty value is never tested.
TEST_F(ReadingTest, FailedValueIsReportedUntilTheNextSuccessAndEmptyIsNeverTested) {
  open({"SerialNo,Name,Codec", "12a,\"  any thing, at all! \","}, true, true);
  reader.ReadLine();
  EXPECT_EQ(lastInvalid(), (Texts{"0", "0"}));
  reader.setColumnValidation("SerialNo", "^\\d+$");
  reader.setColumnValidation("codec", "^[gG](711|729)$");
  EXPECT_EQ(errorNumberOf([&] { reader.getValue("serialNO"); }), CSVMAN_ERROR_VALIDATIONFAILED);
  EXPECT_EQ(lastInvalid(), (Texts{"serialNO", "12a"}));
  EXPECT_EQ(reader.getValue("NAME"), "  any thing, at all! ");  // no pattern: anything goes
  EXPECT_EQ(lastInvalid(), (Texts{"", ""}));
  EXPECT_NE(errorNumberOf([&] { reader.getValue("serialno"); }), 0);
  EXPECT_EQ(reader.getValue("codec"), "");
  EXPECT_EQ(lastInvalid(), (Texts{"", ""}));
}

// Values each input column of the program accepts (first) and refuses (second).
TEST_F(ReadingTest, InputColumnPatternsAcceptAndRejectTheirExamples) {
  using Examples = std::pair<Texts, Texts>;
  const Examples times = {{"12:00AM", "1:05 pm", "23:59", "8:30PM", "11:59:59 PM", "08:05", "00:00", "9:15   am"},
                          {"24:00", "9:30", "13:00PM", "08:30PM", "0:30AM", "8:5PM", "17:30:00"}};
  const Examples intervals = {{"1", "9", "10", "99", "100", "199", "239", "240"},
                              {"0", "241", "010", "250", "1000", "-1"}};
  std::string twentyAccented;  // forty bytes of UTF-8
  for (int i = 0; i < 20; ++i) twentyAccented += "\u00E9";
  const std::string longest(255, 's');
  const std::map<std::string, Examples> examples = {
      {"NodeType", {{"O", "o", "V", "v"}, {"OV", "0", " ", "x"}}},
      {"Action", {{"A", "a", "C", "c", "D", "d"}, {"add", "AA", "B"}}},
      {"SerialNo", {{"0", "0000000001", "9999999999"}, {"12345678901", "12a", "-1", "1 2", "\u0663"}}},
      {"Name", {{"x", twentyAccented, "Node, \"North\""}, {twentyAccented + "\u00E9"}}},
      {"VeltroServerName", {{"mail.example.com", longest}, {longest + "s"}}},
      {"VeltroSMTPSuffix", {{"example.com", longest}, {longest + "\u00E9"}}},
      {"Codec", {{"G711", "g711", "G729", "g729"}, {"G.711", "711", "G722", "G7111"}}},
      {"PhoneNo", {{"5551234", "*#0", "12345678901234"}, {"123456789012345", "555-1234", "P1"}}},
      {"Extension", {{"1234567", "#", "*12"}, {"12345678", "12a"}}},
      {"DialSequence", {{"9|P", "9PxN*#", "12345678901234567890"}, {"9,P", "9A", "123456789012345678901"}}},
      {"NormalBeginTime", times},
      {"NormalEndTime", times},
      {"NormalInterval", intervals},
      {"UrgentBeginTime", times},
      {"UrgentEndTime", times},
      {"UrgentInterval", intervals},
      {"AdministrationBeginTime", times},
      {"AdministrationEndTime", times},
      {"AdministrationInterval", intervals}};
  const size_t count = std::size(tarnwick::kInputColumns);
  ASSERT_EQ(examples.size(), count);
  struct Example {
    std::string column, value;
    bool valid;
  };
  std::vector<Example> tried;
  Texts lines(1);  // each value, quoted, in its column and nothing elsewhere
  for (size_t i = 0; i < count; ++i) {
    const std::string heading = tarnwick::kInputColumns[i].name;
    std::string asked = heading;  // as the program asks: in lower case
    for (char& c : asked) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    lines[0] += (i ? "," : "") + heading;
    for (bool valid : {true, false}) {
      for (const std::string& value : valid ? examples.at(heading).first : examples.at(heading).second) {
        lines.push_back(std::string(i, ',') + "\"" + value + "\"" + std::string(count - 1 - i, ','));
        tried.push_back({asked, value, valid});
      }
    }
  }
  open(lines, true, true);
  for (const auto& column : tarnwick::kInputColumns) reader.setColumnValidation(column.name, column.pattern);
  for (const Example& e : tried) {
    reader.ReadLine();
    SCOPED_TRACE(e.column + " [" + e.value + "]");
    EXPECT_EQ(errorNumberOf([&] { EXPECT_EQ(reader.getValue(e.column), e.value); }),
              e.valid ? 0 : CSVMAN_ERROR_VALIDATIONFAILED);
    EXPECT_EQ(lastInvalid(), e.valid ? Texts(2) : (Texts{e.column, e.value}));
  }
}

}  // namespace
}  // namespace quillet
