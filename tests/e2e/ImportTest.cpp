// The import as a user runs it, on the embedded database or a server: the console, the result file and the rows it
// leaves. The rules of each operation are the unit tests' (tests/tarnwick).
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <tuple>

#include "ProgramRun.h"

namespace tarnwick::e2e {
namespace {

class ImportTest : public NodeFolderTest {};

// Run from another folder on an input whose path holds a hyphen, the import writes its results to the current folder.
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
  const Lines console = crlfLines(
      "Tarnwick Version: 1.01.0001\r\n" + std::string(60, '-') + "\r\nUsing Input File: " + input +
      "\r\nOutput file: nodes.out.csv\r\n\r\nProcessing data...\r\n"
      "  Processing Line: 2    SerialNo = 1001\r\n    Adding Node #1001\r\n"
      "  Processing Line: 3    SerialNo = 2002\r\n    Adding Node #2002\r\n"
      "  Processing Line: 4    SerialNo = 1001\r\n    Changing Node #1001\r\n"
      "  Processing Line: 5    SerialNo = 4\r\n    Value failed data validation checks.  Value = X Column = action\r\n"
      "  Processing Line: 6    SerialNo = 2002\r\n    Changing Node #2002\r\n"
      "  Processing Line: 7    SerialNo = 5\r\n"
      "  Processing Line: 8    SerialNo = 3003\r\n    Deleting Node #3003\r\n"
      "  Processing Line: 9    SerialNo = 4004\r\n    Deleting Node #4004\r\n"
      "Finished processing data.\r\n\r\nTotal nodes effected: 8 Successful changes: 6 Errors: 2\r\n\r\n"
      "****************ERRORS ENCOUNTERED*****************\r\n"
      "Check the output file for more detailed error information: " +
      data.path("nodes.out.csv") + "\r\n");
  EXPECT_EQ(crlfLines(run.out), console);
  // Quiet, on the same tables, the same lines show only the failed ones.
  db.clear();
  addOctel(db.connection, "3003", "gone");
  addVeltro(db.connection, "4004", "gone");
  Lines shown(console.begin(), console.begin() + 6);
  shown.insert(shown.end(), {console[12], console[13], console[16]});
  shown.insert(shown.end(), console.end() - 6, console.end());
  EXPECT_EQ(crlfLines(folder.run({"/i:" + input, "/q"}, {.workingDir = data.path()}).out), shown);
}

// The result file is in the input's encoding: UTF-8 with or without the mark, else Windows-1252.
TEST_F(ImportTest, ResultFileKeepsTheInputsEncodingAndEveryValueIsStoredAsWritten) {
  const std::string name = "Zo\xC4\x9B \xE2\x82\xAC";
  using Case = std::tuple<std::string, std::string, std::string>;  // mark, name as written, name stored
  for (auto [mark, bytes, stored] :
       {Case{"\xEF\xBB\xBF", name, name}, Case{"", name, name}, Case{"", "Caf\xE9", "Caf\xC3\xA9"}}) {
    db.clear();
    writeBytes(folder.path("nodes.csv"), mark + inputText({veltro("A", "1", {{"Name", bytes}})}));
    EXPECT_EQ(folder.run({"/i:nodes.csv"}).status, 0);
    const std::string result = readBytes(folder.path("nodes.out.csv"));
    EXPECT_TRUE(result.starts_with(mark + "\"NodeType\"") && holds(result, "\"" + bytes + "\"")) << result;
    EXPECT_EQ(db.rows("SELECT Name FROM Node"), std::vector<Row>{{stored}});
  }
}

// A dry run reports on the console, in the log and in its result file what the real run after it reports, lines
// that depend on earlier ones included, and leaves every node as it was.
TEST_F(ImportTest, DryRunReportsWhatTheRealRunDoesAndStoresNothing) {
  addOctel(db.connection, "1", "stored");
  addVeltro(db.connection, "2", "kept");
  const std::vector<Lines> lines = {
      octel("A", "3"), octel("C", "3", {{"Name", "Later"}}), veltro("D", "2"), veltro("C", "2"), octel("A", "1"),
      octel("D", "1"), octel("A", "1", {{"PhoneNo", "5A"}}), octel("A", "1")};
  writeBytes(folder.path("nodes.csv"), inputText(lines));
  const auto before = storedNodes(db.connection);
  const RunResult dry = folder.run({"/i:nodes.csv", "--dry-run"});
  const std::string dryResults = readBytes(folder.path("nodes.out.csv"));
  EXPECT_EQ(storedNodes(db.connection), before);
  const RunResult real = folder.run({"/i:nodes.csv"});
  EXPECT_NE(storedNodes(db.connection), before);
  EXPECT_EQ(readBytes(folder.path("nodes.out.csv")), dryResults);
  const std::string summary = importSummary(lines.size(), 3), nothingStored = "Dry run: nothing was stored.\r\n";
  EXPECT_EQ(dry.out, std::string(real.out).insert(real.out.find(summary) + summary.size(), nothingStored));
  EXPECT_EQ(dry.status, real.status);
  EXPECT_TRUE(holds(folder.logText(), "[mdlProcess]importData)     " + nothingStored));
}

// On a terminal, standard error shows the progress at most ten times a second and erases it at the end; standard
// output carries the bytes it carries without a terminal.
TEST_F(ImportTest, ProgressLineOnATerminalLeavesStandardOutputAsItIs) {
  writeBytes(folder.path("nodes.csv"), inputText(std::vector<Lines>(2000, veltro("D", "9"))));
  const RunResult plain = folder.run({"/i:nodes.csv"});
  const std::string command = "cd '" + folder.path() +
                              "' && script -qec './tarnwick /i:nodes.csv >out.txt' /dev/null >tty.txt";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), plain.status);
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(readBytes(folder.path("out.txt")), plain.out);
  const std::string tty = readBytes(folder.path("tty.txt"));
  EXPECT_TRUE(tty.starts_with("\rLines done: 1 (") && tty.ends_with(" left\x1b[K\r\x1b[K")) << tty;
  EXPECT_LE(std::count(tty.begin(), tty.end(), '\r'), 2 + 10 * seconds.count());
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
