// The export as a user runs it: the file, the console, the log and the count.
#include <algorithm>
#include <csignal>

#include "ProgramRun.h"

namespace tarnwick::e2e {
namespace {

// A line of the export file: `values` filled up to 19 with empty ones.
std::string exported(Lines values) {
  values.resize(19);
  return quotedLine(values);
}

// The line that imports `line` of an export again as a change.
std::string asChange(std::string line) { return quotedLine(kColumns) + "\r\n" + line.replace(4, 2, "\"C\"") + "\r\n"; }

class ExportTest : public ::testing::Test {
 protected:
  ExportTest() : db(folder) { db.clear(); }

  Lines exportFile() {
    run = folder.run({"/e:out.csv"});
    return crlfLines(readBytes(folder.path("out.csv")));
  }
  void execute(const std::string& sql) { db.connection.execute(sql); }
  std::string interval() { return db.connection.quotedName("Interval"); }  // a reserved word on MariaDB

  const std::string header = quotedLine(kColumns);
  ProgramFolder folder;
  NodeDatabase db;
  RunResult run;
};

TEST_F(ExportTest, EmptyDatabaseGivesTheHeaderOnlyAndTheTwoExampleNodesAreWrittenExactly) {
  EXPECT_EQ(exportFile(), Lines{header});  // RunSequenceTest checks the console of an empty export
  addOctel(db.connection, "1001", "North");
  execute("UPDATE DeliveryWindow SET BeginTime = '8:00AM', EndTime = '5:00PM', " + interval() +
          " = '5' WHERE MessageType = 1");
  execute("UPDATE DeliveryWindow SET " + interval() + " = '60' WHERE MessageType = 2");
  addVeltro(db.connection, "2002", "South");
  EXPECT_EQ(exportFile(), (Lines{header,
                                 exported({"O", "", "1001", "North", "", "", "", "5551234", "22", "N", "12:00AM",
                                           "11:59PM", "30", "8:00AM", "5:00PM", "5", "12:00AM", "11:59PM", "60"}),
                                 exported({"V", "", "2002", "South", "vmsrv1", "maildomain", "G729"})}));
  EXPECT_EQ(run.status, 0);
  Lines console = crlfLines(run.out);
  EXPECT_EQ(Lines(console.begin() + 3, console.end()),
            (Lines{"  Octel Node North - #1001", "  Veltro Node South - #2002", "Finished exporting data.", "",
                   "Total nodes exported: 2", ""}));
  EXPECT_TRUE(holds(folder.logText(),
                    "VerInfo:(                       [mdlProcess]exportData)       Octel Node "
                    "North - #1001"));
  // 24-hour times stored without their leading zero get it back, so the line imports again as it was.
  execute("UPDATE DeliveryWindow SET BeginTime = '8:30', EndTime = '0:05' WHERE MessageType = 0");
  std::string octelLine = exportFile()[1];
  EXPECT_TRUE(holds(octelLine, "\"N\",\"08:30\",\"00:05\",\"30\"")) << octelLine;
  writeBytes(folder.path("back.csv"), asChange(octelLine));
  EXPECT_EQ(folder.run({"/i:back.csv"}).status, 0);
  EXPECT_EQ(db.rows("SELECT BeginTime, EndTime FROM DeliveryWindow WHERE MessageType = 0"),
            (std::vector<Row>{{"8:30", "0:05"}}));
}

// Only whole nodes of a known kind are written; a codec other than 307 and
// a node Windows-1252 cannot hold are left out, the latter also uncounted.
TEST_F(ExportTest, OnlyWholeWritableNodesAreWrittenAndCountedAndValuesReadBackWhole) {
  addOctel(db.connection, "1", "bare", false);
  execute(
      "INSERT INTO Node (SerialNo, Name, ServerType) VALUES ('2', 'orphan', 1), ('3', 'odd', 3), ('5', 'no codec', 2)");
  execute("INSERT INTO VPIMNode (SerialNo, DomainName, ProxyDomain) VALUES ('3', 'd', 'p'), ('5', 'd', 'p')");
  addVeltro(db.connection, "4", "other codec", 5);
  addOctel(db.connection, "12'3", "quoted");
  addVeltro(db.connection, "77", "Ann, \"the\" one");
  addVeltro(db.connection, "8", "Zo\xC4\x9B");  // a letter Windows-1252 does not hold
  Lines lines = exportFile();
  std::sort(lines.begin() + 1, lines.end());
  EXPECT_EQ(lines, (Lines{header, exported({"O", "", "1", "bare", "", "", "", "5551234", "22", "N"}),
                          exported({"O", "", "12'3", "quoted", "", "", "", "5551234", "22", "N", "12:00AM", "11:59PM",
                                    "30", "12:00AM", "11:59PM", "30", "12:00AM", "11:59PM", "30"}),
                          exported({"V", "", "4", "other codec", "vmsrv1", "maildomain"}),
                          exported({"V", "", "5", "no codec", "d", "p"}),
                          exported({"V", "", "77", "Ann, \"the\" one", "vmsrv1", "maildomain", "G729"})}));
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(holds(run.out, "  ERROR: Node #8 could not be written to the export file and was not exported.\r\n"));
  EXPECT_TRUE(holds(run.out, "Total nodes exported: 5\r\n"));
  // Fed back as a change, the reader splits the line into the same 19 values.
  writeBytes(folder.path("back.csv"), asChange(lines.back()));
  execute("UPDATE Node SET Name = 'other' WHERE SerialNo = '77'");
  EXPECT_EQ(folder.run({"/i:back.csv"}).status, 0);
  EXPECT_EQ(db.rows("SELECT Name FROM Node WHERE SerialNo = '77'"), (std::vector<Row>{{"Ann, \"the\" one"}}));
}

// Nodes that cannot be read are reported on the console, not only in the
// log, and the incomplete export leaves the previous file as it was.
TEST_F(ExportTest, NodesThatCannotBeReadAreReportedAndTheRunFails) {
  addOctel(db.connection, "1", "octel");
  writeBytes(folder.path("out.csv"), header + "\r\n");
  execute("ALTER TABLE OctelNode RENAME TO OctelAway");
  Lines lines = exportFile();
  execute("ALTER TABLE OctelAway RENAME TO OctelNode");
  EXPECT_EQ(lines, Lines{header});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(holds(run.out, "------\r\nExport node data to: out.csv\r\n  ERROR: Reading the nodes failed: ")) << run.out;
  EXPECT_TRUE(run.out.ends_with("ERROR: The export did not complete; the temporary file was removed and out.csv was "
                                "left as it was.\r\n")) << run.out;
}

// Stopped by a signal, the export removes its temporary file and leaves the
// previous file as it was (or none, where there was none).
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
    EXPECT_TRUE(run.out.ends_with("Export interrupted; the temporary file was removed and out.csv was left as it was.\r\n"));
    EXPECT_EQ(temporaryFiles(), 0);
    EXPECT_EQ(fs::exists(folder.path("out.csv")) ? readBytes(folder.path("out.csv")) : "", previous);
  }
}

}  // namespace
}  // namespace tarnwick::e2e
