#include <gtest/gtest.h>

#include "RecordingEnv.h"
#include "frontend/mdlMain.h"

namespace tarnwick::test {
namespace {

using platform::test::writeBytes;

class UsageTest : public ProgramTest {};

TEST_F(UsageTest, FiftyLinesWithTheProgramNameAndTheColumnTableAligned) {
  showUsage(console);
  auto lines = crlfSplit(env.out);
  ASSERT_EQ(lines.size(), 50u);
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

TEST_F(CheckCommandLineTest, NeitherOrBothJobsShowTheUsageScreen) {
  for (const char* text : {"", "/e /i:x.csv", "/o:x.csv"}) {
    EXPECT_EQ(check(text), kNothingToDo) << text;
    EXPECT_EQ(crlfSplit(env.out).size(), 50u) << text;
  }
}

TEST_F(CheckCommandLineTest, ExportPathsCompleteWithTheProgramFolder) {
  struct Case {
    const char* word;
    std::string path;
  } cases[] = {
      {"/e", inFolder("NodeExport.csv")},
      {"/e:out.csv", inFolder("out.csv")},
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

// An input in the program folder has its results in the current directory;
// an absolute input and a given result name are kept as they are.
TEST_F(CheckCommandLineTest, ImportPathsAndMissingInput) {
  writeBytes(inFolder("nodes.csv"), "x\r\n");
  EXPECT_EQ(check("/i:nodes.csv"), kImport);
  EXPECT_EQ(options.item("i"), inFolder("nodes.csv"));
  EXPECT_EQ(options.item("o"), "nodes.out.csv");
  EXPECT_EQ(env.out, "Using Input File: " + inFolder("nodes.csv") + "\r\nOutput file: nodes.out.csv\r\n");
  EXPECT_EQ(lastMessages(2)[0], "  Using input file: " + inFolder("nodes.csv") + " Writing results to: nodes.out.csv");

  platform::test::TempFolder other;
  platform::test::fs::create_directories(other.path("with-hyphen"));
  std::string input = other.path("with-hyphen/nodes.csv");
  writeBytes(input, "x\r\n");
  EXPECT_EQ(check(buildArgumentText({"/i:" + input, "/o:my results.csv"})), kImport);
  EXPECT_EQ(options.item("i"), input);
  EXPECT_EQ(options.item("o"), "my results.csv");

  EXPECT_EQ(check("/i:missing.csv"), kNothingToDo);
  EXPECT_EQ(env.out, "Input File Not Found: " + inFolder("missing.csv") + "\r\nExiting.\r\n");
  EXPECT_FALSE(options.exists("o"));
}

}  // namespace
}  // namespace tarnwick::test
