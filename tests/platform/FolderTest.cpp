#include <gtest/gtest.h>

#include "TestSupport.h"
#include "platform/Paths.h"

namespace platform {
namespace {

using test::errorNumberOf;
using test::writeBytes;
namespace fs = std::filesystem;

class FolderTest : public ::testing::Test {
 protected:
  test::TempFolder folder_;
  std::string root_ = folder_.path();
};

TEST_F(FolderTest, ExistenceTellsFilesFromFolders) {
  writeBytes(folder_.path("a.LOG"), "x");
  EXPECT_TRUE(env()->fileExists(folder_.path("a.LOG")));
  EXPECT_FALSE(env()->fileExists(root_));
  EXPECT_FALSE(env()->fileExists(folder_.path("missing")));
  EXPECT_TRUE(env()->folderExists(root_));
  EXPECT_FALSE(env()->folderExists(folder_.path("a.LOG")));
  EXPECT_FALSE(env()->folderExists(folder_.path("missing")));
}

TEST_F(FolderTest, CreateFolderMakesOneLevel) {
  const std::string logs = joinPath(root_, "LOGS");
  env()->createFolder(logs);
  env()->createFolder(logs);  // already there: left alone
  EXPECT_TRUE(env()->folderExists(logs));
  EXPECT_EQ(errorNumberOf([&] { env()->createFolder(folder_.path("a/b")); }), 76);
  EXPECT_FALSE(env()->folderExists(folder_.path("a")));
}

TEST_F(FolderTest, SizeCountsSubfoldersAndFilesListsOnlyDirectFiles) {
  fs::create_directories(folder_.path("old/older"));
  writeBytes(folder_.path("b.LOG"), std::string(10, 'b'));
  writeBytes(folder_.path("a.LOG"), std::string(5, 'a'));
  writeBytes(folder_.path("old/x.LOG"), std::string(20, 'x'));
  writeBytes(folder_.path("old/older/y.LOG"), std::string(30, 'y'));
  EXPECT_EQ(env()->folderSize(root_), 65u);

  const TimePoint stamp = Clock::now() - std::chrono::hours(24 * 20);
  fs::last_write_time(folder_.path("a.LOG"), std::chrono::file_clock::from_sys(stamp));
  const auto files = env()->filesIn(root_);
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0].name, "a.LOG");
  EXPECT_EQ(files[0].path, folder_.path("a.LOG"));
  EXPECT_EQ(files[1].name, "b.LOG");
  EXPECT_LT(std::chrono::abs(files[0].lastModified - stamp), std::chrono::milliseconds(1));
}

TEST_F(FolderTest, MissingFolderFailsWith76) {
  const std::string missing = folder_.path("missing");
  EXPECT_EQ(errorNumberOf([&] { env()->folderSize(missing); }), 76);
  EXPECT_EQ(errorNumberOf([&] { env()->filesIn(missing); }), 76);
  EXPECT_EQ(errorNumberOf([&] { env()->diskSpace(missing); }), 76);
}

TEST_F(FolderTest, DeleteFileRefusesReadOnlyFiles) {
  const std::string readOnly = folder_.path("kept.LOG");
  const std::string writable = folder_.path("gone.LOG");
  writeBytes(readOnly, "r");
  writeBytes(writable, "w");
  fs::permissions(readOnly, fs::perms::owner_read | fs::perms::group_read);
  EXPECT_EQ(errorNumberOf([&] { env()->deleteFile(readOnly); }), 70);
  env()->deleteFile(writable);
  EXPECT_TRUE(env()->fileExists(readOnly));
  EXPECT_FALSE(env()->fileExists(writable));
  EXPECT_EQ(errorNumberOf([&] { env()->deleteFile(writable); }), 53);
}

TEST_F(FolderTest, DiskSpaceOfTheFolder) {
  const DiskSpace space = env()->diskSpace(root_);
  const fs::space_info expected = fs::space(root_);
  EXPECT_EQ(space.total, expected.capacity);
  EXPECT_LE(space.freeToCaller, space.total);
}

TEST(DebugOutput, WritesALineOnlyWhenAskedFor) {
  unsetenv("TARNWICK_DEBUG_OUTPUT");
  testing::internal::CaptureStderr();
  env()->debugOutput("hidden");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  setenv("TARNWICK_DEBUG_OUTPUT", "1", 1);
  testing::internal::CaptureStderr();
  env()->debugOutput("shown");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "shown\n");
  unsetenv("TARNWICK_DEBUG_OUTPUT");
}

}  // namespace
}  // namespace platform
