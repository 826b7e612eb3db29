#include <gtest/gtest.h>

#include "RecordingEnv.h"
#include "frontend/mdlMain.h"

namespace tarnwick::test {
namespace {

using platform::test::writeBytes;

class UsageTest : public ProgramTest {};

constexpr size_t kUsageLines = 62;

// The fifty lines of the screen, and the twelve that follow its export options.
TEST_F(UsageTest, FiftyLinesWithTheProgramNameAndTheColumnTableAlignedAndTheNewOptionsAfterTheExport) {
  showUsage(console);
  auto lines = crlfSplit(env.out);
  ASSERT_EQ(lines.size(), kUsageLines);
  std::vector<std::string> added(lines.begin() + 14, lines.begin() + 26);
  lines.erase(lines.begin() + 14, lines.begin() + 26);
  EXPECT_EQ((std::vector<std::string>{added[0], added[7], added[8], added[11]}),
            (std::vector<std::string>{"Other Options:", "", "Environment:", ""}));
  for (size_t i : {1, 2, 3, 4, 5, 6, 9, 10}) EXPECT_EQ(added[i].find_first_not_of(' ', 22), i == 10 ? 27u : 25u) << i;
  EXPECT_EQ(lines[0], "Usage: ");
  EXPECT_EQ(lines[2], "tarnwick /i:InputFilename [/o:OutputFilename]");
  EXPECT_EQ(lines[3], "tarnwick /e:OutputFilename");
  EXPECT_EQ((std::vector<size_t>{lines[6].find("Import"), lines[7].find("Write"), lines[11].find("Export"),
                                 lines[8].find("If"), lines[12].find("Outputfilename")}),
            (std::vector<size_t>{25, 25, 25, 27, 27}));
  // Table rows: the three columns start at positions 6, 33 and 51.
  for (size_t i = 17; i <= 42; ++i) {
    const std::string& row = lines[i];
    ASSERT_GT(row.size(), 32u) << row;
    bool continuation = row.substr(0, 32) == std::string(32, ' ');
    EXPECT_TRUE(row.substr(0, 5) == "     " && (continuation || row[5] != ' ')) << row;
    EXPECT_TRUE(row[31] == ' ' && row[32] != ' ') << row;
    EXPECT_TRUE(row.size() <= 50 || (row[49] == ' ' && row[50] != ' ')) << row;
  }
  EXPECT_EQ(lines[43], "");
  EXPECT_EQ(lines[48], "  NOTE: All columns are required to be present in the input file.");
  EXPECT_EQ(lines[49], std::string(32, ' '));
}

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
    auto lines = crlfSplit(env.out);
    EXPECT_EQ(lines.size(), kUsageLines + (unknown.empty() ? 0 : 1)) << text;
    EXPECT_EQ(lines.back(), unknown.empty() ? std::string(32, ' ') : "ERROR: Unknown option: " + unknown);
  }
}

// Only the default export goes to the data folder; a name typed is used as typed.
TEST_F(CheckCommandLineTest, ExportPathsAreKeptAsTypedAndTheDefaultIsInTheDataFolder) {
  struct Case {
    const char* word;
    std::string path;
  } cases[] = {
      {"/e", inFolder("NodeExport.csv")},
      {"/e:out.csv", "out.csv"},
      {"/e:sub/out.csv", "sub/out.csv"},
      {"/e:/abs/out.csv", "/abs/out.csv"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(check(buildArgumentText({c.word})), kExport);
    EXPECT_EQ(options.item("e"), c.path);
    EXPECT_EQ(env.out, "Export node data to: " + c.path + "\r\n");
  }
  EXPECT_EQ(lastMessages(2)[0], "  Export node data to: /abs/out.csv");
}

// The result file is named after the input, or stdin.out.csv for standard
// input; a given result name is kept as it is.
TEST_F(CheckCommandLineTest, ImportPathsNameTheResultFile) {
  platform::test::TempFolder other;
  std::string input = other.path("nodes.csv");
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
