// Two imports at once on one node database: they wait for each other rather
// than fail, and a serial number both add lands exactly once, as a whole node.
#include <algorithm>
#include <csignal>

#include "ProgramRun.h"

namespace tarnwick::e2e {
namespace {

constexpr int kLinesPerRun = 1000;  // enough that the two runs overlap for most of their time

using Outcome = std::pair<std::string, std::string>;  // result and details

// The outcome of every line of a result file by serial number; none of our values holds a quote or comma.
std::map<std::string, Outcome> outcomes(const std::string& path) {
  std::map<std::string, Outcome> bySerial;
  for (const std::string& line : resultLines(path)) {
    Lines values;
    for (size_t start = 1, end = 0; end != std::string::npos; start = end + 3) {
      end = line.find("\",\"", start);
      values.push_back(line.substr(start, end == std::string::npos ? line.size() - 1 - start : end - start));
    }
    if (values.size() == 21) bySerial[values[2]] = {values[19], values[20]};
  }
  EXPECT_EQ(bySerial.size(), static_cast<size_t>(kLinesPerRun)) << path;
  return bySerial;
}

// An add refused because the other run's node was there: found committed, or turned down by the
// database's unique serial number (a "unique" constraint, or a "duplicate" entry on MariaDB).
bool isRefusedAdd(const Outcome& outcome) {
  std::string details = outcome.second;
  std::transform(details.begin(), details.end(), details.begin(), [](unsigned char c) { return std::tolower(c); });
  return outcome.first == "Error" && (details == "node with this serial number already exists in node table" ||
                                      (details.starts_with("run-time error -2147467259: ") &&
                                       (holds(details, "unique") || holds(details, "duplicate"))));
}

class ParallelRunTest : public ::testing::Test {
 protected:
  ParallelRunTest() : db(folder) { db.clear(); }
  ProgramFolder folder;
  NodeDatabase db;
};

// Both runs first add serials 1 to 500, run a each as an Octel node and run b
// as a Veltro node, so a node mixed of both runs' rows cannot pass as whole;
// then each adds serial numbers of its own. Neither meets a locked database.
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
  std::vector<RunResult> runs = {startedA.wait(), startedB.wait()};
  auto a = outcomes(folder.path("a.out.csv")), b = outcomes(folder.path("b.out.csv"));
  std::map<std::string, std::string> stored;
  for (const auto& row : db.rows("SELECT SerialNo, Name FROM Node")) stored[row[0]] = row[1];
  std::string wrong;
  bool errorsIn[2] = {false, false};
  for (int serial = 1; serial <= kLinesPerRun * 3 / 2; ++serial) {
    std::string key = std::to_string(serial);
    Outcome ofA = a.count(key) ? a[key] : Outcome{"Error", "no line"},
            ofB = b.count(key) ? b[key] : Outcome{"Error", "no line"};
    errorsIn[0] |= a.count(key) && ofA.first == "Error";
    errorsIn[1] |= b.count(key) && ofB.first == "Error";
    bool shared = a.count(key) && b.count(key);
    bool aLanded = ofA.first == "Successful" && (!shared || isRefusedAdd(ofB));
    bool bLanded = ofB.first == "Successful" && (!shared || isRefusedAdd(ofA));
    if ((!aLanded && !bLanded) || stored[key] != (aLanded ? "a " : "b ") + key) {
      wrong += key + ": a " + ofA.first + " " + ofA.second + ", b " + ofB.first + " " + ofB.second + ", stored " +
               stored[key] + "\n";
    }
  }
  EXPECT_EQ(wrong, "");
  EXPECT_EQ(stored.size(), kLinesPerRun * 3u / 2);
  EXPECT_EQ((std::vector<int>{runs[0].status, runs[1].status}), (std::vector<int>{errorsIn[0], errorsIn[1]}));
  EXPECT_EQ(brokenNodes(db.connection), std::vector<Row>{});
  std::string everything = folder.logText() + readBytes(folder.path("a.out.csv")) + readBytes(folder.path("b.out.csv"));
  for (const auto& run : runs) everything += run.out + run.err;
  EXPECT_FALSE(holds(everything, "locked"));
}

// While an import writes its result file, a second import or an export given that file is
// refused at once and changes nothing; the first run's file comes out whole.
TEST_F(ParallelRunTest, FileThatAnotherRunWritesIsRefused) {
  const int lines = kLinesPerRun * 20;
  writeBytes(folder.path("a.csv"), inputText(mixedAdds(lines)));
  StartedRun first = folder.start({"/i:a.csv"});
  ASSERT_TRUE(waitUntil([&] { return !resultLines(folder.path("a.out.csv")).empty(); }));
  first.signal(SIGSTOP);
  for (const auto& [args, shown] :
       {std::pair<Lines, std::string>{{"/i:a.csv"}, "a.out.csv"}, {{"/e:a.out.csv"}, "a.out.csv"}}) {
    RunResult run = folder.start(args).wait(std::chrono::seconds(30));
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
