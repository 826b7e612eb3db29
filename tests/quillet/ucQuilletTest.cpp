// The reader: as a host creates it from its library, on files of ours (lines,
// headings, lookups, the line state and the patterns values must match),
// and its persistent properties saved to and restored from a host's store.
#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "nodes/InputColumns.h"
#include "platform/ComponentLoader.h"
#include "platform/Paths.h"
#include "quillet/MemoryPropertyStore.h"
#include "quillet/Quillet.h"
#include "ucQuillet.h"

namespace quillet {
namespace {

using platform::err::kDuplicateKey;
using platform::err::kInputPastEnd;
using platform::err::kObjectNotSet;
using platform::Value;
using platform::test::errorNumberOf;

class ReadingTest : public ::testing::Test {
 protected:
  // Points the reader at a new file of `lines` and opens it.
  Fields open(const std::vector<std::string>& lines, bool headings = true) {
    reader.CSVFile(platform::test::writeLines(folder_.path("in.csv"), lines, encoding_));
    return reader.OpenCSV(headings, true);
  }
  void openAndRead(const std::vector<std::string>& lines) { open(lines), reader.ReadLine(); }

  void expectLastInvalid(const Value& column, const Value& value) {
    EXPECT_EQ(reader.LastInvalidColumn(), column);
    EXPECT_EQ(reader.LastInvalidValue(), value);
  }

  // CurrentLine, MaxCols and EOF, in that order.
  std::vector<int> lineState() { return {reader.CurrentLine(), reader.MaxCols(), reader.EOF_()}; }

