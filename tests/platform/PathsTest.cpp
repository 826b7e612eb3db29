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

TEST(Paths, JoinAndSplit) {
  EXPECT_EQ((std::vector<std::string>{joinPath("/", "LOGS"), joinPath("/opt/tw", "LOGS"), joinPath("/opt/tw/", "x.csv"),
                                      joinPath("", "x.csv")}),
            (std::vector<std::string>{"/LOGS", "/opt/tw/LOGS", "/opt/tw/x.csv", "x.csv"}));
  // A path, its parent folder, file name and base name; a backslash is no separator.
  const std::vector<std::string> cases[] = {
      {"/in/nodes.csv", "/in", "nodes.csv", "nodes"},    {"archive.tar.gz", "", "archive.tar.gz", "archive.tar"},
      {"/in/.profile", "/in", ".profile", ".profile"},   {"/srv//in/", "/srv", "in", "in"},
      {"/x", "/", "x", "x"},                             {"/a/b\\c.csv", "/a", "b\\c.csv", "b\\c"}};
  for (const auto& c : cases) {
    EXPECT_EQ((std::vector<std::string>{c[0], parentFolderName(c[0]), fileName(c[0]), baseName(c[0])}), c);
  }
  EXPECT_EQ(parentFolderName("/"), "");
}

TEST(Paths, AbsoluteResolvesDotsAsTextFromTheCurrentDirectory) {
  const std::filesystem::path cwd = std::filesystem::current_path();
  const std::pair<std::string, std::string> cases[] = {
      {"/a/b/../c/./d.csv", "/a/c/d.csv"}, {"/a/b/", "/a/b"}, {"/..", "/"}, {"/a\\b/..", "/"},
      {"x/../y.csv", (cwd / "y.csv").string()}, {"", cwd.string()}, {"../z", (cwd.parent_path() / "z").string()}};
  for (const auto& [in, absolute] : cases) EXPECT_EQ(absolutePathName(in), absolute) << in;
}

TEST(ProgramInfo, FolderAndNameComeFromTheExecutablePath) {
  const std::vector<std::string> cases[] = {{"/opt/tw/tarnwick", "/opt/tw", "tarnwick"}, {"/nodes.v2.run", "/", "nodes.v2"}};
  for (const auto& c : cases) {
    ProgramAt program(c[0]);
    EXPECT_EQ((std::vector<std::string>{c[0], programFolder(), programName()}), c);
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
    for (const char* name : {"TestWidgets.Gadget", "TestWidgets"}) EXPECT_EQ(errorNumberOf([&] { createComponent(name); }), 429);
  }
  test::TempFolder emptyFolder;
  ProgramAt program(emptyFolder.path("host"));
  EXPECT_EQ(errorNumberOf([] { createComponent("TestWidgets.Widget"); }), 429);
}

}  // namespace
}  // namespace platform
