// Faults a real run meets: unusable folders and files, full disks, a locked
// database, an input that goes away. Each ends with a clear message and its
// exit status, no line unaccounted for and no node half-written.
#include <cstdlib>

#include "ProgramRun.h"

namespace tarnwick::e2e {
namespace {

using namespace std::chrono_literals;

std::string shellWord(const std::string& path) { return "'" + path + "'"; }
bool shell(const std::string& command) { return std::system(command.c_str()) == 0; }

// A small tmpfs on `folder` while the object lives; `mounted` is false without the right to mount.
struct SmallDisk {
  SmallDisk(const std::string& mountPoint, const std::string& size)
      : folder(mountPoint),
        mounted(fs::create_directories(mountPoint) &&
                shell("mount -t tmpfs -o size=" + size + " tmpfs " + shellWord(mountPoint) + " 2>/dev/null")) {}
  ~SmallDisk() { if (mounted) shell("umount " + shellWord(folder)); }
  const std::string folder;
  const bool mounted;
};

// The sqlite3 shell holding the write lock of the embedded database for `seconds` after construction.
class DatabaseLock {
 public:
  DatabaseLock(const ProgramFolder& folder, int seconds) : marks_(folder.path() + ".lock") {
    std::string script = "echo .bail on; echo .timeout 30000; echo 'BEGIN EXCLUSIVE;'; echo \"SELECT 'locked';\"; "
                         "sleep " + std::to_string(seconds) + "; echo 'COMMIT;'; echo \"SELECT 'released';\"";
    EXPECT_TRUE(shell("( " + script + " ) | sqlite3 " + shellWord(folder.path("Pelagor.db")) + " >" +
                      shellWord(marks_) + " 2>&1 &"));
    EXPECT_TRUE(waitUntil([&] { return said("locked"); }, 30s)) << readBytes(marks_);
  }
  ~DatabaseLock() {
    EXPECT_TRUE(waitUntil([&] { return said("released"); }, 60s)) << readBytes(marks_);
    fs::remove(marks_);
  }

 private:
  bool said(const std::string& word) const { return readBytes(marks_).find(word) != std::string::npos; }

  std::string marks_;
};

class FaultTest : public ::testing::Test {
 protected:
  FaultTest() { emptyServerDatabase(); }

  std::string input() const { return folder.path("nodes.csv"); }
  void writeInput(const std::vector<NodeLine>& lines) { writeBytes(input(), inputText(lines)); }
  std::vector<std::string> results(const std::string& name = "nodes.out.csv") { return resultLines(folder.path(name)); }

  // Every add in `lines` has its result line; a successful one left a whole
  // node, a refused one nothing. Returns the details of the refused lines.
  std::vector<std::string> checkAdds(const std::vector<NodeLine>& lines, const std::vector<std::string>& written) {
    NodeDatabase db(folder);
    EXPECT_EQ(brokenNodes(db), std::vector<Row>{});
    auto stored = storedNodes(db);
    EXPECT_EQ(written.size(), lines.size());
    std::vector<std::string> refusals;
    for (size_t i = 0; i < std::min(written.size(), lines.size()); ++i) {
      std::string values = quotedLine(lines[i].values());
      bool succeeded = written[i] == values + ",\"Successful\",\"\"";
      EXPECT_TRUE(succeeded || written[i].starts_with(values + ",\"Error\",\"")) << written[i];
      EXPECT_EQ(stored.count(lines[i].serial), succeeded ? 1u : 0u) << written[i];
      if (!succeeded) refusals.push_back(written[i].substr(values.size() + 10));
    }
    EXPECT_EQ(stored.size(), lines.size() - refusals.size());
    return refusals;
  }

