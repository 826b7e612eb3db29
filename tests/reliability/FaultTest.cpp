// Faults a real run meets: a console that goes away, full disks, a locked
// database, an input that goes away. Each ends with a clear message and its
// exit status, no line unaccounted for and no node half-written. (Files and
// folders that keep a run from starting are RunSequenceTest's.)
#include <csignal>
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
  ~SmallDisk() {
    if (mounted) shell("umount " + shellWord(folder));
  }
  const std::string folder;
  const bool mounted;
};

// The sqlite3 shell holding the write lock of the embedded database for `seconds` after construction.
class DatabaseLock {
 public:
  DatabaseLock(const ProgramFolder& folder, int seconds) : marks_(folder.path() + ".lock") {
    std::string script =
        "echo .bail on; echo .timeout 30000; echo 'BEGIN EXCLUSIVE;'; echo \"SELECT 'locked';\"; "
        "sleep " +
        std::to_string(seconds) + "; echo 'COMMIT;'; echo \"SELECT 'released';\"";
    EXPECT_TRUE(shell("( " + script + " ) | sqlite3 " + shellWord(folder.path("Pelagor.db")) + " >" +
                      shellWord(marks_) + " 2>&1 &"));
    EXPECT_TRUE(waitUntil([&] { return said("locked"); }, 30s)) << readBytes(marks_);
  }
  ~DatabaseLock() {
    EXPECT_TRUE(waitUntil([&] { return said("released"); }, 60s)) << readBytes(marks_);
    fs::remove(marks_);
  }

 private:
  bool said(const std::string& word) const { return holds(readBytes(marks_), word); }
  std::string marks_;
};

class FaultTest : public ::testing::Test {
 protected:
  FaultTest() { emptyServerDatabase(); }

  std::string input() const { return folder.path("nodes.csv"); }
  Lines results(const std::string& name = "nodes.out.csv") { return resultLines(folder.path(name)); }

  // Every add in `lines` has its result line; a successful one left a whole
  // node, a refused one nothing. Returns the details of the refused lines.
  Lines checkAdds(const std::vector<Lines>& lines, const Lines& written) {
    NodeDatabase db(folder);
    EXPECT_EQ(brokenNodes(db.connection), std::vector<Row>{});
    auto stored = storedNodes(db.connection);
    EXPECT_EQ(written.size(), lines.size());
    Lines refusals;
    for (size_t i = 0; i < std::min(written.size(), lines.size()); ++i) {
      std::string values = quotedLine(lines[i]);
      bool succeeded = written[i] == values + ",\"Successful\",\"\"";
      EXPECT_TRUE(succeeded || written[i].starts_with(values + ",\"Error\",\"")) << written[i];
      EXPECT_EQ(stored.count(cell(lines[i], "SerialNo")), succeeded ? 1u : 0u) << written[i];
      if (!succeeded) refusals.push_back(written[i].substr(values.size() + 10));
    }
    EXPECT_EQ(stored.size(), lines.size() - refusals.size());
    return refusals;
  }

  ProgramFolder folder;
};

// A console that goes away (its reader closed the pipe) or is closed from the start changes
// nothing but the console: the import runs to its end, and no console text lands in its files.
TEST_F(FaultTest, ConsoleGoneOrClosedLetsTheImportRunToItsEnd) {
  auto lines = mixedAdds(3000);
  writeBytes(input(), inputText(lines));
  for (const char* console : {"| true", ">&-"}) {
    NodeDatabase(folder).clear();
    fs::remove_all(folder.path("LOGS"));
    ASSERT_TRUE(shell("cd " + shellWord(folder.path()) + " && (./tarnwick /i:nodes.csv; echo $? >status) " + console));
    EXPECT_EQ(readBytes(folder.path("status")), "0\n") << console;
    EXPECT_EQ(checkAdds(lines, results()), Lines{});
    std::string log = folder.logText();
    EXPECT_TRUE(holds(log, importSummary(3000, 0))) << console;
    EXPECT_FALSE(holds(log, "Tarnwick Version: 1.01")) << console;
  }
}

