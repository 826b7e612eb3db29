#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "NodeColumns.h"
#include "QuilletTestSupport.h"
#include "ucQuillet.h"

namespace quillet {
namespace {

using platform::Value;
using quillet_test::errorNumberOf;
using quillet_test::writeCsv;

class ValidationTest : public ::testing::Test {
 protected:
  // Opens a file of `lines` with headings and reads its first data line.
  void openAndRead(const std::vector<std::string>& lines) {
    reader.CSVFile(writeCsv(lines));
    reader.OpenCSV(true, true);
    reader.ReadLine();
  }

  void expectLastInvalid(const Value& column, const Value& value) {
    EXPECT_EQ(reader.LastInvalidColumn(), column);
    EXPECT_EQ(reader.LastInvalidValue(), value);
  }

  ucQuillet reader;
};

TEST_F(ValidationTest, NamesAreFoundInAnyCase) {
  openAndRead({"NodeType,SerialNo", "o,1001"});
  EXPECT_EQ(reader.getValue("nodetype"), "o");
  EXPECT_EQ(reader.getValue("NODETYPE"), "o");
  EXPECT_EQ(reader.getValue("NodeType"), "o");
  EXPECT_EQ(reader.getColumnIndex("serialno"), 2);
}

TEST_F(ValidationTest, AColumnWithoutAPatternAcceptsEveryValue) {
  openAndRead({"Name", "\"  any thing, at all! \""});
  EXPECT_EQ(reader.getValue("name"), "  any thing, at all! ");
}

TEST_F(ValidationTest, FailedValueIsReportedUnderTheNameAsAskedUntilTheNextSuccess) {
  openAndRead({"SerialNo,Name", "12a,x", "12,y"});
  expectLastInvalid(int16_t{0}, int16_t{0});
  reader.setColumnValidation("SerialNo", "^\\d+$");
  try {
    reader.getValue("serialNO");
    FAIL() << "12a passed";
  } catch (const platform::Error& e) {
    EXPECT_EQ(e.number(), CSVMAN_ERROR_VALIDATIONFAILED);
    EXPECT_EQ(e.description(), "Value failed data validation");
  }
  expectLastInvalid(std::string("serialNO"), std::string("12a"));
  EXPECT_EQ(reader.getValue("name"), "x");
  expectLastInvalid(std::string(), std::string());
}

TEST_F(ValidationTest, AnEmptyValueIsNeverTestedAndClearsTheFailure) {
  openAndRead({"SerialNo,Codec", "x,"});
  reader.setColumnValidation("serialno", "^\\d+$");
  reader.setColumnValidation("codec", "^[gG](711|729)$");
  EXPECT_NE(errorNumberOf([&] { reader.getValue("serialno"); }), 0);
  EXPECT_EQ(reader.getValue("codec"), "");
  expectLastInvalid(std::string(), std::string());
}

TEST_F(ValidationTest, AnUnanchoredPatternMatchesAnywhere) {
  openAndRead({"Code", "ab3cd", "abcd"});
  reader.setColumnValidation("code", "\\d");
  EXPECT_EQ(reader.getValue("code"), "ab3cd");
  reader.ReadLine();
  EXPECT_EQ(errorNumberOf([&] { reader.getValue("code"); }), CSVMAN_ERROR_VALIDATIONFAILED);
}

TEST_F(ValidationTest, PatternsAreCaseSensitive) {
  openAndRead({"Action", "A"});
  reader.setColumnValidation("action", "^a$");
  EXPECT_EQ(errorNumberOf([&] { reader.getValue("action"); }), CSVMAN_ERROR_VALIDATIONFAILED);
}

TEST_F(ValidationTest, AMissingColumnFailsTheSameWayEveryTime) {
  openAndRead({"NodeType", "o"});
  EXPECT_EQ(errorNumberOf([&] { reader.getValue("Codec"); }), CSVMAN_ERROR_COLUMNNOTFOUND);
  EXPECT_EQ(errorNumberOf([&] { reader.getColumnIndex("Codec"); }), CSVMAN_ERROR_COLUMNNOTFOUND);
  EXPECT_EQ(errorNumberOf([&] { reader.getValue("codec"); }), CSVMAN_ERROR_COLUMNNOTFOUND);
  EXPECT_EQ(errorNumberOf([&] { reader.setColumnValidation("Codec", "x"); }),
            CSVMAN_ERROR_COLUMNNOTFOUND);
  expectLastInvalid(int16_t{0}, int16_t{0});
}

TEST_F(ValidationTest, AValueNeedsALineThatReachesItsColumn) {
  reader.CSVFile(writeCsv({"A,B,C", "1,2"}));
  reader.OpenCSV(true, true);
  EXPECT_EQ(errorNumberOf([&] { reader.getValue("a"); }), platform::err::kObjectNotSet);
  reader.ReadLine();
  EXPECT_EQ(reader.getValue("b"), "2");
  EXPECT_EQ(errorNumberOf([&] { reader.getValue("c"); }), platform::err::kSubscriptOutOfRange);
}

TEST_F(ValidationTest, ALaterPatternReplacesTheEarlierAndAnEmptyOneRemovesIt) {
  openAndRead({"Code", "b"});
  reader.setColumnValidation("code", "^a$");
  reader.setColumnValidation("CODE", "^b$");
  EXPECT_EQ(reader.getValue("code"), "b");
  reader.setColumnValidation("code", "^a$");
  reader.setColumnValidation("code", "");
  EXPECT_EQ(reader.getValue("code"), "b");
  EXPECT_EQ(reader.columnInfo("code").RegExpression, "");
}

TEST_F(ValidationTest, APatternThatDoesNotCompileIsRefusedAndTheOldOneKept) {
  openAndRead({"Code", "b"});
  reader.setColumnValidation("code", "^b$");
  for (const char* bad : {"(", "[a-", "(?=b)", "\\q"}) {
    EXPECT_EQ(errorNumberOf([&] { reader.setColumnValidation("code", bad); }),
              platform::err::kInvalidArgument)
        << bad;
  }
  EXPECT_EQ(reader.columnInfo("code").RegExpression, "^b$");
  EXPECT_EQ(reader.getValue("code"), "b");
}

TEST_F(ValidationTest, RangeCheckStoresBoundsAndLeavesThePatternAlone) {
  openAndRead({"NormalInterval", "500"});
  reader.setColumnValidation("normalinterval", "^\\d+$");
  reader.setColumnValidation("NormalInterval", "1,240", true);
  const cColInfo& info = reader.columnInfo("normalinterval");
  EXPECT_TRUE(info.RangeCheck);
  EXPECT_EQ(info.MinValue, "1");
  EXPECT_EQ(info.MaxValue, "240");
  EXPECT_EQ(info.RegExpression, "^\\d+$");
  EXPECT_EQ(reader.getValue("normalinterval"), "500");
}

TEST_F(ValidationTest, RangeCheckWithoutACommaFailsAfterStoringTheLowerBound) {
  openAndRead({"Code", "x"});
  EXPECT_EQ(errorNumberOf([&] { reader.setColumnValidation("code", "15", true); }),
            platform::err::kSubscriptOutOfRange);
  const cColInfo& info = reader.columnInfo("code");
  EXPECT_TRUE(info.RangeCheck);
  EXPECT_EQ(info.MinValue, "15");
  EXPECT_EQ(info.MaxValue, "");
}

// Values each node column must accept and refuse.
struct ColumnExamples {
  std::vector<std::string> valid;
  std::vector<std::string> invalid;
};

const ColumnExamples kTimes = {
    {"12:00AM", "1:05 pm", "23:59", "8:30PM", "12:00 am", "11:59:59 PM", "08:05", "17:30", "00:00",
     "9:15   am"},
    {"24:00", "9:30", "13:00PM", "08:30PM", "8:30", "0:30AM", "8:5PM", "17:30:00"}};
const ColumnExamples kIntervals = {{"1", "9", "10", "99", "100", "199", "230", "239", "240"},
                                   {"0", "241", "010", "250", "300", "1000", "-1"}};

// Twenty characters, every one of them accented (forty bytes of UTF-8).
const std::string kTwentyAccented =
    "\xC3\x80\xC3\x89\xC3\x8E\xC3\x95\xC3\x9C\xC3\xA0\xC3\xA9\xC3\xAE\xC3\xB5\xC3\xBC"
    "\xC3\x80\xC3\x89\xC3\x8E\xC3\x95\xC3\x9C\xC3\xA0\xC3\xA9\xC3\xAE\xC3\xB5\xC3\xBC";

std::map<std::string, ColumnExamples> nodeColumnExamples() {
  const std::string longest(255, 's');
  return {
      {"NodeType", {{"O", "o", "V", "v"}, {"OV", "vv", "0", " ", "x"}}},
      {"Action", {{"A", "a", "C", "c", "D", "d"}, {"add", "AA", "x", "B"}}},
      {"SerialNo",
       {{"0", "1001", "0000000001", "9999999999"}, {"12345678901", "12a", "-1", "1 2", "\xD9\xA3"}}},
      {"Name", {{"x", kTwentyAccented, "Node, \"North\""}, {kTwentyAccented + "\xC3\xA9"}}},
      {"VeltroServerName", {{"mail.example.com", longest}, {longest + "s"}}},
      {"VeltroSMTPSuffix", {{"example.com", longest}, {longest + "\xC3\xA9"}}},
      {"Codec", {{"G711", "g711", "G729", "g729"}, {"G.711", "711", "G722", "G7111", "g 711"}}},
      {"PhoneNo",
       {{"5551234", "*#0", "12345678901234"}, {"123456789012345", "555-1234", "555 1234", "P1"}}},
      {"Extension", {{"1234567", "#", "*12"}, {"12345678", "12a"}}},
      {"DialSequence",
       {{"9|P", "9PxN*#", "nNpPxX", "12345678901234567890"},
        {"9,P", "9A", "123456789012345678901", "9 P"}}},
      {"NormalBeginTime", kTimes},
      {"NormalEndTime", kTimes},
      {"NormalInterval", kIntervals},
      {"UrgentBeginTime", kTimes},
      {"UrgentEndTime", kTimes},
      {"UrgentInterval", kIntervals},
      {"AdministrationBeginTime", kTimes},
      {"AdministrationEndTime", kTimes},
      {"AdministrationInterval", kIntervals},
  };
}

// One quoted line holding `value` in column `column` and nothing elsewhere.
std::string lineWithValueAt(size_t column, size_t columnCount, const std::string& value) {
  std::string line;
  for (size_t i = 0; i < columnCount; ++i) {
    if (i > 0) line += ",";
    line += "\"" + (i == column ? value : std::string()) + "\"";
  }
  return line;
}

// The program asks for every column by its name in lower case.
std::string lowerAscii(std::string name) {
  for (char& c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return name;
}

struct Example {
  std::string column;
  std::string value;
  bool valid;
};

TEST_F(ValidationTest, NodeColumnPatternsAcceptAndRejectTheirExamples) {
  const std::vector<quillet_test::NodeColumn>& columns = quillet_test::kNodeColumns;
  const std::map<std::string, ColumnExamples> examplesByName = nodeColumnExamples();
  std::vector<std::string> lines(1);
  std::vector<Example> examples;
  for (size_t i = 0; i < columns.size(); ++i) {
    lines[0] += (i ? "," : "") + std::string(columns[i].name);
    const ColumnExamples& known = examplesByName.at(columns[i].name);
    for (bool valid : {true, false}) {
      for (const std::string& value : valid ? known.valid : known.invalid) {
        lines.push_back(lineWithValueAt(i, columns.size(), value));
        examples.push_back({columns[i].name, value, valid});
      }
    }
  }
  reader.CSVFile(writeCsv(lines, platform::TextEncoding::Utf8WithMark));
  reader.OpenCSV(true, true);
  for (const auto& column : columns) reader.setColumnValidation(column.name, column.pattern);

  for (const Example& example : examples) {
    reader.ReadLine();
    SCOPED_TRACE(example.column + " [" + example.value + "]");
    const std::string asked = lowerAscii(example.column);
    if (example.valid) {
      EXPECT_EQ(reader.getValue(asked), example.value);
    } else {
      EXPECT_EQ(errorNumberOf([&] { reader.getValue(asked); }), CSVMAN_ERROR_VALIDATIONFAILED);
      expectLastInvalid(asked, example.value);
    }
  }
  EXPECT_TRUE(reader.EOF_());
}

}  // namespace
}  // namespace quillet
