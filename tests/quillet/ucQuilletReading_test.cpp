// The reader on files of ours: lines, headings, lookups and the line state.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "ucQuillet.h"

namespace quillet {
namespace {

using platform::err::kDuplicateKey;
using platform::err::kInputPastEnd;
using platform::err::kObjectNotSet;
using platform::test::errorNumberOf;

class ReadingTest : public ::testing::Test {
 protected:
  // Points the reader at a new file of `lines` and opens it.
  Fields open(const std::vector<std::string>& lines, bool headings = true) {
    reader.CSVFile(platform::test::writeLines(folder_.path("in.csv"), lines));
    return reader.OpenCSV(headings, true);
  }

  platform::test::TempFolder folder_;
  ucQuillet reader;
};

TEST_F(ReadingTest, OpenOfAnEmptyMissingOrFolderPathFailsAsNotFound) {
  for (const std::string& path : {std::string(), folder_.path("missing.csv"), folder_.path()}) {
    reader.CSVFile(path);
    EXPECT_EQ(errorNumberOf([&] { reader.OpenCSV(true, true); }), CSVMAN_ERROR_CSVFILENOTFOUND) << path;
  }
}

TEST_F(ReadingTest, HeadingOnlyOrEmptyFileIsOpenUntilTheNextRead) {
  EXPECT_EQ(open({"NodeType,Action,SerialNo"}), (Fields{"NodeType", "Action", "SerialNo"}));
  EXPECT_FALSE(reader.EOF_());
  EXPECT_EQ(reader.MaxCols(), 3);
  EXPECT_EQ(reader.CurrentLine(), 1);
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
  EXPECT_EQ(reader.CurrentLine(), 2);
  EXPECT_FALSE(reader.EOF_());
  EXPECT_EQ(reader.ReadLine(), Fields{"5"});
  EXPECT_EQ(reader.CurrentLine(), 3);
  EXPECT_EQ(reader.MaxCols(), 4);
  EXPECT_TRUE(reader.EOF_());
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
  EXPECT_EQ(errorNumberOf([&] { reader.ReadLine(); }), kObjectNotSet);
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

// Files with the UTF-8 mark are read by the validation tests.
TEST_F(ReadingTest, CodePageFileIsReadAsUtf8) {
  open({"Gr\xC3\xBC\xC3\x9F" "e,Preis", "\xE2\x82\xAC" "5,\xC3\xA9t\xC3\xA9"});
  EXPECT_FALSE(reader.isUtf8());
  EXPECT_EQ(reader.ReadLine(), (Fields{"\xE2\x82\xAC" "5", "\xC3\xA9t\xC3\xA9"}));
  EXPECT_EQ(reader.getColumnIndex("GR\xC3\x9C\xC3\x9F" "E"), 1);
}

TEST_F(ReadingTest, AccentedCapitalsOfTheCodePageAreFoldedForLookups) {
  // A grave, O stroke, S caron, OE, Z caron, Y diaeresis, and the multiplication
  // sign that sits among the capitals but has no lower case.
  open({"\xC3\x80,\xC3\x98,\xC5\xA0,\xC5\x92,\xC5\xBD,\xC5\xB8,\xC3\x97"});
  const std::string lowerCase[] = {"\xC3\xA0", "\xC3\xB8", "\xC5\xA1", "\xC5\x93", "\xC5\xBE", "\xC3\xBF", "\xC3\x97"};
  for (int16_t i = 0; i < 7; ++i) EXPECT_EQ(reader.getColumnIndex(lowerCase[i]), i + 1) << i;
  EXPECT_EQ(errorNumberOf([&] { reader.getColumnIndex("\xC3\xB7"); }), CSVMAN_ERROR_COLUMNNOTFOUND);
}

}  // namespace
}  // namespace quillet