  platform::TextEncoding encoding_ = platform::TextEncoding::Cp1252;
  platform::test::TempFolder folder_;
  ucQuillet reader;
};

// Lookups by heading and patterns, on files written with the UTF-8 mark.
class ValidationTest : public ReadingTest {
 protected:
  ValidationTest() { encoding_ = platform::TextEncoding::Utf8WithMark; }
};

TEST_F(ReadingTest, OpenOfAnEmptyMissingOrFolderPathFailsAsNotFound) {
  for (const std::string& path : {std::string(), folder_.path("missing.csv"), folder_.path()}) {
    reader.CSVFile(path);
    EXPECT_EQ(errorNumberOf([&] { reader.OpenCSV(true, true); }), CSVMAN_ERROR_CSVFILENOTFOUND) << path;
  }
}

TEST_F(ReadingTest, HeadingOnlyOrEmptyFileIsOpenUntilTheNextRead) {
  EXPECT_EQ(open({"NodeType,Action,SerialNo"}), (Fields{"NodeType", "Action", "SerialNo"}));
  EXPECT_EQ(lineState(), (std::vector<int>{1, 3, false}));
  EXPECT_EQ(errorNumberOf([&] { reader.ReadLine(); }), kInputPastEnd);
  reader.CloseCSV();
  open({}, false);
  EXPECT_FALSE(reader.EOF_());
  EXPECT_EQ(errorNumberOf([&] { reader.ReadLine(); }), kInputPastEnd);
  reader.CloseCSV();
  EXPECT_EQ(errorNumberOf([&] { open({}); }), kInputPastEnd);  // no headings to read
}

TEST_F(ReadingTest, CurrentLineCountsTheHeadingEofFollowsTheLastLineAndMaxColsOnlyGrows) {
  open({"A,B", "1,2,3,4", "5"});
  EXPECT_EQ(reader.ReadLine(), (Fields{"1", "2", "3", "4"}));
  EXPECT_EQ(lineState(), (std::vector<int>{2, 4, false}));
  EXPECT_EQ(reader.ReadLine(), Fields{"5"});
  EXPECT_EQ(lineState(), (std::vector<int>{3, 4, true}));
  EXPECT_EQ(reader.getValue("a"), "5");
  EXPECT_EQ(errorNumberOf([&] { reader.getValue("b"); }), platform::err::kSubscriptOutOfRange);
}

TEST_F(ReadingTest, WithoutHeadingsNothingCanBeLookedUp) {
  EXPECT_TRUE(open({"NodeType,SerialNo", "o,1"}, false).empty());
  EXPECT_EQ(reader.MaxCols(), 0);
  EXPECT_EQ(reader.ReadLine(), (Fields{"NodeType", "SerialNo"}));
  EXPECT_EQ(reader.CurrentLine(), 1);
  EXPECT_EQ(errorNumberOf([&] { reader.getValue("NodeType"); }), CSVMAN_ERROR_HEADINGSNOTSPECIFIED);
  EXPECT_EQ(errorNumberOf([&] { reader.getColumnIndex("NodeType"); }), CSVMAN_ERROR_HEADINGSNOTSPECIFIED);
}

TEST_F(ReadingTest, CloseEndsTheFileButKeepsColumnsAndTheLastLine) {
  EXPECT_EQ(errorNumberOf([&] { reader.ReadLine(); }), kObjectNotSet);
  open({"A,B", "1,2", "3,4"});
  EXPECT_EQ(errorNumberOf([&] { reader.getValue("a"); }), kObjectNotSet);  // no line read yet
  reader.ReadLine();
  reader.CloseCSV();
  EXPECT_TRUE(reader.EOF_());
  EXPECT_EQ(errorNumberOf([&] { reader.CloseCSV(); }), kObjectNotSet);
  EXPECT_EQ(reader.getValue("b"), "2");
}

TEST_F(ReadingTest, HeadingsDifferingOnlyInCaseAreADuplicateKeyAlsoAgainstAnEarlierFile) {
  EXPECT_EQ(errorNumberOf([&] { open({"Name,Codec,NAME"}); }), kDuplicateKey);
  EXPECT_EQ(reader.getColumnIndex("codec"), 2);
  reader.CloseCSV();
  EXPECT_EQ(errorNumberOf([&] { open({"C,name,D"}); }), kDuplicateKey);  // the first file's columns stay
  EXPECT_EQ(reader.getColumnIndex("c"), 1);
  EXPECT_EQ(errorNumberOf([&] { reader.getColumnIndex("d"); }), CSVMAN_ERROR_COLUMNNOTFOUND);
}

TEST_F(ReadingTest, ColumnPositionsBeyondTheSixteenBitRangeOverflow) {
  std::string headings = "c1";
  for (int i = 2; i <= 32768; ++i) headings += ",c" + std::to_string(i);
  EXPECT_EQ(errorNumberOf([&] { open({headings}); }), 6);
  EXPECT_EQ(reader.getColumnIndex("c32767"), 32767);
}

// A code-page file whose accented capitals fold for lookups: A grave, O stroke,
// S caron, OE, Z caron, Y diaeresis, and the multiplication sign (no lower case).
TEST_F(ReadingTest, CodePageFileIsReadAsUtf8AndItsCapitalsFoldForLookups) {
  open({"\xC3\x80,\xC3\x98,\xC5\xA0,\xC5\x92,\xC5\xBD,\xC5\xB8,\xC3\x97", "\xE2\x82\xAC" "5,\xC3\xA9t\xC3\xA9"});
  EXPECT_EQ(reader.encoding(), platform::TextEncoding::Cp1252);
  EXPECT_EQ(reader.ReadLine(), (Fields{"\xE2\x82\xAC" "5", "\xC3\xA9t\xC3\xA9"}));
  const std::string lowerCase[] = {"\xC3\xA0", "\xC3\xB8", "\xC5\xA1", "\xC5\x93", "\xC5\xBE", "\xC3\xBF", "\xC3\x97"};
  for (int16_t i = 0; i < 7; ++i) EXPECT_EQ(reader.getColumnIndex(lowerCase[i]), i + 1) << i;
  EXPECT_EQ(errorNumberOf([&] { reader.getColumnIndex("\xC3\xB7"); }), CSVMAN_ERROR_COLUMNNOTFOUND);
}

TEST_F(ValidationTest, FailedValueIsReportedUnderTheNameAsAskedUntilTheNextSuccessAndEmptyIsNeverTested) {
  openAndRead({"SerialNo,Name,Codec", "12a,\"  any thing, at all! \","});
  expectLastInvalid(int16_t{0}, int16_t{0});
  reader.setColumnValidation("SerialNo", "^\\d+$");
  reader.setColumnValidation("codec", "^[gG](711|729)$");
  EXPECT_EQ(errorNumberOf([&] { reader.getValue("serialNO"); }), CSVMAN_ERROR_VALIDATIONFAILED);
  expectLastInvalid(std::string("serialNO"), std::string("12a"));
  EXPECT_EQ(reader.getValue("NAME"), "  any thing, at all! ");  // no pattern: anything goes
  expectLastInvalid(std::string(), std::string());
  EXPECT_NE(errorNumberOf([&] { reader.getValue("serialno"); }), 0);
  EXPECT_EQ(reader.getValue("codec"), "");  // empty: not tested, and clears the failure
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

TEST_F(ValidationTest, BadPatternIsRefusedKeepingTheOldOneAndAMissingColumnFailsEveryTime) {
  openAndRead({"Code", "b"});
  reader.setColumnValidation("code", "^b$");
  for (const char* bad : {"(", "[a-", "(?=b)", "\\q"}) {
    EXPECT_EQ(errorNumberOf([&] { reader.setColumnValidation("code", bad); }), platform::err::kInvalidArgument) << bad;
  }
  EXPECT_EQ(errorNumberOf([&] { reader.setColumnValidation("code", "15", true); }),  // a range without a comma
            platform::err::kSubscriptOutOfRange);
  EXPECT_EQ(reader.columnInfo("code").RegExpression, "^b$");
  const std::function<void()> missing[] = {[&] { reader.getValue("Codec"); }, [&] { reader.getValue("codec"); },
                                           [&] { reader.getColumnIndex("Codec"); },
                                           [&] { reader.setColumnValidation("Codec", "x"); }};
  for (const auto& lookup : missing) EXPECT_EQ(errorNumberOf(lookup), CSVMAN_ERROR_COLUMNNOTFOUND);
  expectLastInvalid(int16_t{0}, int16_t{0});
}

// Values each input column must accept (first) and refuse (second).
using ColumnExamples = std::pair<std::vector<std::string>, std::vector<std::string>>;

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
  struct Example { std::string column, value; bool valid; };
  std::vector<Example> tried;
  std::vector<std::string> lines(1);
  for (size_t i = 0; i < count; ++i) {
    const std::string name = tarnwick::kInputColumns[i].name;
    lines[0] += (i ? "," : "") + name;
    for (bool valid : {true, false}) {
      for (const std::string& value : valid ? examples.at(name).first : examples.at(name).second) {
        // `value`, quoted, in its column and nothing elsewhere
        lines.push_back(std::string(i, ',') + "\"" + value + "\"" + std::string(count - 1 - i, ','));
        tried.push_back({lowerAscii(name), value, valid});
      }
    }
  }
  open(lines);
  EXPECT_EQ(reader.encoding(), platform::TextEncoding::Utf8WithMark);
  for (const auto& column : tarnwick::kInputColumns) reader.setColumnValidation(column.name, column.pattern);
  for (const Example& e : tried) {
    reader.ReadLine();
    SCOPED_TRACE(e.column + " [" + e.value + "]");
    EXPECT_EQ(errorNumberOf([&] { EXPECT_EQ(reader.getValue(e.column), e.value); }),
              e.valid ? 0 : CSVMAN_ERROR_VALIDATIONFAILED);
    if (!e.valid) expectLastInvalid(e.column, e.value);
  }
  EXPECT_TRUE(reader.EOF_());
}


using Texts = std::vector<std::string>;

// What a reader saves: nothing while every property keeps its default.
size_t savedCount(ucQuillet& reader) {
  MemoryPropertyStore store;
  reader.UserControl_WriteProperties(store);
  return store.size();
}

// Every property, as text, in a fixed order.
Texts state(ucQuillet& q) {
  return {q.CSVFile(), q.ColumnDefinitionFile(), std::to_string(q.EOF_()), std::to_string(q.MaxCols()),
          std::to_string(q.CurrentLine()), platform::toText(q.LastInvalidValue()),
          platform::toText(q.LastInvalidColumn())};
}

TEST(PropertiesTest, AHostThatStoredNothingGivesTheDefaultsAndDefaultsAreNotStored) {
  MemoryPropertyStore nothing;
  ucQuillet reader;
  reader.UserControl_ReadProperties(nothing);
  EXPECT_EQ(state(reader), (Texts{"0", "0", "0", "0", "0", "0", "0"}));
  EXPECT_EQ(reader.LastInvalidValue(), Value(int16_t{0}));
  EXPECT_EQ(errorNumberOf([&] { reader.OpenCSV(true, true); }), CSVMAN_ERROR_CSVFILENOTSPECIFIED);
  EXPECT_EQ(savedCount(reader), 0u);
  reader.CSVFile("in.csv");
  EXPECT_EQ(savedCount(reader), 1u);
  reader.CSVFile("0");
  EXPECT_EQ(savedCount(reader), 0u);
}

// Stored numbers of another width are accepted; text for a number is a type mismatch.
TEST(PropertiesTest, StateSavedAfterReadingIsRestoredIntoANewInstance) {
  platform::test::TempFolder folder;
  ucQuillet reader;
  reader.CSVFile(platform::test::writeLines(folder.path("in.csv"), {"SerialNo,Name,X", "12a,n"}));
  reader.ColumnDefinitionFile("columns.def");
  reader.OpenCSV(true, true);
  reader.ReadLine();
  reader.setColumnValidation("serialno", "^\\d+$");
  EXPECT_NE(errorNumberOf([&] { reader.getValue("SerialNo"); }), 0);
  MemoryPropertyStore store;
  reader.UserControl_WriteProperties(store);
  ucQuillet restored;
  restored.UserControl_ReadProperties(store);
  EXPECT_EQ(state(restored), (Texts{reader.CSVFile(), "columns.def", "1", "3", "2", "12a", "SerialNo"}));
  store.writeProperty("MaxCols", Value(int16_t{4}), Value(int32_t{0}));
  store.writeProperty("EOF", Value(int32_t{0}), Value(false));
  restored.UserControl_ReadProperties(store);
  EXPECT_EQ((std::vector<int>{restored.EOF_(), restored.MaxCols()}), (std::vector<int>{false, 4}));
  store.writeProperty("CurrentLine", Value(std::string("two")), Value(int32_t{0}));
  EXPECT_EQ(errorNumberOf([&] { restored.UserControl_ReadProperties(store); }), 13);
}

TEST(PropertiesTest, ChangingAPathTellsTheAttachedHost) {
  MemoryPropertyStore host;
  ucQuillet reader;
  reader.CSVFile("before-attach.csv");
  reader.attachHost(&host, false);
  reader.CSVFile("in.csv");
  reader.ColumnDefinitionFile("columns.def");
  EXPECT_EQ(host.changedProperties(), (Texts{"CSVFile", "ColumnDefinitionFile"}));
}

TEST(PropertiesTest, ReadOnlyAssignmentsFailByModeAndChangeNothing) {
  const std::function<void(ucQuillet&)> assignments[] = {
      [](ucQuillet& q) { q.EOF_(true); }, [](ucQuillet& q) { q.MaxCols(5); }, [](ucQuillet& q) { q.CurrentLine(5); },
      [](ucQuillet& q) { q.LastInvalidValue(Value(std::string("v"))); },
      [](ucQuillet& q) { q.LastInvalidColumn(Value(std::string("c"))); }};
  for (bool designMode : {false, true}) {
    for (const auto& assign : assignments) {
      ucQuillet reader;  // at run time left unattached, as a host may leave it
      MemoryPropertyStore host;
      if (designMode) reader.attachHost(&host, true);
      EXPECT_EQ(errorNumberOf([&] { assign(reader); }),
                designMode ? platform::err::kReadOnlyAtDesignTime : platform::err::kReadOnlyAtRunTime);
      EXPECT_EQ(savedCount(reader), 0u);
    }
  }
}


TEST(ComponentTest, ReaderFromTheLibraryReadsValidatesAndFailsWithNumberAndText) {
  platform::test::ProgramAt program(platform::joinPath(TARNWICK_PROGRAM_DIR, "tarnwick"));
  std::unique_ptr<IucQuillet> reader(static_cast<IucQuillet*>(platform::createComponent("Quillet.ucQuillet")));
  const platform::Error noFile = platform::test::errorOf([&] { reader->OpenCSV(true, true); });
  EXPECT_EQ(noFile.number(), CSVMAN_ERROR_CSVFILENOTSPECIFIED);
  EXPECT_EQ(noFile.description(), "CSV File not specified.  Set the CSVFile property before calling OpenCSV");

  platform::test::TempFolder folder;
  reader->CSVFile(platform::test::writeLines(folder.path("in.csv"), {"NodeType,SerialNo", "v,12a"}));
  EXPECT_EQ(reader->OpenCSV(true, true), (Fields{"NodeType", "SerialNo"}));
  reader->setColumnValidation("SerialNo", "^\\d{1,10}$");
  reader->ReadLine();
  EXPECT_EQ(reader->getValue("nodetype"), "v");
  EXPECT_EQ(platform::test::errorNumberOf([&] { reader->getValue("serialno"); }), CSVMAN_ERROR_VALIDATIONFAILED);
}

}  // namespace
}  // namespace quillet