  ProgramFolder folder;
};

// Run as nobody: in root's folder (no log folder, unless TARNWICK_HOME names one it may write),
// then in its own with files it may not read or write and paths that name no regular file.
TEST_F(FaultTest, FolderOrFileThatCannotBeOpenedStopsBeforeAnyLine) {
  writeInput(mixedAdds(3));
  fs::permissions(folder.path(), fs::perms(0755));
  RunResult run = folder.runUnprivileged({"/i:nodes.csv"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "ERROR: Cannot create log directory " + folder.path("LOGS") +
                         " - Permission denied\r\nSet TARNWICK_HOME to a folder you may write.\r\n");
  for (const char* name : {"LOGS", "Pelagor.db", "nodes.out.csv"}) EXPECT_FALSE(fs::exists(folder.path(name))) << name;
  platform::test::TempFolder home;
  fs::permissions(home.path(), fs::perms::all);
  {
    platform::test::ScopedVariable dataFolder("TARNWICK_HOME", home.path());
    EXPECT_EQ(folder.runUnprivileged({"/e"}).status, 0);
    EXPECT_TRUE(holds(folder.runUnprivileged({"/e:" + home.path("Pelagor.db")}).out, "it is the node database."));
  }
  for (const char* name : {"LOGS", "Pelagor.db", "NodeExport.csv"}) EXPECT_TRUE(fs::exists(home.path(name))) << name;

  writeBytes(folder.path("secret.csv"), inputText(mixedAdds(3)));
  fs::create_directory(folder.path("folder"));
  ASSERT_TRUE(shell("mkfifo " + shellWord(folder.path("fifo"))));
  writeBytes(folder.path("kept.csv"), "kept");
  folder.lockForUnprivilegedRun(folder.path("kept.csv"));
  fs::permissions(folder.path("secret.csv"), fs::perms::none);
  const std::string mayNotWrite = " for writing.\r\n       Close any applications that may be using this file and try "
                                  "again or use a different filename.";
  // Folders, FIFOs and devices are named as such and never waited on.
  const struct { std::vector<std::string> args; std::string error; } cases[] = {{{"/i:nodes.csv", "/o:missing/results.csv"},
                "Cannot open missing/results.csv for writing.\r\n       Path not found"},
               {{"/i:nodes.csv", "/o:kept.csv"}, "Cannot open kept.csv" + mayNotWrite},
               {{"/e:kept.csv"}, "Cannot open kept.csv" + mayNotWrite},
               {{"/i:nodes.csv", "/o:folder"}, "Cannot write folder: it is a directory."},
               {{"/i:nodes.csv", "/o:fifo"}, "Cannot write fifo: it is a FIFO."},
               {{"/e:fifo"}, "Cannot write fifo: it is a FIFO."},
               {{"/e:/dev/null"}, "Cannot write /dev/null: it is a device."},
               {{"/i:fifo"}, "Cannot read fifo: it is a FIFO."},
               {{"/i:folder"}, "Cannot read folder: it is a directory."},
               {{"/i:secret.csv"}, "Cannot read secret.csv.\r\n       Permission denied"}};
  for (const auto& c : cases) {
    run = folder.runUnprivileged(c.args);
    EXPECT_EQ(run.status, 2) << c.error;
    EXPECT_TRUE(holds(run.out, "ERROR: " + c.error + "\r\n")) << run.out;
    EXPECT_FALSE(holds(run.out, "Processing")) << c.error;
  }
  EXPECT_EQ(readBytes(folder.path("secret.out.csv")), "");
  EXPECT_EQ(readBytes(folder.path("kept.csv")), "kept");
  EXPECT_EQ(NodeDatabase(folder).rows("SELECT SerialNo FROM Node"), std::vector<Row>{});
}

// A console that goes away (its reader closed the pipe) or is closed from the start changes
// nothing but the console: the import runs to its end, and no console text lands in its files.
TEST_F(FaultTest, ConsoleGoneOrClosedLetsTheImportRunToItsEnd) {
  auto lines = mixedAdds(3000);
  writeInput(lines);
  for (const char* console : {"| true", ">&-"}) {
    NodeDatabase(folder).clear();
    fs::remove_all(folder.path("LOGS"));
    ASSERT_TRUE(shell("cd " + shellWord(folder.path()) + " && (./tarnwick /i:nodes.csv; echo $? >status) " + console));
    EXPECT_EQ(readBytes(folder.path("status")), "0\n") << console;
    EXPECT_EQ(checkAdds(lines, results()), std::vector<std::string>{});
    std::string log = folder.logText();
    EXPECT_TRUE(holds(log, "Total nodes effected: 3000 Successful changes: 3000 Errors: 0\r\n")) << console;
    EXPECT_FALSE(holds(log, "Tarnwick Version: 1.01")) << console;
  }
}

// A failed log write is reported once through the log (mirrored to stderr), never the failed report.
TEST_F(FaultTest, LogDiskThatFillsIsReportedOnceAndTheImportGoesOn) {
  SmallDisk disk(folder.path("LOGS"), "64k");
  if (!disk.mounted) GTEST_SKIP() << "no right to mount a small file system here";
  auto lines = mixedAdds(300);
  writeInput(lines);
  ::setenv("TARNWICK_DEBUG_OUTPUT", "1", 1);
  RunResult run = folder.run({"/i:nodes.csv"});
  ::unsetenv("TARNWICK_DEBUG_OUTPUT");
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(holds(run.out, importSummary(300, 0)));
  EXPECT_EQ(checkAdds(lines, results()), std::vector<std::string>{});
  const std::string report = "tarnwick:(logToFile) Err.Number = 61 Err.Description = Disk full\n";
  EXPECT_TRUE(holds(run.err, report));
  EXPECT_FALSE(holds(run.err, report + report)) << "a failed report was reported again";
  EXPECT_TRUE(holds(run.err, "tarnwick:([mdlProcess]importData) Total nodes effected: 300"));
  EXPECT_TRUE(holds(run.err, "ERROR: Cannot write to log file "));
}

// Result lines that do not fit are logged; the console says how many the file lacks.
TEST_F(FaultTest, ResultDiskThatFillsLosesNoLineAndLeavesNodesWhole) {
  SmallDisk disk(folder.path("full"), "8k");
  if (!disk.mounted) GTEST_SKIP() << "no right to mount a small file system here";
  auto lines = mixedAdds(200);
  writeInput(lines);
  RunResult run = folder.run({"/i:nodes.csv", "/o:full/results.csv"});
  EXPECT_EQ(run.status, 1);
  std::string log = folder.logText();
  EXPECT_TRUE(holds(log, "[mdlProcess]writeOutput)     Err.Number = 61 Err.Description = Disk full Line: 5"));
  for (const auto& line : lines) {
    std::string result = resultLine(line.values(), "Successful");
    EXPECT_TRUE(holds(log, "[mdlProcess]writeOutput)     " + result + "\r\n")) << result;
  }
  EXPECT_TRUE(readBytes(folder.path("full/results.csv")).ends_with("\r\n")) << "the file ends in half a line";
  size_t lost = lines.size() - results("full/results.csv").size();
  EXPECT_GT(lost, 0u);
  EXPECT_TRUE(holds(run.out, "****************ERRORS ENCOUNTERED*****************\r\nERROR: " + std::to_string(lost) +
                                 " result lines could not be written to the output file; the log file holds them.\r\n"));
  NodeDatabase db(folder);
  EXPECT_EQ(brokenNodes(db), std::vector<Row>{});
  EXPECT_EQ(storedNodes(db).size(), lines.size());
}

// A lock taken mid-import: an export reads the committed nodes; lines waiting past the busy
// timeout fail whole, later ones get the lock.
TEST_F(FaultTest, DatabaseLockedBeyondTheBusyTimeoutFailsTheWaitingLineAndLetsExportsRead) {
  if (NodeDatabase(folder).engine() != "sqlite3") GTEST_SKIP() << "the lock is taken on the embedded database";
  auto lines = mixedAdds(10000);  // long enough a run for the lock to come while it works
  writeInput(lines);
  auto started = folder.start({"/i:nodes.csv"});
  ASSERT_TRUE(waitUntil([&] { return !results().empty(); }));
  RunResult exported, run;
  {
    DatabaseLock lock(folder, 13);
    std::string committed = NodeDatabase(folder).rows("SELECT COUNT(*) FROM Node")[0][0];
    exported = folder.run({"/e:out.csv"});
    EXPECT_EQ(exported.status, 0) << exported.out;
    EXPECT_TRUE(holds(exported.out, "Total nodes exported: " + committed + "\r\n")) << exported.out;
    run = started.wait();
  }
  EXPECT_EQ(run.status, 1);
  auto refusals = checkAdds(lines, results());
  ASSERT_FALSE(refusals.empty()) << "the import ended before the lock was taken";
  for (const auto& details : refusals) {
    EXPECT_TRUE(details.starts_with("Run-time error -2147467259: ") && holds(details, "database is locked")) << details;
  }
  EXPECT_TRUE(holds(run.out, importSummary(lines.size(), refusals.size())));
}

// A run that waits for the database has its console written within a second.
TEST_F(FaultTest, ConsoleOfARunWaitingForTheDatabaseIsWrittenWithinASecond) {
  if (NodeDatabase(folder).engine() != "sqlite3") GTEST_SKIP() << "the lock is taken on the embedded database";
  writeInput(mixedAdds(1));
  DatabaseLock lock(folder, 6);
  auto started = folder.start({"/i:nodes.csv"});
  EXPECT_TRUE(waitUntil([&] { return holds(started.outputSoFar(), "Processing Line: 2 "); }, 4s));
  EXPECT_FALSE(started.finished());
  EXPECT_EQ(started.wait().status, 0);
}

// The input changed under a stopped import: a removed file is read to its end; one cut
// mid-line beyond the reader's buffer ends there, the cut line refused.
TEST_F(FaultTest, InputRemovedOrCutShortMidRun) {
  auto lines = mixedAdds(3000);
  for (bool cut : {false, true}) {
    SCOPED_TRACE(cut ? "cut short" : "removed");
    writeInput(lines);
    fs::remove(folder.path("nodes.out.csv"));
    NodeDatabase(folder).clear();
    auto started = folder.start({"/i:nodes.csv"});
    ASSERT_TRUE(waitUntil([&] { return !results().empty(); }));
    started.signal("STOP");
    size_t kept = cut ? results().size() + 1500 : lines.size();
    const NodeLine& cutLine = lines[std::min(kept, lines.size() - 1)];
    std::string readPart = quotedLine({cutLine.nodeType, cutLine.action, cutLine.serial, cutLine.name.substr(0, 1)});
    std::vector<NodeLine> whole(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(kept));
    if (cut) fs::resize_file(input(), inputText(whole).size() + readPart.size() - 1);  // without the closing quote
    if (!cut) fs::remove(input());
    started.signal("CONT");
    EXPECT_EQ(started.wait().status, cut ? 1 : 0);
    auto written = results();
    if (cut) {
      ASSERT_EQ(written.size(), kept + 1);
      EXPECT_TRUE(written.back().starts_with(readPart + ",\"Error\",\"Line has no value for column: ")) << written.back();
      written.pop_back();
    }
    EXPECT_EQ(checkAdds(whole, written), std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace tarnwick::e2e
