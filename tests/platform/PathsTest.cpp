#include "platform/Paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "TestSupport.h"
#include "platform/ComponentLoader.h"
#include "platform/ProgramInfo.h"

namespace platform {
namespace {

using test::errorNumberOf;
using test::ProgramAt;

TEST(Paths, JoinAndParentFolder) {
  EXPECT_EQ(joinPath("/", "LOGS"), "/LOGS");
  EXPECT_EQ(joinPath("/opt/tw", "LOGS"), "/opt/tw/LOGS");
  EXPECT_EQ(joinPath("/opt/tw/", "x.csv"), "/opt/tw/x.csv");
  EXPECT_EQ(joinPath("", "x.csv"), "x.csv");
  const struct {
    std::string in, parent;
  } cases[] = {{"a/b.csv", "a"}, {"/x", "/"},   {"b.csv", ""},      {"/srv//in/", "/srv"},
               {"/", ""},        {"in\\b.csv", ""}, {"/a/b\\c.csv", "/a"}};
  for (const auto& c : cases) EXPECT_EQ(parentFolderName(c.in), c.parent) << c.in;
}

TEST(Paths, FileAndBaseName) {
  const struct {
    std::string in, file, base;
  } cases[] = {
      {"/in/nodes.csv", "nodes.csv", "nodes"},     {"archive.tar.gz", "archive.tar.gz", "archive.tar"},
      {"/in/README", "README", "README"},          {"/in/.profile", ".profile", ".profile"},
      {"/srv/in/", "in", "in"},                    {"c:\\in\\nodes.csv", "c:\\in\\nodes.csv", "c:\\in\\nodes"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(fileName(c.in), c.file) << c.in;
    EXPECT_EQ(baseName(c.in), c.base) << c.in;
  }
}

TEST(Paths, AbsoluteResolvesDotsAsTextFromTheCurrentDirectory) {
  const std::filesystem::path cwd = std::filesystem::current_path();
  const struct {
    std::string in, absolute;
  } cases[] = {
      {"/a/b/../c/./d.csv", "/a/c/d.csv"}, {"/a/b/", "/a/b"},       {"/..", "/"},
      {"/a/no-such-folder/../b", "/a/b"},  {"/a\\b/..", "/"},       {"x/../y.csv", (cwd / "y.csv").string()},
      {"", cwd.string()},                  {"../z", (cwd.parent_path() / "z").string()},
  };
  for (const auto& c : cases) EXPECT_EQ(absolutePathName(c.in), c.absolute) << c.in;
}

TEST(ProgramInfo, FolderAndNameComeFromTheExecutablePath) {
  const struct {
    std::string path, folder, name;
  } cases[] = {{"/opt/tarnwick/tarnwick", "/opt/tarnwick", "tarnwick"}, {"/nodes.v2.run", "/", "nodes.v2"}};
  for (const auto& c : cases) {
    ProgramAt program(c.path);
    EXPECT_EQ(programFolder(), c.folder);
    EXPECT_EQ(programName(), c.name);
  }
  EXPECT_EQ(programName(), "platform_core_tests");
  EXPECT_EQ((std::vector<int>{versionMajor(), versionMinor(), versionRevision()}), (std::vector<int>{1, 1, 1}));
}

TEST(ComponentLoader, CreatesFromTheLibraryInTheProgramFolderOrFailsWith429) {
  {
    ProgramAt program(std::string(TEST_COMPONENT_FOLDER) + "/host");
    std::unique_ptr<int> widget(static_cast<int*>(createComponent("TestWidgets.Widget")));
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(*widget, 42);
    EXPECT_EQ(errorNumberOf([] { createComponent("TestWidgets.Gadget"); }), 429);
    EXPECT_EQ(errorNumberOf([] { createComponent("TestWidgets"); }), 429);
  }
  test::TempFolder emptyFolder;
  ProgramAt program(emptyFolder.path("host"));
  EXPECT_EQ(errorNumberOf([] { createComponent("TestWidgets.Widget"); }), 429);
}

}  // namespace
}  // namespace platform
