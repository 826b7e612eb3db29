#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "TestSupport.h"

namespace platform {
namespace {

using test::errorNumberOf;
using test::readBytes;
using test::writeBytes;

constexpr auto kRead = IOMode::ForReading;
constexpr auto kWrite = IOMode::ForWriting;
constexpr auto kAppend = IOMode::ForAppending;
constexpr auto kCp1252 = TextEncoding::Cp1252;
constexpr auto kUtf8 = TextEncoding::Utf8WithMark;

class TextStreamTest : public ::testing::Test {
 protected:
  std::unique_ptr<TextStream> open(IOMode mode, bool create = true, TextEncoding encoding = kCp1252) {
    return env()->openTextFile(file_, mode, create, encoding);
  }

  std::vector<std::string> readAll(const std::string& bytes) {
    writeBytes(file_, bytes);
    auto in = open(kRead, false);
    std::vector<std::string> lines;
    while (!in->atEndOfStream()) {
      EXPECT_EQ(in->line(), static_cast<int32_t>(lines.size()) + 1);
      lines.push_back(in->readLine());
    }
    EXPECT_EQ(errorNumberOf([&] { in->readLine(); }), 62);
    return lines;
  }

  test::TempFolder folder_;
  std::string file_ = folder_.path("data.csv");
};

using Lines = std::vector<std::string>;

TEST_F(TextStreamTest, WritesCp1252WithCrLf) {
  auto out = open(kWrite);
  out->writeLine("Z\u00FCrich");
  out->writeLine("\u20AC5");
  out->writeLine("");
  EXPECT_EQ(readBytes(file_), "Z\xFCrich\r\n\x80" "5\r\n\r\n");
}

TEST_F(TextStreamTest, UnencodableLineFailsWith5AndWritesNothing) {
  auto out = open(kWrite);
  EXPECT_EQ(errorNumberOf([&] { out->writeLine("ok \u0100"); }), 5);
  EXPECT_EQ(readBytes(file_), "");
  out->writeLine("next");
  EXPECT_EQ(readBytes(file_), "next\r\n");
}

TEST_F(TextStreamTest, ReadsLinesEndingInLfOrCrLf) {
  const struct {
    std::string bytes;
    Lines lines;
  } cases[] = {
      {"", {}},
      {"one\r\ntwo\nthree", {"one", "two", "three"}},
      {"a\r\r\nb\r", {"a\r", "b\r"}},  // only the CR just before LF belongs to the line end
      {"\n\r\n", {"", ""}},
      {"caf\xE9;\x80", {"caf\u00E9;\u20AC"}},
  };
  for (const auto& c : cases) EXPECT_EQ(readAll(c.bytes), c.lines) << c.bytes;
}

TEST_F(TextStreamTest, ReadsLinesLongerThanOneRead) {
  const std::string longLine(65535, 'x');  // its CR ends the first 64 KiB, its LF starts the next
  const std::string longer(200000, 'y');
  EXPECT_EQ(readAll(longLine + "\r\n" + longer + "\r\nz"), (Lines{longLine, longer, "z"}));
}

TEST_F(TextStreamTest, Utf8MarkedFileIsReadAsUtf8) {
  EXPECT_EQ(readAll("\xEF\xBB\xBFZ\xC3\xBCrich\r\n\xFF\r\n"), (Lines{"Z\u00FCrich", "\uFFFD"}));
  EXPECT_EQ(open(kRead)->encoding(), kUtf8);
  EXPECT_EQ(readAll("\xEF\xBB\xBF"), Lines{});
  writeBytes(file_, "\xEF\xBB");
  EXPECT_EQ(open(kRead)->encoding(), kCp1252);
}

TEST_F(TextStreamTest, Utf8StreamWritesTheMarkFirst) {
  auto out = open(kWrite);
  out->setEncoding(kUtf8);
  out->writeLine("\u0100");
  out->writeLine("\U0001F600");
  EXPECT_EQ(errorNumberOf([&] { out->setEncoding(kCp1252); }), 5);
  EXPECT_EQ(errorNumberOf([&] { out->writeLine("bad \xFF"); }), 5);
  EXPECT_EQ(readBytes(file_), "\xEF\xBB\xBF\xC4\x80\r\n\xF0\x9F\x98\x80\r\n");
}

TEST_F(TextStreamTest, AppendingUtf8ToATextAddsNoMark) {
  writeBytes(file_, "\xEF\xBB\xBF" "a\r\n");
  open(kAppend, true, kUtf8)->writeLine("\u0100");
  EXPECT_EQ(readBytes(file_), "\xEF\xBB\xBF" "a\r\n\xC4\x80\r\n");
}

TEST_F(TextStreamTest, WritingEmptiesAndAppendingKeeps) {
  writeBytes(file_, "old\r\n");
  open(kAppend)->writeLine("more");
  EXPECT_EQ(readBytes(file_), "old\r\nmore\r\n");
  open(kWrite)->writeLine("new");
  EXPECT_EQ(readBytes(file_), "new\r\n");
  open(kWrite);
  EXPECT_EQ(readBytes(file_), "");
}

TEST_F(TextStreamTest, OpenFailures) {
  const std::string missingFolder = folder_.path("no-such-folder/x.csv");
  EXPECT_EQ(errorNumberOf([&] { open(kRead, false); }), 53);
  EXPECT_EQ(errorNumberOf([&] { open(kWrite, false); }), 53);
  EXPECT_EQ(errorNumberOf([&] { env()->openTextFile(missingFolder, kWrite, true, kCp1252); }), 76);
  EXPECT_EQ(errorNumberOf([&] { env()->openTextFile(folder_.path(), kWrite, true, kCp1252); }), 75);
  EXPECT_FALSE(env()->fileExists(file_));
}

TEST_F(TextStreamTest, WrongDirectionFailsWith5) {
  auto out = open(kWrite);
  EXPECT_EQ(errorNumberOf([&] { out->readLine(); }), 5);
  auto in = open(kRead);
  EXPECT_EQ(errorNumberOf([&] { in->writeLine("x"); }), 5);
}

TEST_F(TextStreamTest, ClosedStreamFailsWith91) {
  auto out = open(kWrite);
  out->close();
  EXPECT_EQ(errorNumberOf([&] { out->writeLine("x"); }), 91);
  writeBytes(file_, "a\r\n");
  auto in = open(kRead);
  in->close();
  EXPECT_EQ(errorNumberOf([&] { in->atEndOfStream(); }), 91);
  EXPECT_EQ(errorNumberOf([&] { in->readLine(); }), 91);
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

TEST_F(TextStreamTest, FileWeMayNotOpenFailsWith70) {
  writeBytes(file_, "secret\r\n");
  std::filesystem::permissions(file_, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  std::filesystem::permissions(folder_.path(), std::filesystem::perms::all);  // "nobody" may pass through
  for (IOMode mode : {kRead, kWrite, kAppend}) {
    EXPECT_EQ(errorNumberAsNobody([&] { open(mode, true); }), 70) << static_cast<int>(mode);
  }
  EXPECT_EQ(readBytes(file_), "secret\r\n");
}

}  // namespace
}  // namespace platform
