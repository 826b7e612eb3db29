#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "QuilletTestSupport.h"
#include "ucQuillet.h"

namespace quillet {
namespace {

using platform::err::kDuplicateKey;
using platform::err::kInputPastEnd;
using platform::err::kObjectNotSet;
using quillet_test::errorNumberOf;
using quillet_test::writeCsv;

class ReadingTest : public ::testing::Test {
 protected:
  // Points the reader at a new file of `lines` and opens it.
  Fields open(const std::vector<std::string>& lines, bool headings = true) {
    reader.CSVFile(writeCsv(lines));
    return reader.OpenCSV(headings, true);
  }

  ucQuillet reader;
};

TEST_F(ReadingTest, OpenWithoutAPathFailsAsNotSpecified) {
  try {
    reader.OpenCSV(true, true);
    FAIL() << "OpenCSV succeeded";
  } catch (const platform::Error& e) {
    EXPECT_EQ(e.number(), CSVMAN_ERROR_CSVFILENOTSPECIFIED);
    EXPECT_EQ(e.description(),
              "CSV File not specified.  Set the CSVFile property before calling OpenCSV");
  }
}

TEST_F(ReadingTest, OpenOfAnEmptyMissingOrFolderPathFailsAsNotFound) {
  for (std::string path : {std::string(), quillet_test::testFilePath(".missing"),
                           std::string(QUILLET_TEST_FILES)}) {
    reader.CSVFile(path);
    EXPECT_EQ(errorNumberOf([&] { reader.OpenCSV(true, true); }), CSVMAN_ERROR_CSVFILENOTFOUND)
        << "path [" << path << "]";
  }
}

TEST_F(ReadingTest, HeadingOnlyFileIsOpenUntilTheNextRead) {
  EXPECT_EQ(open({"NodeType,Action,SerialNo"}), (Fields{"NodeType", "Action", "SerialNo"}));
  EXPECT_FALSE(reader.EOF_());
  EXPECT_EQ(reader.MaxCols(), 3);
  EXPECT_EQ(reader.CurrentLine(), 1);
  EXPECT_EQ(errorNumberOf([&] { reader.ReadLine(); }), kInputPastEnd);
}

TEST_F(ReadingTest, CurrentLineCountsTheHeadingAndEofFollowsTheLastLine) {
  open({"A,B", "1,2", "3,4"});
  EXPECT_EQ(reader.ReadLine(), (Fields{"1", "2"}));
  EXPECT_EQ(reader.CurrentLine(), 2);
  EXPECT_FALSE(reader.EOF_());
  EXPECT_EQ(reader.ReadLine(), (Fields{"3", "4"}));
  EXPECT_EQ(reader.CurrentLine(), 3);
  EXPECT_TRUE(reader.EOF_());
}

TEST_F(ReadingTest, MaxColsGrowsWithALongerLineOnly) {
  open({"A,B", "1,2,3,4", "1"});
  reader.ReadLine();
  EXPECT_EQ(reader.MaxCols(), 4);
  reader.ReadLine();
  EXPECT_EQ(reader.MaxCols(), 4);
}

TEST_F(ReadingTest, LineNumberArgumentIsIgnored) {
  open({"A", "first", "second"});
  EXPECT_EQ(reader.ReadLine(3), Fields{"first"});
  EXPECT_EQ(reader.ReadLine(-1), Fields{"second"});
}

TEST_F(ReadingTest, WithoutHeadingsNothingCanBeLookedUp) {
  EXPECT_TRUE(open({"NodeType,SerialNo", "o,1"}, false).empty());
  EXPECT_EQ(reader.MaxCols(), 0);
  EXPECT_EQ(reader.ReadLine(), (Fields{"NodeType", "SerialNo"}));
  EXPECT_EQ(reader.CurrentLine(), 1);
  EXPECT_EQ(errorNumberOf([&] { reader.getValue("NodeType"); }),
            CSVMAN_ERROR_HEADINGSNOTSPECIFIED);
  EXPECT_EQ(errorNumberOf([&] { reader.getColumnIndex("NodeType"); }),
            CSVMAN_ERROR_HEADINGSNOTSPECIFIED);
  EXPECT_EQ(errorNumberOf([&] { reader.setColumnValidation("NodeType", "^o$"); }),
            CSVMAN_ERROR_COLUMNNOTFOUND);
}

TEST_F(ReadingTest, EofIsFalseAfterOpeningAnEmptyFile) {
  open({}, false);
  EXPECT_FALSE(reader.EOF_());
  EXPECT_EQ(errorNumberOf([&] { reader.ReadLine(); }), kInputPastEnd);
}

TEST_F(ReadingTest, HeadingsOfAnEmptyFileCannotBeRead) {
  EXPECT_EQ(errorNumberOf([&] { open({}); }), kInputPastEnd);
}

TEST_F(ReadingTest, ReadingOrClosingWithoutAnOpenFileFailsAsObjectNotSet) {
  EXPECT_EQ(errorNumberOf([&] { reader.ReadLine(); }), kObjectNotSet);
  EXPECT_EQ(errorNumberOf([&] { reader.CloseCSV(); }), kObjectNotSet);
  EXPECT_EQ(reader.CurrentLine(), 0);
}

TEST_F(ReadingTest, CloseEndsTheFileButKeepsColumnsAndTheLastLine) {
  open({"A,B", "1,2", "3,4"});
  reader.ReadLine();
  reader.CloseCSV();
  EXPECT_TRUE(reader.EOF_());
  EXPECT_EQ(errorNumberOf([&] { reader.ReadLine(); }), kObjectNotSet);
  EXPECT_EQ(errorNumberOf([&] { reader.CloseCSV(); }), kObjectNotSet);
  EXPECT_EQ(reader.getColumnIndex("b"), 2);
  EXPECT_EQ(reader.getValue("b"), "2");
}

TEST_F(ReadingTest, HeadingsDifferingOnlyInCaseAreADuplicateKey) {
  EXPECT_EQ(errorNumberOf([&] { open({"Name,Codec,NAME"}); }), kDuplicateKey);
  EXPECT_EQ(reader.getColumnIndex("name"), 1);
  EXPECT_EQ(reader.getColumnIndex("codec"), 2);
}

TEST_F(ReadingTest, ASecondOpenKeepsTheColumnsOfTheFirst) {
  open({"A,B", "1,2"});
  reader.CloseCSV();
  EXPECT_EQ(errorNumberOf([&] { open({"C,b,D"}); }), kDuplicateKey);
  EXPECT_EQ(reader.getColumnIndex("a"), 1);
  EXPECT_EQ(reader.getColumnIndex("c"), 1);
  EXPECT_EQ(errorNumberOf([&] { reader.getColumnIndex("d"); }), CSVMAN_ERROR_COLUMNNOTFOUND);
}

TEST_F(ReadingTest, ASecondOpenWithoutHeadingsReadsTheNewFile) {
  open({"A", "old"});
  reader.CloseCSV();
  open({"new"}, false);
  EXPECT_FALSE(reader.EOF_());
  EXPECT_EQ(reader.ReadLine(), Fields{"new"});
  EXPECT_EQ(reader.getValue("a"), "new");
}

TEST_F(ReadingTest, ColumnPositionsBeyondTheSixteenBitRangeOverflow) {
  std::string headings = "c1";
  for (int i = 2; i <= 32768; ++i) headings += ",c" + std::to_string(i);
  EXPECT_EQ(errorNumberOf([&] { open({headings}); }), 6);
  EXPECT_EQ(reader.getColumnIndex("c32767"), 32767);
}

TEST_F(ReadingTest, SystemCodePageFileIsDecodedToUtf8) {
  open({"Gr\xC3\xBC\xC3\x9F" "e,Preis", "\xE2\x82\xAC" "5,\xC3\xA9t\xC3\xA9"});
  EXPECT_FALSE(reader.isUtf8());
  EXPECT_EQ(reader.ReadLine(), (Fields{"\xE2\x82\xAC" "5", "\xC3\xA9t\xC3\xA9"}));
  EXPECT_EQ(reader.getColumnIndex("GR\xC3\x9C\xC3\x9F" "E"), 1);
}

TEST_F(ReadingTest, FileWithTheUtf8MarkIsReadAsUtf8WithoutTheMark) {
  reader.CSVFile(writeCsv({"NodeType,Name", "o,\xE4\xB8\xAD\xE6\x96\x87"},
                          platform::TextEncoding::Utf8WithMark));
  reader.OpenCSV(true, true);
  EXPECT_TRUE(reader.isUtf8());
  EXPECT_EQ(reader.getColumnIndex("nodetype"), 1);
  reader.ReadLine();
  EXPECT_EQ(reader.getValue("name"), "\xE4\xB8\xAD\xE6\x96\x87");
}

TEST_F(ReadingTest, AccentedCapitalsOfTheCodePageAreFoldedForLookups) {
  // Capitals of Windows-1252: A grave, O stroke, S caron, OE, Z caron, Y diaeresis.
  open({"\xC3\x80,\xC3\x98,\xC5\xA0,\xC5\x92,\xC5\xBD,\xC5\xB8,\xC3\x97"});
  const std::vector<std::string> lowerCase = {"\xC3\xA0", "\xC3\xB8", "\xC5\xA1",
                                              "\xC5\x93", "\xC5\xBE", "\xC3\xBF"};
  for (size_t i = 0; i < lowerCase.size(); ++i) {
    EXPECT_EQ(reader.getColumnIndex(lowerCase[i]), static_cast<int16_t>(i + 1)) << i;
  }
  // The multiplication sign sits among the capitals but has no lower case.
  EXPECT_EQ(reader.getColumnIndex("\xC3\x97"), 7);
  EXPECT_EQ(errorNumberOf([&] { reader.getColumnIndex("\xC3\xB7"); }),
            CSVMAN_ERROR_COLUMNNOTFOUND);
}

}  // namespace
}  // namespace quillet
