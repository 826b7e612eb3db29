#include "mdlParse.h"

#include <gtest/gtest.h>

#include <string>

namespace quillet {
namespace {

TEST(ParseLineTest, SplitsByTheRules) {
  const std::pair<std::string, Fields> cases[] = {
      {"", {""}},
      {" a , b ", {"a", "b"}},
      {"a,,b", {"a", "", "b"}},
      {"a,", {"a", ""}},
      {"a,  ", {"a", "  "}},
      {"\"x, y\",z", {"x, y", "z"}},
      {"\" a \"", {" a "}},
      {"\"ab\"z", {"ab\"z"}},
      {"\"a\"\"b\"", {"a\"\"b"}},
      {"a\"b", {"a\"b"}},
      {"\"a,b", {"a,b"}},
      {"x\"", {"x"}},
      {"\"a\"  ,b", {"a", "b"}},
      {"\"\",\"\"", {"", ""}},
      {"\"", {""}},
      {"\ta\t, b", {"\ta\t", "b"}},  // tab is neither trimmed nor a separator
      // A multibyte character starts a field and keeps the spaces before it.
      {"a  \xC3\xA9", {"a  \xC3\xA9"}},
      {"  \xE2\x82\xAC , \xC3\xBC  ", {"\xE2\x82\xAC", "\xC3\xBC"}},
  };
  for (const auto& [line, fields] : cases) EXPECT_EQ(parseLine(line), fields) << "line [" << line << "]";
}

}  // namespace
}  // namespace quillet
