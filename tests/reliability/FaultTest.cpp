// Faults a real run meets: a log folder it may not create, a result file it
// cannot open, full disks under the log and the result file, a database
// another process keeps locked, and an input file that goes away, shrinks
// or may not be read. Each must end with a clear message and the documented
// exit status, and leave no line unaccounted for and no node half-written.
#include <cstdlib>

#include "NodeInput.h"
#include "StoredNodes.h"
#include "e2e/ProgramRun.h"

namespace tarnwick::reliability {
namespace {

using namespace std::chrono_literals;
using e2e::NodeDatabase;
using e2e::ProgramFolder;
using e2e::readBytes;
using e2e::RunResult;
using e2e::waitUntil;
using e2e::writeBytes;
namespace fs = e2e::fs;

const std::string kFewerValues = "Line has fewer values than the header";

std::string shellWord(const std::string& path) { return "'" + path + "'"; }

// A small memory file system mounted on `folder` for the life of the object.
// Mounting needs root; where it is refused, mounted() is false.
class SmallDisk {
 public:
  SmallDisk(const std::string& folder, const std::string& size) : folder_(folder) {
    fs::create_directories(folder);
    std::string command = "mount -t tmpfs -o size=" + size + " tmpfs " + shellWord(folder) + " 2>/dev/null";
    mounted_ = std::system(command.c_str()) == 0;
  }
  ~SmallDisk() {
    if (mounted_) (void)std::system(("umount " + shellWord(folder_)).c_str());
  }
  bool mounted() const { return mounted_; }

