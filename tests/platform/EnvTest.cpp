// Files and folders through the real Env. (Listing, sizing and deleting the
// log folder's files are classLogTest's; files a user may not open, the
// end-to-end tests'.)
#include "platform/Env.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace platform {
namespace {

using test::errorNumberOf;
using test::readBytes;
using test::writeBytes;
using Lines = std::vector<std::string>;

constexpr auto kRead = IOMode::ForReading;
constexpr auto kCp1252 = TextEncoding::Cp1252;

class EnvTest : public ::testing::Test {
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
    EXPECT_EQ(errorNumberOf([&] { in->readLine(); }), err::kInputPastEnd);
    return lines;
  }

  test::TempFolder folder_;
  std::string file_ = folder_.path("data.csv");
};

TEST_F(EnvTest, WritesCp1252WithCrLfAndNothingOfAnUnencodableLine) {
  auto out = open(IOMode::ForWriting);
  out->writeLine("Z\u00FCrich");
  EXPECT_EQ(errorNumberOf([&] { out->writeLine("ok \u0100"); }), err::kInvalidArgument);
  out->writeLine("\u20AC5");
  out->writeLine("");
  EXPECT_EQ(readBytes(file_),
            "Z\xFCrich\r\n\x80"
            "5\r\n\r\n");
}

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

}  // namespace
}  // namespace platform
