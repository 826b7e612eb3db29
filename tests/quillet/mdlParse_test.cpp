#include "mdlParse.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillet {
namespace {

struct SplitCase {
  std::string line;
  Fields fields;
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << "line [" << c.line << "]"; }

class ParseLineTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(ParseLineTest, GivesTheExpectedFields) {
  EXPECT_EQ(parseLine(GetParam().line), GetParam().fields);
}

INSTANTIATE_TEST_SUITE_P(
    SplitterRules, ParseLineTest,
    ::testing::Values(
        SplitCase{"", {""}},
        SplitCase{"x,y,z", {"x", "y", "z"}},
        SplitCase{" a , b ", {"a", "b"}},
        SplitCase{"a,,b", {"a", "", "b"}},
        SplitCase{"a,", {"a", ""}},
        SplitCase{"a,  ", {"a", "  "}},
        SplitCase{"  ", {"  "}},
        SplitCase{"\"x, y\",z", {"x, y", "z"}},
        SplitCase{"\" a \"", {" a "}},
        SplitCase{"\"ab\"z", {"ab\"z"}},
        SplitCase{"\"a\"\"b\"", {"a\"\"b"}},
        SplitCase{"a\"b", {"a\"b"}},
        SplitCase{"\"a,b", {"a,b"}},
        SplitCase{"x\"", {"x"}},
        SplitCase{"\"a\"  ,b", {"a", "b"}},
        SplitCase{"a \"", {"a "}},
        // Tab is an ordinary character: it is neither trimmed nor a separator.
        SplitCase{"\ta\t, b", {"\ta\t", "b"}},
        // A multibyte character is ordinary too: it starts a field and resets
        // the count of trailing spaces, so the spaces before it stay.
        SplitCase{"a  \xC3\xA9", {"a  \xC3\xA9"}},
        SplitCase{"  \xE2\x82\xAC , \xC3\xBC\xC3\xBC  ", {"\xE2\x82\xAC", "\xC3\xBC\xC3\xBC"}},
        SplitCase{"\"x\" \xC3\xA9,y", {"x\" \xC3\xA9", "y"}},
        SplitCase{"\"\",\"\"", {"", ""}}));

TEST(SplitFieldsTest, KeepsQuotesThatOnlyStripQuotesRemoves) {
  std::vector<std::string_view> raw;
  ASSERT_EQ(splitFields("x\",\"a", raw), 2);
  EXPECT_EQ(raw[0], "x\"");
  EXPECT_EQ(raw[1], "a");
}

TEST(SplitFieldsTest, CountsEveryFieldOfALongLineAndEmptiesTheArrayFirst) {
  std::vector<std::string_view> raw{"stale"};
  std::string line = "f0";
  for (int i = 1; i < 200; ++i) line += ",f" + std::to_string(i);
  ASSERT_EQ(splitFields(line, raw), 200);
  EXPECT_EQ(raw.front(), "f0");
  EXPECT_EQ(raw[64], "f64");
  EXPECT_EQ(raw.back(), "f199");
}

TEST(StripQuotesTest, RemovesOneQuoteAtEachEnd) {
  EXPECT_EQ(stripQuotes("\"a\""), "a");
  EXPECT_EQ(stripQuotes("\"a"), "a");
  EXPECT_EQ(stripQuotes("a\""), "a");
  EXPECT_EQ(stripQuotes("\"\"a\"\""), "\"a\"");
  EXPECT_EQ(stripQuotes("\""), "");
  EXPECT_EQ(stripQuotes("a\"b"), "a\"b");
}

}  // namespace
}  // namespace quillet
