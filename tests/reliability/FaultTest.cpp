// Faults a real run meets: a console that goes away or waits, a full disk. Each ends with a clear message and its exit
// status, no line unaccounted for and no node half-written.
#include <cstdlib>

#include "ProgramRun.h"

namespace tarnwick::e2e {
namespace {

bool shell(const std::string& command) { return std::system(command.c_str()) == 0; }

class FaultTest : public ::testing::Test {
 protected:
  FaultTest() { emptyServerDatabase(); }

  // Every add of `lines` left a whole node.
  void checkEveryNodeWhole() {
    NodeDatabase db(folder);
    EXPECT_EQ(brokenNodes(db.connection), std::vector<Row>{});
    EXPECT_EQ(storedNodes(db.connection).size(), lines.size());
  }

  std::vector<Lines> lines = mixedAdds(200);
  ProgramFolder folder;
};

// A console that goes away (its reader closed the pipe) or is closed from the start changes nothing but the console:
// the import runs to its end, and no console text lands in its files.
TEST_F(FaultTest, ConsoleGoneOrClosedLetsTheImportRunToItsEnd) {
  lines = mixedAdds(3000);
  writeBytes(folder.path("nodes.csv"), inputText(lines));
  Lines expected;
  for (const auto& line : lines) expected.push_back(resultLine(line, "Successful"));
  for (const char* console : {"| true", ">&-"}) {
    NodeDatabase(folder).clear();
    fs::remove_all(folder.path("LOGS"));
    ASSERT_TRUE(shell("cd '" + folder.path() + "' && (./tarnwick /i:nodes.csv; echo $? >status) " + console));
    EXPECT_EQ(readBytes(folder.path("status")), "0\n") << console;
    EXPECT_EQ(resultLines(folder.path("nodes.out.csv")), expected);
    checkEveryNodeWhole();
    EXPECT_TRUE(holds(folder.logText(), importSummary(3000, 0))) << console;
    EXPECT_FALSE(holds(folder.logText(), "Tarnwick Version: 1.01")) << console;
  }
}

// Result lines that do not fit are logged; the console says how many the file lacks.
TEST_F(FaultTest, ResultDiskThatFillsLosesNoLineAndLeavesNodesWhole) {
  const std::string disk = folder.path("full");
  fs::create_directory(disk);
  if (!shell("mount -t tmpfs -o size=8k tmpfs '" + disk + "' 2>/dev/null")) GTEST_SKIP() << "no right to mount";
  writeBytes(folder.path("nodes.csv"), inputText(lines));
  RunResult run = folder.run({"/i:nodes.csv", "/o:full/results.csv"});
  const std::string written = readBytes(disk + "/results.csv"), log = folder.logText();
  shell("umount '" + disk + "'");
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(holds(log, "[mdlProcess]writeOutput)     Err.Number = 61 Err.Description = Disk full Line: 5"));
  for (const auto& line : lines) {
    EXPECT_TRUE(holds(log, "[mdlProcess]writeOutput)     " + resultLine(line, "Successful") + "\r\n")) << line[2];
  }
  EXPECT_TRUE(written.ends_with("\r\n")) << "the file ends in half a line";
  const size_t lost = lines.size() + 1 - crlfLines(written).size();
  EXPECT_GT(lost, 0u);
  EXPECT_TRUE(
      holds(run.out, "****************ERRORS ENCOUNTERED*****************\r\nERROR: " + std::to_string(lost) +
                         " result lines could not be written to the output file; the log file holds them.\r\n"));
  checkEveryNodeWhole();
}

// A run that waits, here for more input, has its console written within a second.
TEST_F(FaultTest, ConsoleOfAWaitingRunIsWrittenWithinASecond) {
  writeBytes(folder.path("nodes.csv"), inputText({veltro("A", "1")}));
  ASSERT_TRUE(shell("cd '" + folder.path() + "' && mkfifo in.pipe && ((cat nodes.csv; sleep 6) >in.pipe &)"));
  StartedRun started = folder.start({"-i", "-"}, {.input = "in.pipe"});
  EXPECT_TRUE(waitUntil([&] { return holds(started.outputSoFar(), "Output file: stdin.out.csv\r\n"); },
                        std::chrono::seconds(4)));
  EXPECT_EQ(started.wait().status, 0);
}

}  // namespace
}  // namespace tarnwick::e2e
