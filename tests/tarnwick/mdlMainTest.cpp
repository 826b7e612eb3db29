#include <gtest/gtest.h>

#include "RecordingEnv.h"
#include "frontend/mdlMain.h"

namespace tarnwick::test {
namespace {

using platform::test::writeBytes;

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

class UsageTest : public ProgramTest {};

TEST_F(UsageTest, FiftyLinesWithTheProgramNameAndTheColumnTableAligned) {
  showUsage();
  auto lines = splitLines(env.out);
  ASSERT_EQ(lines.size(), 50u);
  EXPECT_EQ(lines[0], "Usage: ");
  EXPECT_EQ(lines[2], "tarnwick /i:InputFilename [/o:OutputFilename]");
  EXPECT_EQ(lines[3], "tarnwick /e:OutputFilename");
  EXPECT_EQ(lines[6].find("Import"), 25u);
  EXPECT_EQ(lines[7].find("Write"), 25u);
  EXPECT_EQ(lines[11].find("Export"), 25u);
  EXPECT_EQ(lines[8].find("If"), 27u);
  EXPECT_EQ(lines[12].find("Outputfilename"), 27u);
  // Table rows: the three columns start at positions 6, 33 and 51.
  for (size_t i = 17; i <= 42; ++i) {
    const std::string& row = lines[i];
    SCOPED_TRACE(row);
    bool continuation = row.substr(0, 32) == std::string(32, ' ');
    EXPECT_EQ(row.substr(0, 5), "     ");
    EXPECT_TRUE(continuation || row[5] != ' ');
    ASSERT_GT(row.size(), 32u);
    EXPECT_EQ(row[31], ' ');
    EXPECT_NE(row[32], ' ');
    if (row.size() > 50) {
      EXPECT_EQ(row[49], ' ');
      EXPECT_NE(row[50], ' ');
    }
  }
  EXPECT_EQ(lines[43], "");
  EXPECT_EQ(lines[48], "  NOTE: All columns are required to be present in the input file.");
  EXPECT_EQ(lines[49], std::string(32, ' '));
}

class CheckCommandLineTest : public ProgramTest {
 protected:
  int32_t check(const std::string& argumentText) {
    options = parseCommandLine(argumentText);
    return checkCommandLine(options);
  }
  std::string programFolder() { return env.folder.path(); }
  Options options;
};

TEST_F(CheckCommandLineTest, NeitherOrBothJobsShowTheUsageScreen) {
  for (const char* text : {"", "/e /i:x.csv", "/o:x.csv"}) {
    env.out.clear();
    EXPECT_EQ(check(text), kNothingToDo) << text;
    EXPECT_EQ(splitLines(env.out).size(), 50u) << text;
  }
}

TEST_F(CheckCommandLineTest, ExportPathsCompleteWithTheProgramFolder) {
  struct Case {
    const char* word;
    std::string path;
  } cases[] = {
      {"/e", programFolder() + "/NodeExport.csv"},
      {"/e:out.csv", programFolder() + "/out.csv"},
      {"/e:sub/out.csv", "sub/out.csv"},
      {"/e:/abs/out.csv", "/abs/out.csv"},
  };
  for (const auto& c : cases) {
    env.out.clear();
    EXPECT_EQ(check(buildArgumentText({c.word})), kExport);
    EXPECT_EQ(options.item("e"), c.path);
    EXPECT_EQ(env.out, "Export node data to: " + c.path + "\r\n");
  }
  EXPECT_EQ(messageOf(logLines()[logLines().size() - 2]), "  Export node data to: /abs/out.csv");
}

TEST_F(CheckCommandLineTest, ImportOfAFileInTheProgramFolderWritesResultsToTheCurrentDirectory) {
  writeBytes(env.folder.path("nodes.csv"), "x\r\n");
  EXPECT_EQ(check("/i:nodes.csv"), kImport);
  std::string input = programFolder() + "/nodes.csv";
  EXPECT_EQ(options.item("i"), input);
  EXPECT_EQ(options.item("o"), "nodes.out.csv");
  EXPECT_EQ(env.out, "Using Input File: " + input + "\r\nOutput file: nodes.out.csv\r\n");
  EXPECT_EQ(messageOf(logLines()[logLines().size() - 2]),
            "  Using input file: " + input + " Writing results to: nodes.out.csv");
}

TEST_F(CheckCommandLineTest, AbsoluteInputAndGivenResultAreKept) {
  platform::test::TempFolder other;
  platform::test::fs::create_directories(other.path("with-hyphen"));
  std::string input = other.path("with-hyphen/nodes.csv");
  writeBytes(input, "x\r\n");
  EXPECT_EQ(check(buildArgumentText({"/i:" + input, "/o:my results.csv"})), kImport);
  EXPECT_EQ(options.item("i"), input);
  EXPECT_EQ(options.item("o"), "my results.csv");
}

TEST_F(CheckCommandLineTest, MissingInputSaysSoAndDoesNothing) {
  EXPECT_EQ(check("/i:missing.csv"), kNothingToDo);
  EXPECT_EQ(env.out, "Input File Not Found: " + programFolder() + "/missing.csv\r\nExiting.\r\n");
  EXPECT_FALSE(options.exists("o"));
}

}  // namespace
}  // namespace tarnwick::test
