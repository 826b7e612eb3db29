#include <gtest/gtest.h>

#include <filesystem>

#include "platform/Paths.h"

namespace platform {
namespace {

struct PathCase {
  std::string in, expected;
};

TEST(Paths, JoinAddsOneSlash) {
  EXPECT_EQ(joinPath("/", "LOGS"), "/LOGS");
  EXPECT_EQ(joinPath("/opt/tw", "LOGS"), "/opt/tw/LOGS");
  EXPECT_EQ(joinPath("/opt/tw/", "x.csv"), "/opt/tw/x.csv");
  EXPECT_EQ(joinPath("", "x.csv"), "x.csv");
}

TEST(Paths, ParentFolderName) {
  const PathCase cases[] = {
      {"a/b.csv", "a"},   {"/x", "/"},      {"b.csv", ""},      {"/srv/in/", "/srv"},
      {"/srv//in", "/srv"}, {"/", ""},      {"in\\b.csv", ""},  {"/a/b\\c.csv", "/a"},
  };
  for (const auto& c : cases) EXPECT_EQ(parentFolderName(c.in), c.expected) << c.in;
}

TEST(Paths, FileAndBaseName) {
  const struct {
    std::string in, file, base;
  } cases[] = {
      {"/in/nodes.csv", "nodes.csv", "nodes"},
      {"archive.tar.gz", "archive.tar.gz", "archive.tar"},
      {"/in/README", "README", "README"},
      {"/in/.profile", ".profile", ".profile"},
      {"/srv/in/", "in", "in"},
      {"c:\\in\\nodes.csv", "c:\\in\\nodes.csv", "c:\\in\\nodes"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(fileName(c.in), c.file) << c.in;
    EXPECT_EQ(baseName(c.in), c.base) << c.in;
  }
}

TEST(Paths, AbsoluteResolvesDotsAsText) {
  const PathCase cases[] = {
      {"/a/b/../c/./d.csv", "/a/c/d.csv"},
      {"/a/b/", "/a/b"},
      {"/..", "/"},
      {"/../x", "/x"},
      {"/a/no-such-folder/../b", "/a/b"},
      {"/a\\b/..", "/"},
  };
  for (const auto& c : cases) EXPECT_EQ(absolutePathName(c.in), c.expected) << c.in;
}

TEST(Paths, AbsoluteStartsAtTheCurrentDirectory) {
  const std::filesystem::path cwd = std::filesystem::current_path();
  EXPECT_EQ(absolutePathName("x/../y.csv"), (cwd / "y.csv").string());
  EXPECT_EQ(absolutePathName(""), cwd.string());
  EXPECT_EQ(absolutePathName("../z"), (cwd.parent_path() / "z").string());
}

}  // namespace
}  // namespace platform