// Result lines that do not fit are logged; the console says how many the file lacks.
TEST_F(FaultTest, ResultDiskThatFillsLosesNoLineAndLeavesNodesWhole) {
  SmallDisk disk(folder.path("full"), "8k");
  if (!disk.mounted) GTEST_SKIP() << "no right to mount a small file system here";
  auto lines = mixedAdds(200);
  writeBytes(input(), inputText(lines));
  RunResult run = folder.run({"/i:nodes.csv", "/o:full/results.csv"});
  EXPECT_EQ(run.status, 1);
  std::string log = folder.logText();
  EXPECT_TRUE(holds(log, "[mdlProcess]writeOutput)     Err.Number = 61 Err.Description = Disk full Line: 5"));
  for (const auto& line : lines) {
    EXPECT_TRUE(holds(log, "[mdlProcess]writeOutput)     " + resultLine(line, "Successful") + "\r\n"))
        << quotedLine(line);
  }
  EXPECT_TRUE(readBytes(folder.path("full/results.csv")).ends_with("\r\n")) << "the file ends in half a line";
  size_t lost = lines.size() - results("full/results.csv").size();
  EXPECT_GT(lost, 0u);
  EXPECT_TRUE(
      holds(run.out, "****************ERRORS ENCOUNTERED*****************\r\nERROR: " + std::to_string(lost) +
                         " result lines could not be written to the output file; the log file holds them.\r\n"));
  NodeDatabase db(folder);
  EXPECT_EQ(brokenNodes(db.connection), std::vector<Row>{});
  EXPECT_EQ(storedNodes(db.connection).size(), lines.size());
}

// A lock taken mid-import: an export reads the committed nodes; lines waiting past the busy
// timeout fail whole, later ones get the lock.
TEST_F(FaultTest, DatabaseLockedBeyondTheBusyTimeoutFailsTheWaitingLineAndLetsExportsRead) {
  if (NodeDatabase(folder).connection.engine() != "sqlite3")
    GTEST_SKIP() << "the lock is taken on the embedded database";
  auto lines = mixedAdds(10000);  // long enough a run for the lock to come while it works
  writeBytes(input(), inputText(lines));
  StartedRun started = folder.start({"/i:nodes.csv"});
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
  Lines refusals = checkAdds(lines, results());
  ASSERT_FALSE(refusals.empty()) << "the import ended before the lock was taken";
  for (const auto& details : refusals) {
    EXPECT_TRUE(details.starts_with("Run-time error -2147467259: ") && holds(details, "database is locked")) << details;
  }
  EXPECT_TRUE(holds(run.out, importSummary(lines.size(), refusals.size())));
}

// An input cut short mid-line, beyond the reader's buffer, under a stopped import ends there, the cut line refused.
TEST_F(FaultTest, InputCutShortMidRun) {
  auto lines = mixedAdds(3000);
  writeBytes(input(), inputText(lines));
  StartedRun started = folder.start({"/i:nodes.csv"});
  ASSERT_TRUE(waitUntil([&] { return !results().empty(); }));
  started.signal(SIGSTOP);
  const size_t kept = results().size() + 1500;
  const Lines& cutLine = lines[kept];
  const std::string readPart = quotedLine({cutLine[0], cutLine[1], cutLine[2], cutLine[3].substr(0, 1)});
  const std::vector<Lines> whole(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(kept));
  fs::resize_file(input(), inputText(whole).size() + readPart.size() - 1);  // without the closing quote
  started.signal(SIGCONT);
  EXPECT_EQ(started.wait().status, 1);
  Lines written = results();
  ASSERT_EQ(written.size(), kept + 1);
  EXPECT_TRUE(written.back().starts_with(readPart + ",\"Error\",\"Line has no value for column: ")) << written.back();
  written.pop_back();
  EXPECT_EQ(checkAdds(whole, written), Lines{});
}

}  // namespace
}  // namespace tarnwick::e2e
