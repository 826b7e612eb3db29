// The export as a user runs it: the file, the console, the log and the count.
#include <algorithm>
#include <cstdlib>
#include <tuple>

#include "ProgramRun.h"

namespace tarnwick::e2e {
namespace {

// A line of the export file: `values` filled up to 19 with empty ones.
std::string exported(Lines values) {
  values.resize(19);
  return quotedLine(values);
}

class ExportTest : public ::testing::Test {
 protected:
  ExportTest() : db(folder) { db.clear(); }

  Lines exportFile() {
    run = folder.run({"/e:out.csv"});
    return crlfLines(readBytes(folder.path("out.csv")));
  }

  const std::string header = quotedLine(kColumns);
  ProgramFolder folder;
  NodeDatabase db;
  RunResult run;
};

TEST_F(ExportTest, EmptyDatabaseGivesTheHeaderOnlyAndTheTwoExampleNodesAreWrittenExactly) {
  EXPECT_EQ(exportFile(), Lines{header});  // RunSequenceTest checks the console of an empty export

  db.addOctel("1001", "North");
  db.execute("UPDATE DeliveryWindow SET BeginTime = '8:00AM', EndTime = '5:00PM', " + db.interval() + " = '5' WHERE MessageType = 1");
  db.execute("UPDATE DeliveryWindow SET " + db.interval() + " = '60' WHERE MessageType = 2");
  db.addVeltro("2002", "South");
  EXPECT_EQ(exportFile(), (Lines{header,
                                 exported({"O", "", "1001", "North", "", "", "", "5551234", "22", "N", "12:00AM",
                                           "11:59PM", "30", "8:00AM", "5:00PM", "5", "12:00AM", "11:59PM", "60"}),
                                 exported({"V", "", "2002", "South", "vmsrv1", "maildomain", "G729"})}));
  EXPECT_EQ(run.status, 0);
  // 24-hour times stored without their leading zero get it back, so the line imports again as it was.
  db.execute("UPDATE DeliveryWindow SET BeginTime = '8:30', EndTime = '0:05' WHERE MessageType = 0");
  std::string octel = exportFile()[1];
  EXPECT_TRUE(holds(octel, "\"N\",\"08:30\",\"00:05\",\"30\"")) << octel;
  writeBytes(folder.path("back.csv"), header + "\r\n" + octel.replace(4, 2, "\"C\"") + "\r\n");
  EXPECT_EQ(folder.run({"/i:back.csv"}).status, 0);
  EXPECT_EQ(db.rows("SELECT BeginTime, EndTime FROM DeliveryWindow WHERE MessageType = 0"), (std::vector<Row>{{"8:30", "0:05"}}));
  Lines console = crlfLines(run.out);
  EXPECT_EQ(Lines(console.begin() + 3, console.end()),
            (Lines{"  Octel Node North - #1001", "  Veltro Node South - #2002", "Finished exporting data.", "",
                   "Total nodes exported: 2", ""}));
  EXPECT_TRUE(holds(allLogs(folder), "VerInfo:(                       [mdlProcess]exportData)       Octel Node "
                                     "North - #1001"));
}

// Only whole nodes of a known kind are written; a codec other than 307 and
// a node Windows-1252 cannot hold are left out, the latter also uncounted
// unless the export is UTF-8.
TEST_F(ExportTest, OnlyWholeWritableNodesAreWrittenAndCountedAndValuesReadBackWhole) {
  db.addOctel("1", "bare", false);
  db.execute("INSERT INTO Node (SerialNo, Name, ServerType) VALUES ('2', 'orphan', 1), ('3', 'odd', 3), ('5', 'no codec', 2)");
  db.execute("INSERT INTO VPIMNode (SerialNo, DomainName, ProxyDomain) VALUES ('3', 'd', 'p'), ('5', 'd', 'p')");
  db.addVeltro("4", "other codec", 5);
  db.addOctel("12'3", "quoted");
  db.addVeltro("77", "Ann, \"the\" one");
  db.addVeltro("8", "Zo\xC4\x9B");  // a letter Windows-1252 does not hold
  Lines lines = exportFile();
  std::sort(lines.begin() + 1, lines.end());
  EXPECT_EQ(lines, (Lines{header, exported({"O", "", "1", "bare", "", "", "", "5551234", "22", "N"}),
                          exported({"O", "", "12'3", "quoted", "", "", "", "5551234", "22", "N", "12:00AM", "11:59PM", "30",
                                    "12:00AM", "11:59PM", "30", "12:00AM", "11:59PM", "30"}),
                          exported({"V", "", "4", "other codec", "vmsrv1", "maildomain"}),
                          exported({"V", "", "5", "no codec", "d", "p"}),
                          exported({"V", "", "77", "Ann, \"the\" one", "vmsrv1", "maildomain", "G729"})}));
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(holds(run.out,
                    "  ERROR: Node #8 could not be written to the export file and was not exported. "
                    "(use /u to export as UTF-8)\r\n"));
  EXPECT_TRUE(holds(run.out, "Total nodes exported: 5\r\n"));
  // With /u the file is UTF-8 after its mark and holds that node too; /q names no node on the console.
  RunResult utf8 = folder.run({"/e:u.csv", "/u", "/q"});
  std::string bytes = readBytes(folder.path("u.csv"));
  EXPECT_TRUE(bytes.starts_with("\xEF\xBB\xBF" + header) &&
              holds(bytes, exported({"V", "", "8", "Zo\xC4\x9B", "vmsrv1", "maildomain", "G729"})));
  EXPECT_TRUE(utf8.status == 0 && holds(utf8.out, "Total nodes exported: 6\r\n") && !holds(utf8.out, " Node "))
      << utf8.out;

  // Fed back as a change, the reader splits the line into the same 19 values.
  writeBytes(folder.path("back.csv"), header + "\r\n" + lines.back().replace(4, 2, "\"C\"") + "\r\n");
  db.execute("UPDATE Node SET Name = 'other' WHERE SerialNo = '77'");
  EXPECT_EQ(folder.run({"/i:back.csv"}).status, 0);
  EXPECT_EQ(db.rows("SELECT Name FROM Node WHERE SerialNo = '77'"), (std::vector<Row>{{"Ann, \"the\" one"}}));
}

// Nodes that cannot be read are reported on the console, not only in the log,
// and the incomplete export leaves the previous file as it was.
TEST_F(ExportTest, NodesThatCannotBeReadAreReportedAndTheRunFails) {
  db.addOctel("1", "octel");
  db.addVeltro("2", "veltro");
  writeBytes(folder.path("out.csv"), header + "\r\n");
  db.execute("ALTER TABLE OctelNode RENAME TO OctelAway");
  Lines lines = exportFile();
  db.execute("ALTER TABLE OctelAway RENAME TO OctelNode");
  EXPECT_EQ(lines, Lines{header});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(holds(run.out, "------\r\nExport node data to: out.csv\r\n  ERROR: Reading the nodes failed: ")) << run.out;
  EXPECT_TRUE(run.out.ends_with("ERROR: The export did not complete; the temporary file was removed and out.csv was "
                                "left as it was.\r\n")) << run.out;
}

// The console reads the same on a terminal as through a pipe, where it is
// written in blocks, and standard error never overtakes it.
TEST_F(ExportTest, ConsoleThroughAPipeMatchesTheTerminalAndStandardErrorNeverOvertakesIt) {
  db.addOctel("1001", "North");
  db.addVeltro("2002", "South");
  auto console = [&](const std::string& command) {
    EXPECT_EQ(std::system(("cd '" + folder.path() + "' && " + command + " >console.txt").c_str()), 0) << command;
    return readBytes(folder.path("console.txt"));
  };
  std::string piped = console("./tarnwick /e:out.csv | cat");
  EXPECT_EQ(console("script -qc 'stty -opost && test -t 1 && exec ./tarnwick /e:out.csv' /dev/null </dev/null"), piped);
  std::string merged = console("TARNWICK_DEBUG_OUTPUT=1 ./tarnwick /e:out.csv 2>&1 | cat");
  for (std::string node : {"Octel Node North - #1001", "Veltro Node South - #2002"}) {
    EXPECT_TRUE(holds(merged, "  " + node + "\r\ntarnwick:([mdlProcess]exportData)   " + node + "\n")) << merged;
  }
  std::string consoleOnly;  // the mirrored log lines taken out
  for (size_t start = 0, end; (end = merged.find('\n', start)) != std::string::npos; start = end + 1) {
    if (merged.compare(start, 10, "tarnwick:(") != 0) consoleOnly += merged.substr(start, end + 1 - start);
  }
  EXPECT_EQ(consoleOnly, piped);
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
  for (const auto& [signal, number, previous] : {std::tuple{"INT", 2, ""}, {"TERM", 15, "old"}, {"HUP", 1, "old"}}) {
    if (*previous) writeBytes(folder.path("out.csv"), previous);
    StartedRun started = folder.start({"/e:out.csv"});
    ASSERT_TRUE(waitUntil([&] { return temporaryFiles() == 1; })) << "no temporary file";
    for (const char* name : {"STOP", signal, "CONT"}) started.signal(name);
    run = started.wait();
    EXPECT_EQ(run.status, 128 + number);
    EXPECT_TRUE(run.out.ends_with("Export interrupted; the temporary file was removed and out.csv was left as it was.\r\n"))
        << signal;
    EXPECT_EQ(temporaryFiles(), 0) << signal;
    EXPECT_EQ(fs::exists(folder.path("out.csv")) ? readBytes(folder.path("out.csv")) : "", previous) << signal;
  }
}

}  // namespace
}  // namespace tarnwick::e2e
