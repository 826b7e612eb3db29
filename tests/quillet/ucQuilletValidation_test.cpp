// Lookups by heading and the patterns values must match.
#include <gtest/gtest.h>

#include <cctype>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "nodes/InputColumns.h"
#include "ucQuillet.h"

namespace quillet {
namespace {

using platform::Value;
using platform::test::errorNumberOf;

class ValidationTest : public ::testing::Test {
 protected:
  // Opens a file of `lines` with headings, written with the UTF-8 mark.
  void open(const std::vector<std::string>& lines) {
    reader.CSVFile(platform::test::writeLines(folder_.path("in.csv"), lines, platform::TextEncoding::Utf8WithMark));
    reader.OpenCSV(true, true);
  }

  void openAndRead(const std::vector<std::string>& lines) {
    open(lines);
    reader.ReadLine();
  }

  void expectLastInvalid(const Value& column, const Value& value) {
    EXPECT_EQ(reader.LastInvalidColumn(), column);
    EXPECT_EQ(reader.LastInvalidValue(), value);
  }

  platform::test::TempFolder folder_;
  ucQuillet reader;
};

TEST_F(ValidationTest, FailedValueIsReportedUnderTheNameAsAskedUntilTheNextSuccess) {
  openAndRead({"SerialNo,Name", "12a,\"  any thing, at all! \""});
  expectLastInvalid(int16_t{0}, int16_t{0});
  reader.setColumnValidation("SerialNo", "^\\d+$");
  EXPECT_EQ(errorNumberOf([&] { reader.getValue("serialNO"); }), CSVMAN_ERROR_VALIDATIONFAILED);
  expectLastInvalid(std::string("serialNO"), std::string("12a"));
  EXPECT_EQ(reader.getValue("NAME"), "  any thing, at all! ");  // no pattern: anything goes
  expectLastInvalid(std::string(), std::string());
  EXPECT_EQ(reader.getColumnIndex("name"), 2);
}

TEST_F(ValidationTest, AnEmptyValueIsNeverTestedAndClearsTheFailure) {
  openAndRead({"SerialNo,Codec", "x,"});
  reader.setColumnValidation("serialno", "^\\d+$");
  reader.setColumnValidation("codec", "^[gG](711|729)$");
  EXPECT_EQ(errorNumberOf([&] { reader.getValue("serialno"); }), CSVMAN_ERROR_VALIDATIONFAILED);
  EXPECT_EQ(reader.getValue("codec"), "");
  expectLastInvalid(std::string(), std::string());
}

TEST_F(ValidationTest, PatternsAreUnanchoredCaseSensitiveAndReplaceable) {
  openAndRead({"Code", "ab3cd", "abcd"});
  reader.setColumnValidation("code", "\\d");
  EXPECT_EQ(reader.getValue("code"), "ab3cd");
  reader.setColumnValidation("CODE", "^AB");
  EXPECT_EQ(errorNumberOf([&] { reader.getValue("code"); }), CSVMAN_ERROR_VALIDATIONFAILED);
  reader.setColumnValidation("code", "");  // removes the pattern
  EXPECT_EQ(reader.getValue("code"), "ab3cd");
  reader.setColumnValidation("code", "\\d");
  reader.ReadLine();
  EXPECT_EQ(errorNumberOf([&] { reader.getValue("code"); }), CSVMAN_ERROR_VALIDATIONFAILED);
}

TEST_F(ValidationTest, APatternThatDoesNotCompileIsRefusedAndTheOldOneKept) {
  openAndRead({"Code", "b"});
  reader.setColumnValidation("code", "^b$");
  for (const char* bad : {"(", "[a-", "(?=b)", "\\q"}) {
    EXPECT_EQ(errorNumberOf([&] { reader.setColumnValidation("code", bad); }), platform::err::kInvalidArgument) << bad;
  }
  EXPECT_EQ(reader.columnInfo("code").RegExpression, "^b$");
  EXPECT_EQ(errorNumberOf([&] { reader.setColumnValidation("code", "15", true); }),  // a range without a comma
            platform::err::kSubscriptOutOfRange);
  EXPECT_EQ(reader.getValue("code"), "b");
}

TEST_F(ValidationTest, AMissingColumnFailsTheSameWayEveryTime) {
  openAndRead({"NodeType", "o"});
  EXPECT_EQ(errorNumberOf([&] { reader.getValue("Codec"); }), CSVMAN_ERROR_COLUMNNOTFOUND);
  EXPECT_EQ(errorNumberOf([&] { reader.getValue("codec"); }), CSVMAN_ERROR_COLUMNNOTFOUND);
  EXPECT_EQ(errorNumberOf([&] { reader.getColumnIndex("Codec"); }), CSVMAN_ERROR_COLUMNNOTFOUND);
  EXPECT_EQ(errorNumberOf([&] { reader.setColumnValidation("Codec", "x"); }), CSVMAN_ERROR_COLUMNNOTFOUND);
  expectLastInvalid(int16_t{0}, int16_t{0});
}

// Values each input column must accept and refuse.
struct ColumnExamples {
  std::vector<std::string> valid;
  std::vector<std::string> invalid;
};

std::map<std::string, ColumnExamples> inputColumnExamples() {
  const ColumnExamples times = {
      {"12:00AM", "1:05 pm", "23:59", "8:30PM", "11:59:59 PM", "08:05", "00:00", "9:15   am"},
      {"24:00", "9:30", "13:00PM", "08:30PM", "0:30AM", "8:5PM", "17:30:00"}};
  const ColumnExamples intervals = {{"1", "9", "10", "99", "100", "199", "239", "240"},
                                    {"0", "241", "010", "250", "300", "1000", "-1"}};
  // Twenty characters, every one of them accented (forty bytes of UTF-8).
  std::string twentyAccented;
  for (int i = 0; i < 20; ++i) twentyAccented += "\xC3\xA9";
  const std::string longest(255, 's');
  return {
      {"NodeType", {{"O", "o", "V", "v"}, {"OV", "0", " ", "x"}}},
      {"Action", {{"A", "a", "C", "c", "D", "d"}, {"add", "AA", "B"}}},
      {"SerialNo", {{"0", "0000000001", "9999999999"}, {"12345678901", "12a", "-1", "1 2", "\xD9\xA3"}}},
      {"Name", {{"x", twentyAccented, "Node, \"North\""}, {twentyAccented + "\xC3\xA9"}}},
      {"VeltroServerName", {{"mail.example.com", longest}, {longest + "s"}}},
      {"VeltroSMTPSuffix", {{"example.com", longest}, {longest + "\xC3\xA9"}}},
      {"Codec", {{"G711", "g711", "G729", "g729"}, {"G.711", "711", "G722", "G7111"}}},
      {"PhoneNo", {{"5551234", "*#0", "12345678901234"}, {"123456789012345", "555-1234", "P1"}}},
      {"Extension", {{"1234567", "#", "*12"}, {"12345678", "12a"}}},
      {"DialSequence", {{"9|P", "9PxN*#", "12345678901234567890"}, {"9,P", "9A", "123456789012345678901"}}},
      {"NormalBeginTime", times}, {"NormalEndTime", times}, {"NormalInterval", intervals},
      {"UrgentBeginTime", times}, {"UrgentEndTime", times}, {"UrgentInterval", intervals},
      {"AdministrationBeginTime", times}, {"AdministrationEndTime", times}, {"AdministrationInterval", intervals},
  };
}

// The program asks for every column by its name in lower case.
std::string lowerAscii(std::string name) {
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

TEST_F(ValidationTest, InputColumnPatternsAcceptAndRejectTheirExamples) {
  const auto examples = inputColumnExamples();
  const size_t count = std::size(tarnwick::kInputColumns);
  ASSERT_EQ(examples.size(), count);
  struct Example {
    std::string column, value;
    bool valid;
  };
  std::vector<Example> tried;
  std::vector<std::string> lines(1);
  for (size_t i = 0; i < count; ++i) {
    const std::string name = tarnwick::kInputColumns[i].name;
    lines[0] += (i ? "," : "") + name;
    for (bool valid : {true, false}) {
      for (const std::string& value : valid ? examples.at(name).valid : examples.at(name).invalid) {
        std::string line;  // `value`, quoted, in its column and nothing elsewhere
        for (size_t j = 0; j < count; ++j) line += std::string(j ? "," : "") + "\"" + (j == i ? value : "") + "\"";
        lines.push_back(line);
        tried.push_back({lowerAscii(name), value, valid});
      }
    }
  }
  open(lines);
  EXPECT_TRUE(reader.isUtf8());
  for (const auto& column : tarnwick::kInputColumns) reader.setColumnValidation(column.name, column.pattern);
  for (const Example& e : tried) {
    reader.ReadLine();
    SCOPED_TRACE(e.column + " [" + e.value + "]");
    if (e.valid) {
      EXPECT_EQ(reader.getValue(e.column), e.value);
    } else {
      EXPECT_EQ(errorNumberOf([&] { reader.getValue(e.column); }), CSVMAN_ERROR_VALIDATIONFAILED);
      expectLastInvalid(e.column, e.value);
    }
  }
  EXPECT_TRUE(reader.EOF_());
}

}  // namespace
}  // namespace quillet
