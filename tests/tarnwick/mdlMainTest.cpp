#include "frontend/mdlMain.h"

#include <gtest/gtest.h>

#include "RecordingEnv.h"

namespace tarnwick::test {
namespace {

using platform::test::writeBytes;

class CheckCommandLineTest : public ProgramTest {
 protected:
  int32_t check(const std::string& argumentText) {
    env.out.clear();
    options = parseCommandLine(argumentText);
    return checkCommandLine(options, console);
  }
  std::string inFolder(const std::string& name) { return env.folder.path(name); }
  Options options;
};

// An option the program does not know is named after the screen, so that a
// mistyped option never runs a job the user did not ask for.
TEST_F(CheckCommandLineTest, NeitherOrBothJobsOrAnUnknownOptionShowTheUsageScreen) {
  const std::pair<const char*, std::string> cases[] = {
      {"", ""}, {"/e /i:x.csv", ""}, {"/o:x.csv", ""}, {"/e -x", "x"}, {"/e --dry", "dry"}};
  for (const auto& [text, unknown] : cases) {
    EXPECT_EQ(check(text), kNothingToDo) << text;
    Lines usage = crlfLines(env.out);
    EXPECT_EQ(usage.size(), 59u + (unknown.empty() ? 0 : 1)) << text;
    EXPECT_EQ(usage[2], "tarnwick /i:InputFilename [/o:OutputFilename]");
    EXPECT_EQ(usage.back(), unknown.empty() ? std::string(32, ' ') : "ERROR: Unknown option: " + unknown);
  }
}

// Only the default export goes to the data folder; a name typed is used as typed.
TEST_F(CheckCommandLineTest, ExportPathsAreKeptAsTypedAndTheDefaultIsInTheDataFolder) {
  const std::pair<std::string, std::string> cases[] = {{"/e", inFolder("NodeExport.csv")},
                                                       {"/e:out.csv", "out.csv"},
                                                       {"/e:sub/out.csv", "sub/out.csv"},
                                                       {"/e:/abs/out.csv", "/abs/out.csv"}};
  for (const auto& [word, path] : cases) {
    EXPECT_EQ(check(buildArgumentText({word})), kExport);
    EXPECT_EQ(options.item("e"), path);
    EXPECT_EQ(env.out, "Export node data to: " + path + "\r\n");
  }
  EXPECT_EQ(lastMessages(2)[0], "  Export node data to: /abs/out.csv");
}

// The result file is named after the input, or stdin.out.csv for standard
// input; a given result name is kept as it is.
TEST_F(CheckCommandLineTest, ImportPathsNameTheResultFile) {
  platform::test::TempFolder other;
  const std::string input = other.path("nodes.csv");
  writeBytes(input, "x\r\n");
  EXPECT_EQ(check(buildArgumentText({"-i", input})), kImport);
  EXPECT_EQ(env.out, "Using Input File: " + input + "\r\nOutput file: nodes.out.csv\r\n");
  EXPECT_EQ(lastMessages(2)[0], "  Using input file: " + input + " Writing results to: nodes.out.csv");
  EXPECT_EQ(check(buildArgumentText({"/i:" + input, "/o:my results.csv"})), kImport);
  EXPECT_EQ(options.item("o"), "my results.csv");
  EXPECT_EQ(check(buildArgumentText({"/i:-"})), kImport);
  EXPECT_EQ(env.out, "Using Input File: -\r\nOutput file: stdin.out.csv\r\n");
}

}  // namespace
}  // namespace tarnwick::test
