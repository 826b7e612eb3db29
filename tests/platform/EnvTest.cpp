// Files and folders through the real Env.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <thread>

#include "TestSupport.h"
#include "platform/Paths.h"

namespace platform {
namespace {

using test::errorNumberOf;
using test::readBytes;
using test::writeBytes;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

constexpr auto kRead = IOMode::ForReading;
constexpr auto kWrite = IOMode::ForWriting;
constexpr auto kAppend = IOMode::ForAppending;
constexpr auto kCp1252 = TextEncoding::Cp1252;
constexpr auto kUtf8 = TextEncoding::Utf8WithMark;

class FileTest : public ::testing::Test {
 protected:
  std::unique_ptr<TextStream> open(IOMode mode, bool create = true, TextEncoding encoding = kCp1252) {
    return env()->openTextFile(file_, mode, create, encoding);
  }

  // Every line of a file of `bytes`, checking the line numbers and that
  // reading past the end fails with 62.
  Lines readAll(const std::string& bytes) {
    writeBytes(file_, bytes);
    auto in = open(kRead, false);
    Lines lines;
    while (!in->atEndOfStream()) {
      EXPECT_EQ(in->line(), static_cast<int32_t>(lines.size()) + 1);
      lines.push_back(in->readLine());
    }
    EXPECT_EQ(errorNumberOf([&] { in->readLine(); }), 62);
    return lines;
  }

