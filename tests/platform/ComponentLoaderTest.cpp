#include <gtest/gtest.h>

#include <memory>

#include "TestSupport.h"
#include "TestWidget.h"
#include "platform/ComponentLoader.h"
#include "platform/ProgramInfo.h"

namespace platform {
namespace {

using test::errorNumberOf;

// The real environment, except that the program lives at `programPath`.
class ProgramAt : public EnvWrapper {
 public:
  explicit ProgramAt(std::string programPath) : EnvWrapper(Env::Default()), path_(std::move(programPath)) {}
  std::string programPath() override { return path_; }

 private:
  std::string path_;
};

TEST(ProgramInfo, FolderAndNameComeFromTheExecutablePath) {
  const struct {
    std::string path, folder, name;
  } cases[] = {
      {"/opt/tarnwick/tarnwick", "/opt/tarnwick", "tarnwick"},
      {"/usr/local/bin/nodeadmin", "/usr/local/bin", "nodeadmin"},
      {"/nodes.v2.run", "/", "nodes.v2"},
  };
  for (const auto& c : cases) {
    ProgramAt program(c.path);
    test::ScopedEnv installed(&program);
    EXPECT_EQ(programFolder(), c.folder);
    EXPECT_EQ(programName(), c.name);
  }
}

TEST(ProgramInfo, TheRealProgram) {
  EXPECT_EQ(programName(), "platform_core_tests");
  EXPECT_TRUE(env()->folderExists(programFolder()));
  EXPECT_EQ(productName(), "Tarnwick");
  EXPECT_EQ(versionMajor(), 1);
  EXPECT_EQ(versionMinor(), 1);
  EXPECT_EQ(versionRevision(), 1);
}

TEST(ComponentLoader, CreatesFromTheLibraryInTheProgramFolder) {
  ProgramAt program(std::string(TEST_COMPONENT_FOLDER) + "/host");
  test::ScopedEnv installed(&program);
  std::unique_ptr<TestWidget> widget(static_cast<TestWidget*>(createComponent("TestWidgets.Widget")));
  ASSERT_NE(widget, nullptr);
  EXPECT_EQ(widget->answer, 42);
  EXPECT_EQ(errorNumberOf([] { createComponent("TestWidgets.Gadget"); }), 429);
  EXPECT_EQ(errorNumberOf([] { createComponent("TestWidgets"); }), 429);
}

TEST(ComponentLoader, MissingLibraryFailsWith429) {
  test::TempFolder emptyFolder;
  ProgramAt program(emptyFolder.path("host"));
  test::ScopedEnv installed(&program);
  EXPECT_EQ(errorNumberOf([] { createComponent("TestWidgets.Widget"); }), 429);
}

}  // namespace
}  // namespace platform
