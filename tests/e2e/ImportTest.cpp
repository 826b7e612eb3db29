// The import as a user runs it, on the embedded database or a server: the
// console, the result file and the rows it leaves. The rules of each
// operation are the unit tests' (tests/tarnwick).
#include "ProgramRun.h"

namespace tarnwick::e2e {
namespace {

class ImportTest : public ::testing::Test {
 protected:
  ImportTest() : db(folder) { db.clear(); }

  ProgramFolder folder;
  NodeDatabase db;
};

// Run from another folder on an input whose path holds a hyphen, the
// import writes its results to the current folder.
TEST_F(ImportTest, EveryActionLetterWorksAndTheConsoleReportsEachLineAndTheSummary) {
  addOctel(db.connection, "3003", "gone");
  addVeltro(db.connection, "4004", "gone");
  Lines badAction = veltro("X", "4"), noAction = veltro("", "5");
  std::vector<Lines> lines = {octel("a", "1001"),
                              veltro("A", "2002"),
                              octel("c", "1001", {{"Name", "Renamed"}}),
                              badAction,
                              veltro("C", "2002", {{"Codec", ""}}),
                              noAction,
                              octel("d", "3003"),
                              veltro("D", "4004")};
  platform::test::TempFolder data;
  fs::create_directories(data.path("with-hyphen"));
  const std::string input = data.path("with-hyphen/nodes.csv");
  writeBytes(input, inputText(lines));
  RunResult run = folder.run({"/i:" + input}, {.workingDir = data.path()});
  EXPECT_EQ(run.status, 1);
  Lines expected;
  for (const auto& values : lines) {
    bool refused = values == badAction || values == noAction;
    expected.push_back(
        resultLine(values, refused ? "Error" : "Successful", refused ? "Invalid value in column: action" : ""));
  }
  EXPECT_EQ(resultLines(data.path("nodes.out.csv")), expected);
  EXPECT_EQ(storedNodes(db.connection),
            (std::map<std::string, std::string>{
                {"1001", "Renamed|1||5551234|22|9P|||0 0 8:30-5:00 pm 15|1 1 7:00AM-23:00 5|2 2 12:00AM-11:59PM 240"},
                {"2002", "South|2|307||||vmsrv1|maildomain"}}));
  EXPECT_EQ(crlfLines(run.out),
            (Lines{"Tarnwick Version: 1.01.0001",
                   std::string(60, '-'),
                   "Using Input File: " + input,
                   "Output file: nodes.out.csv",
                   "",
                   "Processing data...",
                   "  Processing Line: 2    SerialNo = 1001",
                   "    Adding Node #1001",
                   "  Processing Line: 3    SerialNo = 2002",
                   "    Adding Node #2002",
                   "  Processing Line: 4    SerialNo = 1001",
                   "    Changing Node #1001",
                   "  Processing Line: 5    SerialNo = 4",
                   "    Value failed data validation checks.  Value = X Column = action",
                   "  Processing Line: 6    SerialNo = 2002",
                   "    Changing Node #2002",
                   "  Processing Line: 7    SerialNo = 5",
                   "  Processing Line: 8    SerialNo = 3003",
                   "    Deleting Node #3003",
                   "  Processing Line: 9    SerialNo = 4004",
                   "    Deleting Node #4004",
                   "Finished processing data.",
                   "",
                   "Total nodes effected: 8 Successful changes: 6 Errors: 2",
                   "",
                   "****************ERRORS ENCOUNTERED*****************",
                   "Check the output file for more detailed error information: " + data.path("nodes.out.csv")}));
}

TEST_F(ImportTest, Utf8InputGivesAUtf8ResultFileHoldingEveryValue) {
  const std::string name = "Zo\xC4\x9B \xE2\x82\xAC";
  writeBytes(folder.path("nodes.csv"), "\xEF\xBB\xBF" + inputText({veltro("A", "1", {{"Name", name}})}));
  EXPECT_EQ(folder.run({"/i:nodes.csv"}).status, 0);
  std::string result = readBytes(folder.path("nodes.out.csv"));
  EXPECT_TRUE(result.starts_with("\xEF\xBB\xBF") && holds(result, "\"" + name + "\"")) << result;
  EXPECT_EQ(db.rows("SELECT Name FROM Node"), std::vector<Row>{{name}});
}

// Standard input, here a pipe, is imported as a file is; its results go to stdin.out.csv.
TEST_F(ImportTest, StandardInputIsImportedWithItsResultsInStdinOutCsv) {
  writeBytes(folder.path("nodes.csv"), inputText({veltro("A", "7")}));
  ASSERT_EQ(std::system(("cd '" + folder.path() + "' && mkfifo in.pipe && (cat nodes.csv >in.pipe &)").c_str()), 0);
  RunResult run = folder.run({"-i", "-"}, {.input = "in.pipe"});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(holds(run.out, "Using Input File: -\r\nOutput file: stdin.out.csv\r\n")) << run.out;
  EXPECT_EQ(resultLines(folder.path("stdin.out.csv")), Lines{resultLine(veltro("A", "7"), "Successful")});
  EXPECT_EQ(db.rows("SELECT SerialNo FROM VPIMNode"), std::vector<Row>{{"7"}});
}

}  // namespace
}  // namespace tarnwick::e2e
