// The export as a user runs it: the file, the console, the log and the count.
#include <algorithm>
#include <csignal>
#include <cstdlib>

#include "ProgramRun.h"

namespace tarnwick::e2e {
namespace {

// A line of the export file: `values` filled up to 19 with empty ones.
std::string exported(Lines values) {
  values.resize(19);
  return quotedLine(values);
}

class ExportTest : public NodeFolderTest {
 protected:
  Lines exportFile() {
    run = folder.run({"/e:out.csv"});
    return crlfLines(readBytes(folder.path("out.csv")));
  }
  void execute(const std::string& sql) { db.connection.execute(sql); }
  // Imports `line` of an export again as a change.
  void importAsChange(std::string line) {
    writeBytes(folder.path("back.csv"), quotedLine(kColumns) + "\r\n" + line.replace(4, 2, "\"C\"") + "\r\n");
    EXPECT_EQ(folder.run({"/i:back.csv"}).status, 0);
  }

  const std::string header = quotedLine(kColumns);
  RunResult run;
};

// 24-hour times stored without their leading zero get it back, so the line imports again as it was.
TEST_F(ExportTest, EmptyDatabaseGivesTheHeaderOnlyAndTimesImportBackAsTheyWere) {
  EXPECT_EQ(exportFile(), Lines{header});  // RunSequenceTest checks the console of an empty export
  addOctel(db.connection, "1001", "North");
  execute("UPDATE DeliveryWindow SET BeginTime = '8:30', EndTime = '0:05' WHERE MessageType = 0");
  std::string octelLine = exportFile()[1];
  EXPECT_TRUE(holds(octelLine, "\"N\",\"08:30\",\"00:05\",\"30\"")) << octelLine;
  importAsChange(octelLine);
  EXPECT_EQ(db.rows("SELECT BeginTime, EndTime FROM DeliveryWindow WHERE MessageType = 0"),
            (std::vector<Row>{{"8:30", "0:05"}}));
}

// Only whole nodes of a known kind are written, exactly, each named on the console and in the log; a codec other than
// 307 and a node Windows-1252 cannot hold are left out, the latter also uncounted unless the export is UTF-8. Nodes
// that cannot be read at all fail the run and keep the previous file.
TEST_F(ExportTest, OnlyWholeWritableNodesAreWrittenAndCountedAndValuesReadBackWhole) {
  addOctel(db.connection, "1", "bare", false);
  execute(
      "INSERT INTO Node (SerialNo, Name, ServerType) VALUES ('2', 'orphan', 1), ('3', 'odd', 3), ('5', 'no codec', 2)");
  execute("INSERT INTO VPIMNode (SerialNo, DomainName, ProxyDomain) VALUES ('3', 'd', 'p'), ('5', 'd', 'p')");
  addVeltro(db.connection, "4", "other codec", 5);
  addOctel(db.connection, "12'3", "quoted");
  const std::string interval = db.connection.quotedName("Interval");  // a reserved word on MariaDB
  execute("UPDATE DeliveryWindow SET BeginTime = '8:00AM', EndTime = '5:00PM', " + interval +
          " = '5' WHERE MessageType = 1");
  execute("UPDATE DeliveryWindow SET " + interval + " = '60' WHERE MessageType = 2");
  addVeltro(db.connection, "77", "Ann, \"the\" one");
  addVeltro(db.connection, "8", "Zo\xC4\x9B");  // a letter Windows-1252 does not hold
  Lines lines = exportFile();
  std::sort(lines.begin() + 1, lines.end());
  EXPECT_EQ(lines, (Lines{header, exported({"O", "", "1", "bare", "", "", "", "5551234", "22", "N"}),
                          exported({"O", "", "12'3", "quoted", "", "", "", "5551234", "22", "N", "12:00AM", "11:59PM",
                                    "30", "8:00AM", "5:00PM", "5", "12:00AM", "11:59PM", "60"}),
                          exported({"V", "", "4", "other codec", "vmsrv1", "maildomain"}),
                          exported({"V", "", "5", "no codec", "d", "p"}),
                          exported({"V", "", "77", "Ann, \"the\" one", "vmsrv1", "maildomain", "G729"})}));
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(holds(run.out,
                    "  ERROR: Node #8 could not be written to the export file and was not exported. (use "
                    "/u to export as UTF-8)\r\n"));
  EXPECT_TRUE(holds(run.out, "  Octel Node quoted - #12'3\r\n") && holds(run.out, "\r\nTotal nodes exported: 5\r\n"));
  EXPECT_TRUE(holds(folder.logText(),
                    "VerInfo:(                       [mdlProcess]exportData)       Octel Node "
                    "quoted - #12'3"));
  // With /u the file is UTF-8 after its mark and holds that node too; /q names no node on the console.
  RunResult utf8 = folder.run({"/e:u.csv", "/u", "/q"});
  const std::string bytes = readBytes(folder.path("u.csv"));
  EXPECT_TRUE(bytes.starts_with("\xEF\xBB\xBF" + header) &&
              holds(bytes, exported({"V", "", "8", "Zo\xC4\x9B", "vmsrv1", "maildomain", "G729"})));
  EXPECT_TRUE(utf8.status == 0 && holds(utf8.out, "Total nodes exported: 6\r\n") && !holds(utf8.out, " Node "))
      << utf8.out;
  // Fed back as a change, the reader splits the line into the same 19 values.
  execute("UPDATE Node SET Name = 'other' WHERE SerialNo = '77'");
  importAsChange(lines.back());
  EXPECT_EQ(db.rows("SELECT Name FROM Node WHERE SerialNo = '77'"), (std::vector<Row>{{"Ann, \"the\" one"}}));

  const std::string before = readBytes(folder.path("out.csv"));
  execute("ALTER TABLE OctelNode RENAME TO OctelAway");
  exportFile();
  execute("ALTER TABLE OctelAway RENAME TO OctelNode");
  EXPECT_EQ(readBytes(folder.path("out.csv")), before);
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(holds(run.out, "------\r\nExport node data to: out.csv\r\n  ERROR: Reading the nodes failed: ") &&
              run.out.ends_with("ERROR: The export did not complete; the temporary file was removed and out.csv was "
                                "left as it was.\r\n"))
      << run.out;
}

// The console reads the same on a terminal as through a pipe, where it is written in blocks, and standard error never
// overtakes it.
TEST_F(ExportTest, ConsoleThroughAPipeMatchesTheTerminalAndStandardErrorNeverOvertakesIt) {
  addOctel(db.connection, "1001", "North");
  addVeltro(db.connection, "2002", "South");
  auto console = [&](const std::string& command) {
    EXPECT_EQ(std::system(("cd '" + folder.path() + "' && " + command + " >console.txt").c_str()), 0) << command;
    return readBytes(folder.path("console.txt"));
  };
  const std::string piped = console("./tarnwick /e:out.csv | cat");
  EXPECT_EQ(console("script -qc 'stty -opost && test -t 1 && exec ./tarnwick /e:out.csv' /dev/null </dev/null"), piped);
  const std::string merged = console("TARNWICK_DEBUG_OUTPUT=1 ./tarnwick /e:out.csv 2>&1 | cat");
  for (std::string node : {"Octel Node North - #1001", "Veltro Node South - #2002"}) {
    EXPECT_TRUE(holds(merged, "  " + node + "\r\ntarnwick:([mdlProcess]exportData)   " + node + "\n")) << merged;
  }
}

// Stopped by a signal, the export removes its temporary file and leaves the previous file as it was (or none, where
// there was none).
TEST_F(ExportTest, InterruptedExportLeavesThePreviousFileAndNoTemporaryFile) {
  writeBytes(folder.path("nodes.csv"), inputText(mixedAdds(3000)));
  ASSERT_EQ(folder.run({"/i:nodes.csv"}).status, 0);
  auto temporaryFiles = [&] {
    return std::count_if(fs::directory_iterator(folder.path()), fs::directory_iterator(),
                         [](auto& entry) { return entry.path().filename().string().starts_with(".out.csv."); });
  };
  for (const auto& [signal, previous] : {std::pair{SIGINT, ""}, {SIGTERM, "old"}, {SIGHUP, "old"}}) {
    SCOPED_TRACE(signal);
    if (*previous) writeBytes(folder.path("out.csv"), previous);
    StartedRun started = folder.start({"/e:out.csv"});
    ASSERT_TRUE(waitUntil([&] { return temporaryFiles() == 1; })) << "no temporary file";
    for (int number : {SIGSTOP, signal, SIGCONT}) started.signal(number);
    run = started.wait();
    EXPECT_EQ(run.status, 128 + signal);
    EXPECT_TRUE(
        run.out.ends_with("Export interrupted; the temporary file was removed and out.csv was left as it was.\r\n"));
    EXPECT_EQ(temporaryFiles(), 0);
    EXPECT_EQ(fs::exists(folder.path("out.csv")) ? readBytes(folder.path("out.csv")) : "", previous);
  }
}

}  // namespace
}  // namespace tarnwick::e2e
