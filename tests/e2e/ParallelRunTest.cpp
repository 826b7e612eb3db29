// Two imports at once on one node database: they wait for each other rather than fail, and a serial number both add
// lands exactly once, as a whole node.
#include <csignal>

#include "ProgramRun.h"

namespace tarnwick::e2e {
namespace {

constexpr int kLinesPerRun = 1000;  // enough that the two runs overlap for most of their time

class ParallelRunTest : public NodeFolderTest {};

// Both runs first add serials 1 to 500, run a each as an Octel node and run b as a Veltro node, so a node mixed of both
// runs' rows cannot pass as whole; then each adds serial numbers of its own. Each stored node is one its run reports
// as added, the other run's line for it a refused add (found committed, or turned down by the unique serial number);
// neither meets a locked database.
TEST_F(ParallelRunTest, SharedSerialNumbersLandOnceAndOwnSerialNumbersAllLand) {
  for (const std::string run : {"a", "b"}) {
    std::vector<Lines> lines;
    for (int i = 1; i <= kLinesPerRun; ++i) {
      std::string key = std::to_string(run == "b" && i > kLinesPerRun / 2 ? i + kLinesPerRun / 2 : i);
      lines.push_back(((i % 2 == 1) == (run == "a") ? octel : veltro)("A", key, {{"Name", run + " " + key}}));
    }
    writeBytes(folder.path(run + ".csv"), inputText(lines));
  }
  StartedRun startedA = folder.start({"/i:a.csv"}), startedB = folder.start({"/i:b.csv"});
  const RunResult runs[] = {startedA.wait(), startedB.wait()};
  std::map<std::string, size_t> storedBy;  // nodes stored by run a and by run b
  for (const auto& row : db.rows("SELECT Name FROM Node")) ++storedBy[row[0].substr(0, 1)];
  EXPECT_EQ(storedBy["a"] + storedBy["b"], kLinesPerRun * 3u / 2);
  EXPECT_EQ(brokenNodes(db.connection), std::vector<Row>{});
  std::string everything = folder.logText();
  for (int i : {0, 1}) {
    const std::string run = i ? "b" : "a";
    size_t added = 0, refused = 0;
    for (const std::string& line : resultLines(folder.path(run + ".out.csv"))) {
      added += line.ends_with(",\"Successful\",\"\"");
      refused += holds(line, "\"Node with this serial number already exists in Node Table\"") ||
                 (holds(line, "Run-time error -2147467259: ") &&
                  (holds(line, "UNIQUE") || holds(line, "unique") || holds(line, "Duplicate")));
    }
    EXPECT_EQ(added, storedBy[run]) << run;
    EXPECT_EQ(added + refused, static_cast<size_t>(kLinesPerRun)) << run;
    EXPECT_EQ(runs[i].status, refused ? 1 : 0);
    everything += readBytes(folder.path(run + ".out.csv")) + runs[i].out + runs[i].err;
  }
  EXPECT_FALSE(holds(everything, "locked"));
}

// While an import writes its result file, a second import or an export given that file is refused at once and changes
// nothing; the first run's file comes out whole.
TEST_F(ParallelRunTest, FileThatAnotherRunWritesIsRefused) {
  const int lines = kLinesPerRun * 20;
  writeBytes(folder.path("a.csv"), inputText(mixedAdds(lines)));
  StartedRun first = folder.start({"/i:a.csv"});
  ASSERT_TRUE(waitUntil([&] { return !resultLines(folder.path("a.out.csv")).empty(); }));
  first.signal(SIGSTOP);
  for (const auto& [args, shown] :
       {std::pair<Lines, std::string>{{"/i:a.csv"}, "a.out.csv"}, {{"/e:a.out.csv"}, "a.out.csv"}}) {
    RunResult run = folder.run(args);
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.out.ends_with("ERROR: " + shown + " is being written by another run.\r\n")) << run.out;
  }
  first.signal(SIGCONT);
  EXPECT_TRUE(holds(first.wait().out, importSummary(lines, 0)));
  EXPECT_EQ(resultLines(folder.path("a.out.csv")).size(), static_cast<size_t>(lines));
  EXPECT_EQ(db.rows("SELECT COUNT(*) FROM Node"), std::vector<Row>{{std::to_string(lines)}});
}

}  // namespace
}  // namespace tarnwick::e2e
