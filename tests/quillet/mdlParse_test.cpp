#include "mdlParse.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillet {
namespace {

TEST(ParseLineTest, SplitsByTheRules) {
  const std::pair<std::string, Fields> cases[] = {
      {"", {""}}, {"x,y,z", {"x", "y", "z"}},
      {" a , b ", {"a", "b"}}, {"a,,b", {"a", "", "b"}},
      {"a,", {"a", ""}}, {"a,  ", {"a", "  "}},
      {"  ", {"  "}}, {"\"x, y\",z", {"x, y", "z"}},
      {"\" a \"", {" a "}}, {"\"ab\"z", {"ab\"z"}},
      {"\"a\"\"b\"", {"a\"\"b"}}, {"a\"b", {"a\"b"}},
      {"\"a,b", {"a,b"}}, {"x\"", {"x"}},
      {"\"a\"  ,b", {"a", "b"}}, {"a \"", {"a "}},
      // Tab is an ordinary character: it is neither trimmed nor a separator.
      {"\ta\t, b", {"\ta\t", "b"}},
      // A multibyte character is ordinary too: it starts a field and resets
      // the count of trailing spaces, so the spaces before it stay.
      {"a  \xC3\xA9", {"a  \xC3\xA9"}},
      {"  \xE2\x82\xAC , \xC3\xBC\xC3\xBC  ", {"\xE2\x82\xAC", "\xC3\xBC\xC3\xBC"}},
      {"\"x\" \xC3\xA9,y", {"x\" \xC3\xA9", "y"}},
      {"\"\",\"\"", {"", ""}},
  };
  for (const auto& [line, fields] : cases) EXPECT_EQ(parseLine(line), fields) << "line [" << line << "]";
}

TEST(SplitFieldsTest, KeepsQuotesForStripQuotesAndCountsEveryFieldOfALongLine) {
  std::vector<std::string_view> raw{"stale"};
  ASSERT_EQ(splitFields("x\",\"a", raw), 2);
  EXPECT_EQ(raw, (std::vector<std::string_view>{"x\"", "a"}));
  std::string line = "f0";
  for (int i = 1; i < 200; ++i) line += ",f" + std::to_string(i);
  ASSERT_EQ(splitFields(line, raw), 200);
  EXPECT_EQ(raw[64], "f64");
  EXPECT_EQ(raw.back(), "f199");
}

TEST(StripQuotesTest, RemovesOneQuoteAtEachEnd) {
  const std::pair<std::string, std::string> cases[] = {
      {"\"a\"", "a"}, {"\"a", "a"}, {"a\"", "a"}, {"\"\"a\"\"", "\"a\""}, {"\"", ""}, {"a\"b", "a\"b"}};
  for (const auto& [in, out] : cases) EXPECT_EQ(stripQuotes(in), out) << in;
}

}  // namespace
}  // namespace quillet
