// The import as a user runs it: console, result file and table rows. The
// rules of each operation are the unit tests' (tests/tarnwick).
#include "ProgramRun.h"

namespace tarnwick::e2e {
namespace {

class ImportTest : public ::testing::Test {
 protected:
  ImportTest() : db(folder) { db.clear(); }

  // Writes nodes.csv: `lines` under the 19 column headings, after `start`.
  void writeInput(const std::vector<Lines>& lines, const std::string& start = "") {
    std::string text = start + quotedLine(kColumns) + "\r\n";
    for (const auto& values : lines) text += quotedLine(values) + "\r\n";
    writeBytes(folder.path("nodes.csv"), text);
  }
  RunResult import(const std::vector<Lines>& lines) {
    writeInput(lines);
    return folder.run({"/i:nodes.csv"});
  }
  Lines results() { return resultLines(folder.path("nodes.out.csv")); }
  size_t rowsOf(const std::string& table) { return db.rows("SELECT * FROM " + table).size(); }

  ProgramFolder folder;
  NodeDatabase db;
};

TEST_F(ImportTest, EveryActionLetterWorksAndTheConsoleReportsEachLineAndTheSummary) {
  Lines badAction = veltro("X", "4"), noAction = veltro("", "5");
  std::vector<Lines> lines = {octel("a", "1001"), veltro("A", "2002"), octel("c", "1001", {{"Name", "Renamed"}}),
                              badAction, veltro("C", "2002", {{"Codec", ""}}), noAction, octel("d", "1001"),
                              veltro("D", "2002")};
  RunResult run = import(lines);
  EXPECT_EQ(run.status, 1);
  Lines expected;
  for (const auto& values : lines) {
    bool refused = values == badAction || values == noAction;
    expected.push_back(resultLine(values, refused ? "Error" : "Successful", refused ? "Invalid value in column: action" : ""));
  }
  EXPECT_EQ(results(), expected);
  EXPECT_EQ(rowsOf("Node") + rowsOf("OctelNode") + rowsOf("VPIMNode") + rowsOf("DeliveryWindow"), 0u);
  Lines console = crlfLines(run.out);
  EXPECT_EQ(Lines(console.begin() + 4, console.end()),
            (Lines{"", "Processing data...", "  Processing Line: 2    SerialNo = 1001", "    Adding Node #1001",
                   "  Processing Line: 3    SerialNo = 2002", "    Adding Node #2002",
                   "  Processing Line: 4    SerialNo = 1001", "    Changing Node #1001",
                   "  Processing Line: 5    SerialNo = 4",
                   "    Value failed data validation checks.  Value = X Column = action",
                   "  Processing Line: 6    SerialNo = 2002", "    Changing Node #2002",
                   "  Processing Line: 7    SerialNo = 5", "  Processing Line: 8    SerialNo = 1001",
                   "    Deleting Node #1001", "  Processing Line: 9    SerialNo = 2002", "    Deleting Node #2002",
                   "Finished processing data.", "", "Total nodes effected: 8 Successful changes: 6 Errors: 2", "",
                   "****************ERRORS ENCOUNTERED*****************",
                   "Check the output file for more detailed error information: " + folder.path("nodes.out.csv")}));
}

TEST_F(ImportTest, Utf8InputGivesAUtf8ResultFileHoldingEveryValue) {
  std::string name = "Zo\xC4\x9B \xE2\x82\xAC";
  writeInput({veltro("A", "1", {{"Name", name}})}, "\xEF\xBB\xBF");
  EXPECT_EQ(folder.run({"/i:nodes.csv"}).status, 0);
  std::string result = readBytes(folder.path("nodes.out.csv"));
  EXPECT_EQ(result.substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_TRUE(holds(result, "\"" + name + "\""));
  EXPECT_EQ(db.rows("SELECT Name FROM Node"), std::vector<Row>{{name}});
}

// Standard input, here a pipe, is imported as a file is; its results go to stdin.out.csv.
TEST_F(ImportTest, StandardInputIsImportedWithItsResultsInStdinOutCsv) {
  writeInput({veltro("A", "7")});
  std::string pipe = folder.path("in.pipe"), writer = "cat '" + folder.path("nodes.csv") + "' >'" + pipe + "'";
  ASSERT_EQ(std::system(("mkfifo '" + pipe + "' && (" + writer + " &)").c_str()), 0);
  RunResult run = folder.run({"-i", "-"}, "", pipe);
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(holds(run.out, "Using Input File: -\r\nOutput file: stdin.out.csv\r\n")) << run.out;
  EXPECT_EQ(resultLines(folder.path("stdin.out.csv")), Lines{resultLine(veltro("A", "7"), "Successful")});
  EXPECT_EQ(rowsOf("VPIMNode"), 1u);
}

}  // namespace
}  // namespace tarnwick::e2e