  test::TempFolder folder_;
  std::string root_ = folder_.path();
  std::string file_ = folder_.path("data.csv");
};

TEST_F(FileTest, WritesCp1252WithCrLfAndNothingOfAnUnencodableLine) {
  auto out = open(kWrite);
  out->writeLine("Z\u00FCrich");
  EXPECT_EQ(errorNumberOf([&] { out->writeLine("ok \u0100"); }), 5);
  out->writeLine("\u20AC5");
  out->writeLine("");
  EXPECT_EQ(readBytes(file_), "Z\xFCrich\r\n\x80" "5\r\n\r\n");
}

TEST_F(FileTest, ReadsLinesEndingInLfOrCrLf) {
  const std::string longLine(65535, 'x');  // its CR ends the first 64 KiB, its LF starts the next
  const std::string longer(200000, 'y');
  const struct {
    std::string bytes;
    Lines lines;
  } cases[] = {
      {"", {}},
      {"one\r\ntwo\nthree", {"one", "two", "three"}},
      {"a\r\r\nb\r", {"a\r", "b\r"}},  // only the CR just before LF belongs to the line end
      {"\n\r\n", {"", ""}},
      {"caf\xE9;\x80", {"caf\u00E9;\u20AC"}},
      {longLine + "\r\n" + longer + "\r\nz", {longLine, longer, "z"}},
  };
  for (const auto& c : cases) EXPECT_EQ(readAll(c.bytes), c.lines) << c.bytes.substr(0, 20);
}

TEST_F(FileTest, Utf8MarkIsReadAndWrittenOnlyAtTheStart) {
  EXPECT_EQ(readAll("\xEF\xBB\xBFZ\xC3\xBCrich\r\n\xFF\r\n"), (Lines{"Z\u00FCrich", "\uFFFD"}));
  EXPECT_EQ(open(kRead)->encoding(), kUtf8);
  writeBytes(file_, "\xEF\xBB");
  EXPECT_EQ(open(kRead)->encoding(), kCp1252);
  // Text that can be read only once is read whole first; bytes read count the mark.
  fs::remove(file_);
  ASSERT_EQ(::mkfifo(file_.c_str(), 0600), 0);
  std::thread writer([&] { writeBytes(file_, "\xEF\xBB\xBFxy\r\ncd"); });
  auto in = open(kRead, false);
  writer.join();
  std::vector<uint64_t> read{in->bytesRead(), (in->readLine(), in->bytesRead()), in->totalBytes()};
  EXPECT_EQ(read, (std::vector<uint64_t>{3, 7, 9}));

  fs::remove(file_);
  auto out = open(kWrite);
  out->setEncoding(kUtf8);
  out->writeLine("\u0100");
  EXPECT_EQ(errorNumberOf([&] { out->writeLine("bad \xFF"); }), 5);
  out->close();
  open(kAppend, true, kUtf8)->writeLine("\U0001F600");
  EXPECT_EQ(readBytes(file_), "\xEF\xBB\xBF\xC4\x80\r\n\xF0\x9F\x98\x80\r\n");
}

TEST_F(FileTest, WritingEmptiesAppendingKeepsAndOpenFailures) {
  EXPECT_EQ(errorNumberOf([&] { open(kRead, false); }), 53);
  EXPECT_EQ(errorNumberOf([&] { open(kWrite, false); }), 53);
  EXPECT_EQ(errorNumberOf([&] { env()->openTextFile(folder_.path("no/x.csv"), kWrite, true, kCp1252); }), 76);
  writeBytes(file_, "old\r\n");
  open(kAppend)->writeLine("more");
  EXPECT_EQ(readBytes(file_), "old\r\nmore\r\n");
  auto out = open(kWrite);
  EXPECT_EQ(readBytes(file_), "");
  out->close();
  EXPECT_EQ(errorNumberOf([&] { out->writeLine("x"); }), 91);
}

// The tests run as root, whom permission bits do not stop, so the opening
// is tried in a forked child that has dropped to user and group "nobody".
int errorNumberAsNobody(const std::function<void()>& action) {
  const pid_t child = fork();
  if (child == 0) {
    if (geteuid() == 0 && (setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0)) _exit(255);
    _exit(errorNumberOf(action));
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(FileTest, FileWeMayNotOpenFailsWith70) {
  writeBytes(file_, "secret\r\n");
  fs::permissions(file_, fs::perms::owner_read | fs::perms::owner_write);
  fs::permissions(root_, fs::perms::all);  // "nobody" may pass through
  for (IOMode mode : {kRead, kWrite, kAppend}) {
    EXPECT_EQ(errorNumberAsNobody([&] { open(mode, true); }), 70) << static_cast<int>(mode);
  }
  EXPECT_EQ(readBytes(file_), "secret\r\n");
}

TEST_F(FileTest, FolderExistenceAndCreatingOneLevel) {
  writeBytes(file_, "x");
  EXPECT_EQ((std::vector<bool>{env()->fileExists(file_), env()->fileExists(root_), env()->folderExists(root_),
                               env()->folderExists(file_)}),
            (std::vector<bool>{true, false, true, false}));
  const std::string logs = joinPath(root_, "LOGS");
  env()->createFolder(logs);
  env()->createFolder(logs);  // already there: left alone
  EXPECT_TRUE(env()->folderExists(logs));
  EXPECT_EQ(errorNumberOf([&] { env()->createFolder(folder_.path("a/b")); }), 76);
}

TEST_F(FileTest, FolderSizeCountsSubfoldersAndFilesListsOnlyDirectFiles) {
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
  EXPECT_EQ(files[0].path + "|" + files[1].name, folder_.path("a.LOG") + "|b.LOG");
  EXPECT_LT(std::chrono::abs(files[0].lastModified - stamp), std::chrono::milliseconds(1));
  EXPECT_EQ(errorNumberOf([&] { env()->folderSize(folder_.path("missing")); }), 76);
  EXPECT_EQ(errorNumberOf([&] { env()->filesIn(folder_.path("missing")); }), 76);
}

TEST_F(FileTest, DeleteFileRefusesReadOnlyFiles) {
  const std::string readOnly = folder_.path("kept.LOG");
  writeBytes(readOnly, "r");
  writeBytes(file_, "w");
  fs::permissions(readOnly, fs::perms::owner_read | fs::perms::group_read);
  EXPECT_EQ(errorNumberOf([&] { env()->deleteFile(readOnly); }), 70);
  env()->deleteFile(file_);
  EXPECT_EQ((std::vector<bool>{env()->fileExists(readOnly), env()->fileExists(file_)}), (std::vector<bool>{true, false}));
  EXPECT_EQ(errorNumberOf([&] { env()->deleteFile(file_); }), 53);
}

}  // namespace
}  // namespace platform
