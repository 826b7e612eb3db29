// The reader on files of ours: lookups by heading in any case, the patterns values must match, and the failure it
// reports. (Reading lines, headings and the library as a host loads it are the import's tests.)
#include "ucQuillet.h"

#include <gtest/gtest.h>

#include <map>

#include "TestSupport.h"

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

// A code-page file whose accented capitals fold for lookups: A grave, O stroke, S caron, OE, Z caron, Y diaeresis, and
// the multiplication sign (no lower case).
TEST_F(ReadingTest, CodePageFileIsReadAsUtf8AndItsCapitalsFoldForLookups) {
  open({"\u00C0,\u00D8,\u0160,\u0152,\u017D,\u0178,\u00D7", "\u20AC5,\u00E9t\u00E9"});
  EXPECT_EQ(reader.encoding(), platform::TextEncoding::Cp1252);
  EXPECT_EQ(reader.ReadLine(), (Fields{"\u20AC5", "\u00E9t\u00E9"}));
  const std::string lowerCase[] = {"\u00E0", "\u00F8", "\u0161", "\u0153", "\u017E", "\u00FF", "\u00D7"};
  for (int16_t i = 0; i < 7; ++i) EXPECT_EQ(reader.getColumnIndex(lowerCase[i]), i + 1) << i;
  EXPECT_EQ(errorNumberOf([&] { reader.getColumnIndex("\u00F7"); }), CSVMAN_ERROR_COLUMNNOTFOUND);
}

// A failure is reported under the name as asked until the next success; an empty value is never tested; a new pattern
// applies to values accepted before.
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
  reader.setColumnValidation("name", "^ ");
  EXPECT_EQ(reader.getValue("Name"), "  any thing, at all! ");
  reader.setColumnValidation("name", "^\\w+$");  // a value accepted before meets the new pattern afresh
  EXPECT_EQ(errorNumberOf([&] { reader.getValue("Name"); }), CSVMAN_ERROR_VALIDATIONFAILED);
  EXPECT_NE(errorNumberOf([&] { reader.getValue("serialno"); }), 0);
  EXPECT_EQ(reader.getValue("codec"), "");
  EXPECT_EQ(lastInvalid(), (Texts{"", ""}));
}

}  // namespace
}  // namespace quillet
