// The import as a user runs it: console, result file and table rows. The
// rules of each operation are the unit tests' (tests/tarnwick).
#include <sys/wait.h>

#include <algorithm>
#include <chrono>

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
  RunResult import(const std::vector<Lines>& lines, const std::string& option = "") {
    writeInput(lines);
    return folder.run(option.empty() ? std::vector<std::string>{"/i:nodes.csv"}
                                     : std::vector<std::string>{"/i:nodes.csv", option});
  }
  Lines results() { return resultLines(folder.path("nodes.out.csv")); }
  size_t rowsOf(const std::string& table) { return db.rows("SELECT * FROM " + table).size(); }
  // Every row of the five tables, in a fixed order.
  std::vector<Row> tables() {
    std::vector<Row> rows;
    for (std::string table : {"Node", "OctelNode", "VPIMNode", "DeliveryWindow", "Directory"}) {
      for (Row row : db.rows("SELECT * FROM " + table)) rows.push_back((row.insert(row.begin(), table), row));
    }
    std::sort(rows.begin(), rows.end());
    return rows;
  }

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
  // Quiet, the same lines (they leave no node) show only the failed ones.
  Lines quiet = crlfLines(import(lines, "/q").out);
  EXPECT_EQ(results(), expected);
  Lines shown(console.begin(), console.begin() + 6);
  shown.insert(shown.end(), {console[12], console[13], console[16]});
  shown.insert(shown.end(), console.end() - 6, console.end());
  EXPECT_EQ(quiet, shown);
}

// The result file is in the input's encoding: UTF-8 with or without the mark, else Windows-1252.
TEST_F(ImportTest, ResultFileKeepsTheInputsEncodingAndEveryValueIsStoredAsWritten) {
  const std::string name = "Zo\xC4\x9B \xE2\x82\xAC";
  using Case = std::tuple<std::string, std::string, std::string>;  // mark, name as written, name stored
  for (auto [mark, bytes, stored] :
       {Case{"\xEF\xBB\xBF", name, name}, Case{"", name, name}, Case{"", "Caf\xE9", "Caf\xC3\xA9"}}) {
    db.clear();
    writeInput({veltro("A", "1", {{"Name", bytes}})}, mark);
    EXPECT_EQ(folder.run({"/i:nodes.csv"}).status, 0);
    std::string result = readBytes(folder.path("nodes.out.csv"));
    EXPECT_TRUE(result.starts_with(mark + "\"NodeType\"") && holds(result, "\"" + bytes + "\"")) << result;
    EXPECT_EQ(db.rows("SELECT Name FROM Node"), std::vector<Row>{{stored}});
  }
}

// A dry run reports on the console, in the log and in its result file what the real run after
// it reports, lines that depend on earlier ones included, and leaves every table as it was.
TEST_F(ImportTest, DryRunReportsWhatTheRealRunDoesAndStoresNothing) {
  db.addOctel("1", "stored");
  db.addVeltro("2", "kept");
  std::vector<Lines> lines = {
      octel("A", "3"), octel("C", "3", {{"Name", "Later"}}), veltro("D", "2"), veltro("C", "2"), octel("A", "1"),
      octel("D", "1"), octel("A", "1", {{"PhoneNo", "5A"}}), octel("A", "1")};
  const std::vector<Row> before = tables();
  RunResult dry = import(lines, "--dry-run");
  const std::string dryResults = readBytes(folder.path("nodes.out.csv"));
  EXPECT_EQ(tables(), before);
  RunResult real = import(lines);
  EXPECT_NE(tables(), before);
  EXPECT_EQ(readBytes(folder.path("nodes.out.csv")), dryResults);
  EXPECT_EQ(results()[3], resultLine(lines[3], "Error", "Node with this serial number not found in Node Table"));
  const std::string summary = importSummary(lines.size(), 3), nothingStored = "Dry run: nothing was stored.\r\n";
  EXPECT_EQ(dry.out, std::string(real.out).insert(real.out.find(summary) + summary.size(), nothingStored));
  EXPECT_EQ(dry.status, real.status);
  EXPECT_TRUE(holds(allLogs(folder), summary.substr(0, summary.size() - 2) + "\r\n") &&
              holds(allLogs(folder), "[mdlProcess]importData)     " + nothingStored));
}

// On a terminal, standard error shows the progress at most ten times a second and erases it
// at the end; standard output carries the bytes it carries without a terminal.
TEST_F(ImportTest, ProgressLineOnATerminalLeavesStandardOutputAsItIs) {
  writeInput(std::vector<Lines>(2000, veltro("D", "9")));
  RunResult plain = folder.run({"/i:nodes.csv"});
  std::string command = "cd " + shellQuoted(folder.path()) + " && script -qec " +
                        shellQuoted(shellQuoted(folder.program()) + " /i:nodes.csv >out.txt") + " /dev/null >tty.txt";
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), plain.status);
  std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(readBytes(folder.path("out.txt")), plain.out);
  std::string tty = readBytes(folder.path("tty.txt"));
  EXPECT_TRUE(tty.starts_with("\rLines done: 1 (") && tty.ends_with(" left\x1b[K\r\x1b[K")) << tty;
  EXPECT_LE(std::count(tty.begin(), tty.end(), '\r'), 2 + 10 * seconds.count());
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
