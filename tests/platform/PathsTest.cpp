#include "platform/Paths.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace platform {
namespace {

TEST(Paths, JoinAndSplit) {
  EXPECT_EQ((std::vector<std::string>{joinPath("/", "LOGS"), joinPath("/opt/tw", "LOGS"), joinPath("/opt/tw/", "x.csv"),
                                      joinPath("", "x.csv")}),
            (std::vector<std::string>{"/LOGS", "/opt/tw/LOGS", "/opt/tw/x.csv", "x.csv"}));
  // A path, its parent folder, file name and base name; a backslash is no separator.
  const std::vector<std::string> cases[] = {{"/in/nodes.csv", "/in", "nodes.csv", "nodes"},
                                            {"archive.tar.gz", "", "archive.tar.gz", "archive.tar"},
                                            {"/in/.profile", "/in", ".profile", ".profile"},
                                            {"/srv//in/", "/srv", "in", "in"},
                                            {"/x", "/", "x", "x"},
                                            {"/a/b\\c.csv", "/a", "b\\c.csv", "b\\c"},
                                            {"/", "", "", ""}};
  for (const auto& c : cases) {
    EXPECT_EQ((std::vector<std::string>{c[0], parentFolderName(c[0]), fileName(c[0]), baseName(c[0])}), c);
  }
}

TEST(Paths, AbsoluteResolvesDotsAsTextFromTheCurrentDirectory) {
  const std::filesystem::path cwd = std::filesystem::current_path();
  const std::pair<std::string, std::string> cases[] = {{"/a/b/../c/./d.csv", "/a/c/d.csv"},
                                                       {"/a/b/", "/a/b"},
                                                       {"/..", "/"},
                                                       {"/a\\b/..", "/"},
                                                       {"x/../y.csv", (cwd / "y.csv").string()},
                                                       {"", cwd.string()},
                                                       {"../z", (cwd.parent_path() / "z").string()}};
  for (const auto& [in, absolute] : cases) EXPECT_EQ(absolutePathName(in), absolute) << in;
}

}  // namespace
}  // namespace platform