 private:
  std::string folder_;
  bool mounted_ = false;
};

// Another process, the sqlite3 shell, holding the write lock of the folder's
// embedded database for `seconds` from the moment the constructor returns.
class DatabaseLock {
 public:
  DatabaseLock(const ProgramFolder& folder, int seconds) : marks_(folder.path() + ".lock") {
    std::string script = "echo .bail on; echo .timeout 30000; echo 'BEGIN EXCLUSIVE;'; echo \"SELECT 'locked';\"; "
                         "sleep " + std::to_string(seconds) + "; echo 'COMMIT;'; echo \"SELECT 'released';\"";
    std::string command =
        "( " + script + " ) | sqlite3 " + shellWord(folder.path("Pelagor.db")) + " >" + shellWord(marks_) + " 2>&1 &";
    EXPECT_EQ(std::system(command.c_str()), 0);
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

// Mirrors every log call of the program's runs to their standard error.
class DebugOutput {
 public:
  DebugOutput() { ::setenv("TARNWICK_DEBUG_OUTPUT", "1", 1); }
  ~DebugOutput() { ::unsetenv("TARNWICK_DEBUG_OUTPUT"); }
};

struct Outcomes {
  size_t successes = 0;
  std::vector<std::string> errorDetails;
};

class FaultTest : public ::testing::Test {
 protected:
  FaultTest() { e2e::emptyServerDatabase(); }

  bool embeddedDatabase() {
    NodeDatabase db(folder);
    return db.engine() == "sqlite3";
  }

  void writeInput(const std::vector<NodeLine>& lines) { writeBytes(folder.path("nodes.csv"), inputText(lines)); }

  // The complete data lines of a result file.
  std::vector<std::string> resultLines(const std::string& name = "nodes.out.csv") {
    return dataLines(readBytes(folder.path(name)));
  }

  bool resultFileHasDataLine() { return resultLines().size() > 0; }

  // Every add in `lines` has its result line; a successful one left a whole
  // node, a failed one nothing; no other node exists.
  Outcomes checkAdds(const std::vector<NodeLine>& lines, const std::vector<std::string>& results) {
    NodeDatabase db(folder);
    Tables tables = readTables(db);
    EXPECT_EQ(tables.defects, std::vector<std::string>{});
    EXPECT_EQ(results.size(), lines.size());
    Outcomes outcomes;
    for (size_t i = 0; i < std::min(results.size(), lines.size()); ++i) {
      std::string values = quotedLine(lines[i].values());
      bool stored = tables.nodes.count(lines[i].serial) > 0;
      if (results[i] == values + ",\"Successful\",\"\"") {
        ++outcomes.successes;
        EXPECT_TRUE(stored) << "reported but not stored: " << results[i];
      } else {
        std::string errorStart = values + ",\"Error\",\"";
        EXPECT_EQ(results[i].rfind(errorStart, 0), 0u) << results[i];
        size_t detailsLength = results[i].size() - errorStart.size() - 1;  // without the closing quote
        outcomes.errorDetails.push_back(results[i].substr(errorStart.size(), detailsLength));
        EXPECT_FALSE(stored) << "refused but stored: " << results[i];
      }
    }
    EXPECT_EQ(tables.nodes.size(), outcomes.successes);
    return outcomes;
  }

  ProgramFolder folder;
};

TEST_F(FaultTest, LogFolderThatMayNotBeCreatedStopsBeforeAnyJob) {
  writeInput(mixedAdds(2));
  fs::permissions(folder.path(), fs::perms(0755));  // root's folder: nobody may not add to it
  RunResult run = folder.runUnprivileged({"/i:nodes.csv"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "ERROR: Cannot create log directory " + folder.path("LOGS") + " - Permission denied\r\n");
  for (const char* name : {"LOGS", "Pelagor.db", "nodes.out.csv"}) EXPECT_FALSE(fs::exists(folder.path(name))) << name;
}

TEST_F(FaultTest, ResultFileThatCannotBeOpenedStopsBeforeAnyLine) {
  fs::create_directory(folder.path("folder"));
  writeInput(mixedAdds(3));
  const struct {
    std::string output;
    std::string description;
  } cases[] = {{"missing/results.csv", "Path not found"}, {"folder", "Path/File access error"}};
  for (const auto& c : cases) {
    RunResult run = folder.run({"/i:nodes.csv", "/o:" + c.output});
    EXPECT_EQ(run.status, 2) << c.output;
    EXPECT_EQ(lastLines(run.out, 2), (std::vector<std::string>{"ERROR: Cannot open " + c.output + " for writing.",
                                                               "       " + c.description}));
    EXPECT_EQ(run.out.find("Processing"), std::string::npos) << c.output;
  }
  NodeDatabase db(folder);
  EXPECT_EQ(db.rows("SELECT SerialNo FROM Node"), std::vector<e2e::Row>{});
}

TEST_F(FaultTest, InputThatMayNotBeReadStopsBeforeAnyLine) {
  writeInput(mixedAdds(2));
  folder.lockForUnprivilegedRun(folder.path("nodes.csv"));
  fs::permissions(folder.path("nodes.csv"), fs::perms::none);
  RunResult run = folder.runUnprivileged({"/i:nodes.csv"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(lastLines(run.out, 2), (std::vector<std::string>{"ERROR: Cannot read " + folder.path("nodes.csv") + ".",
                                                             "       Permission denied"}));
  EXPECT_EQ(readBytes(folder.path("nodes.out.csv")), "");
  NodeDatabase db(folder);
  EXPECT_EQ(db.rows("SELECT SerialNo FROM Node"), std::vector<e2e::Row>{});
}

// Every failed log write is reported once through the log itself; the
// report, failing in turn, is never reported again.
TEST_F(FaultTest, LogDiskThatFillsIsReportedOnceAndTheImportGoesOn) {
  SmallDisk disk(folder.path("LOGS"), "64k");
  if (!disk.mounted()) GTEST_SKIP() << "no right to mount a small file system here";
  auto lines = mixedAdds(300);
  writeInput(lines);
  DebugOutput debug;
  RunResult run = folder.run({"/i:nodes.csv"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("Total nodes effected: 300 Successful changes: 300 Errors: 0\r\n"), std::string::npos);
  EXPECT_EQ(checkAdds(lines, resultLines()).successes, 300u);
  const std::string report = "tarnwick:(logToFile) Err.Number = 61 Err.Description = Disk full";
  std::string previous;
  size_t reports = 0;
  size_t start = 0;
  for (size_t end; (end = run.err.find('\n', start)) != std::string::npos; start = end + 1) {
    std::string line = run.err.substr(start, end - start);
    if (line == report) {
      ++reports;
      EXPECT_NE(previous, report) << "a failed report was reported again";
    }
    previous = line;
  }
  EXPECT_GT(reports, 0u);
  EXPECT_NE(run.err.find("tarnwick:([mdlProcess]importData) Total nodes effected: 300"), std::string::npos);
  EXPECT_NE(run.err.find("ERROR: Cannot write to log file "), std::string::npos);
  EXPECT_EQ(folder.logText().substr(0, 3), "\r\n*");
}

// A result line that does not fit on the disk is logged with the failure;
// the import goes on, so the log keeps the result of every line, and the
// console says how many result lines the file lacks.
TEST_F(FaultTest, ResultDiskThatFillsLosesNoLineAndLeavesNodesWhole) {
  SmallDisk disk(folder.path("full"), "8k");
  if (!disk.mounted()) GTEST_SKIP() << "no right to mount a small file system here";
  auto lines = mixedAdds(200);
  writeInput(lines);
  RunResult run = folder.run({"/i:nodes.csv", "/o:full/results.csv"});
  EXPECT_EQ(run.status, 1);
  std::string results = readBytes(folder.path("full/results.csv"));
  std::string log = folder.logText();
  EXPECT_NE(log.find("[mdlProcess]writeOutput)     Err.Number = 61 Err.Description = Disk full Line: 5"),
            std::string::npos);
  for (const auto& line : lines) {
    std::string result = resultLine(line.values(), "Successful");
    EXPECT_NE(log.find("[mdlProcess]writeOutput)     " + result + "\r\n"), std::string::npos) << result;
  }
  size_t written = resultLines("full/results.csv").size();
  EXPECT_LT(written, lines.size());
  EXPECT_EQ(results.substr(results.size() - 2), "\r\n") << "the file ends in half a line";
  EXPECT_NE(run.out.find("****************ERRORS ENCOUNTERED*****************\r\nERROR: " +
                         std::to_string(lines.size() - written) +
                         " result lines could not be written to the output file; the log file holds them.\r\n"),
            std::string::npos);
  NodeDatabase db(folder);
  Tables tables = readTables(db);
  EXPECT_EQ(tables.defects, std::vector<std::string>{});
  EXPECT_EQ(tables.nodes.size(), lines.size());
}

// The lock is taken while the import runs: the line that waits longer than
// the busy timeout fails as a whole, the next one gets the lock in time.
TEST_F(FaultTest, DatabaseLockedBeyondTheBusyTimeoutFailsTheWaitingLineOnly) {
  if (!embeddedDatabase()) GTEST_SKIP() << "the lock is taken on the embedded database";
  auto lines = mixedAdds(10000);  // long enough a run for the lock to come while it works
  writeInput(lines);
  auto started = folder.start({"/i:nodes.csv"});
  ASSERT_TRUE(waitUntil([&] { return fs::exists(folder.path("nodes.out.csv")); }));
  RunResult run;
  {
    DatabaseLock lock(folder, 13);
    run = started.wait();
  }
  EXPECT_EQ(run.status, 1);
  Outcomes outcomes = checkAdds(lines, resultLines());
  ASSERT_FALSE(outcomes.errorDetails.empty()) << "the import ended before the lock was taken";
  for (const auto& details : outcomes.errorDetails) {
    EXPECT_EQ(details.rfind("Run-time error -2147467259: ", 0), 0u) << details;
    EXPECT_NE(details.find("database is locked"), std::string::npos) << details;
  }
  EXPECT_NE(run.out.find("Total nodes effected: 10000 Successful changes: " + std::to_string(outcomes.successes) +
                         " Errors: " + std::to_string(outcomes.errorDetails.size()) + "\r\n"),
            std::string::npos);
}

// Opening the database takes no write lock, so a writer that holds the
// database for longer than the busy timeout does not keep an export from
// reading what was committed.
TEST_F(FaultTest, ExportReadsWhileAnotherProgramHoldsTheWriteLock) {
  if (!embeddedDatabase()) GTEST_SKIP() << "the lock is taken on the embedded database";
  writeInput(mixedAdds(2));
  ASSERT_EQ(folder.run({"/i:nodes.csv"}).status, 0);
  RunResult run;
  {
    DatabaseLock lock(folder, 12);
    run = folder.run({"/e:out.csv"});
  }
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("Total nodes exported: 2\r\n"), std::string::npos) << run.out;
}

// Removing a file leaves the reader's open descriptor working: the run reads
// the file it started with to the end.
TEST_F(FaultTest, InputDeletedMidRunIsReadToTheEnd) {
  auto lines = mixedAdds(2000);
  writeInput(lines);
  auto started = folder.startSignallable({"/i:nodes.csv"});
  ASSERT_TRUE(waitUntil([&] { return resultFileHasDataLine(); }));
  started.signal("STOP");
  fs::remove(folder.path("nodes.csv"));
  started.signal("CONT");
  RunResult run = started.run.wait();
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(checkAdds(lines, resultLines()).successes, lines.size());
}

// An input file cut short while it is read ends where it was cut: the lines
// before the cut are imported, a line cut before its last value is refused,
// and nothing after the cut is read.
class InputCutTest : public FaultTest {
 protected:
  // Stops the import after its first result line, cuts the input `kAhead`
  // lines beyond the last result (further than the reader buffers), keeping
  // `bytesOfCutLine` of the line there, and lets the import finish. Returns
  // the number of lines kept whole.
  size_t importCutShort(const std::vector<NodeLine>& lines,
                        const std::function<size_t(const NodeLine&)>& bytesOfCutLine) {
    writeInput(lines);
    auto started = folder.startSignallable({"/i:nodes.csv"});
    EXPECT_TRUE(waitUntil([&] { return resultFileHasDataLine(); }));
    started.signal("STOP");
    size_t kept = resultLines().size() + kAhead;
    EXPECT_LT(kept, lines.size());
    size_t cut = quotedLine(columnNames()).size() + 2 + bytesOfCutLine(lines[kept]);
    for (size_t i = 0; i < kept; ++i) cut += quotedLine(lines[i].values()).size() + 2;
    fs::resize_file(folder.path("nodes.csv"), cut);
    started.signal("CONT");
    run = started.run.wait();
    return kept;
  }

  static constexpr size_t kAhead = 1500;
  RunResult run;
};

TEST_F(InputCutTest, CutBetweenLinesImportsTheLinesBeforeIt) {
  auto lines = mixedAdds(3000);
  size_t kept = importCutShort(lines, [](const NodeLine&) { return size_t{0}; });
  EXPECT_EQ(run.status, 0);
  std::vector<NodeLine> before(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(kept));
  EXPECT_EQ(checkAdds(before, resultLines()).successes, kept);
}

TEST_F(InputCutTest, LineCutInsideAValueIsRefusedAsShort) {
  auto lines = mixedAdds(3000);
  // The cut leaves the line's first three values, a comma, the quote and the
  // first letter of its name.
  size_t kept = importCutShort(lines, [](const NodeLine& line) {
    return quotedLine({line.nodeType, line.action, line.serial}).size() + 3;
  });
  EXPECT_EQ(run.status, 1);
  auto results = resultLines();
  ASSERT_EQ(results.size(), kept + 1);
  const NodeLine& cutLine = lines[kept];
  std::string readPart = quotedLine({cutLine.nodeType, cutLine.action, cutLine.serial, cutLine.name.substr(0, 1)});
  EXPECT_EQ(results.back(), readPart + ",\"Error\",\"" + kFewerValues + "\"");
  results.pop_back();
  std::vector<NodeLine> before(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(kept));
  EXPECT_EQ(checkAdds(before, results).successes, kept);
}

}  // namespace
}  // namespace tarnwick::reliability
