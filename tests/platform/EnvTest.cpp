// Reading files through the real Env. (Writing them is every run's, listing and deleting the log folder's files
// classLogTest's, files a user may not open the end-to-end tests'.)
#include "platform/Env.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <fstream>
#include <thread>

#include "TestSupport.h"

namespace platform {
namespace {

using test::errorNumberOf;
using test::writeBytes;
using Lines = std::vector<std::string>;

constexpr auto kRead = IOMode::ForReading;
constexpr auto kCp1252 = TextEncoding::Cp1252;

class EnvTest : public ::testing::Test {
 protected:
  std::unique_ptr<TextStream> open(IOMode mode, bool create = true, TextEncoding encoding = kCp1252) {
    return env()->openTextFile(file_, mode, create, encoding);
  }

  // Every line of a file of `bytes`, checking the line numbers and that reading past the end fails with 62.
  Lines readAll(const std::string& bytes) {
    writeBytes(file_, bytes);
    auto in = open(kRead, false);
    Lines lines;
    while (!in->atEndOfStream()) {
      EXPECT_EQ(in->line(), static_cast<int32_t>(lines.size()) + 1);
      lines.push_back(in->readLine());
    }
    EXPECT_EQ(errorNumberOf([&] { in->readLine(); }), err::kInputPastEnd);
    return lines;
  }

  test::TempFolder folder_;
  std::string file_ = folder_.path("data.csv");
};

TEST_F(EnvTest, ReadsLinesEndingInLfOrCrLf) {
  const std::string longLine(65535, 'x');  // its CR ends the first 64 KiB, its LF starts the next
  const std::string longer(200000, 'y');
  const std::pair<std::string, Lines> cases[] = {
      {"", {}},
      {"one\r\ntwo\nthree", {"one", "two", "three"}},
      {"a\r\r\nb\r", {"a\r", "b\r"}},  // only the CR just before LF belongs to the line end
      {"\n\r\n", {"", ""}},
      {"caf\xE9;\x80", {"caf\u00E9;\u20AC"}},
      {longLine + "\r\n" + longer + "\r\nz", {longLine, longer, "z"}},
  };
  for (const auto& [bytes, lines] : cases) EXPECT_EQ(readAll(bytes), lines) << bytes.substr(0, 20);
}

// Text that can be read only once, here a FIFO, is read whole first; bytes read count the mark.
TEST_F(EnvTest, FifoIsReadWholeFirstAndBytesReadCountTheMark) {
  ASSERT_EQ(::mkfifo(file_.c_str(), 0600), 0);
  std::thread writer([&] { writeBytes(file_, "\xEF\xBB\xBFxy\r\ncd"); });
  auto in = open(kRead, false);
  writer.join();
  std::vector<uint64_t> read{in->bytesRead(), (in->readLine(), in->bytesRead()), in->totalBytes()};
  EXPECT_EQ(read, (std::vector<uint64_t>{3, 7, 9}));
}

// The rest of a line longer than 1 MiB is skipped, not held: here 200 MB of zero bytes.
TEST_F(EnvTest, LineLongerThan1MiBIsCutWithoutBeingHeld) {
  writeBytes(file_, "ab");
  test::fs::resize_file(file_, 200 * kMaxLineBytes);
  std::ofstream(file_, std::ios::app) << "\r\nz";
  rusage before{}, after{};
  ::getrusage(RUSAGE_SELF, &before);
  auto in = open(kRead, false);
  EXPECT_EQ(in->readLine(), "ab" + std::string(kMaxLineBytes - 2, '\0'));
  EXPECT_TRUE(in->lineWasCut());
  EXPECT_EQ((std::pair{in->readLine(), in->lineWasCut()}), (std::pair{std::string("z"), false}));
  ::getrusage(RUSAGE_SELF, &after);
#ifndef __SANITIZE_ADDRESS__
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024) << "KiB more at the peak";
#endif
}

}  // namespace
}  // namespace platform
