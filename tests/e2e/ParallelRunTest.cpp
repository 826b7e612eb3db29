// Two imports at once on one node database: they wait for each other rather
// than fail, and a serial number both add lands exactly once, as a whole node.
#include <algorithm>
#include <map>

#include "ProgramRun.h"

namespace tarnwick::e2e {
namespace {

// Enough adds that the two runs overlap for most of their time.
constexpr int kLinesPerRun = 1000;

// Result and details of a result line's add; none of our values holds a quote or comma.
struct Outcome {
  std::string result, details;
};

// An add refused because the other run's node was there: found committed,
// or turned down by the database's unique serial number (a "unique"
// constraint, or a "duplicate" entry on MariaDB).
bool isRefusedAdd(const Outcome& outcome) {
  if (outcome.result != "Error") return false;
  if (outcome.details == "Node with this serial number already exists in Node Table") return true;
  std::string details = outcome.details;
  std::transform(details.begin(), details.end(), details.begin(), [](unsigned char c) { return std::tolower(c); });
  return details.rfind("run-time error -2147467259: ", 0) == 0 && (holds(details, "unique") || holds(details, "duplicate"));
}

class ParallelRunTest : public ::testing::Test {
 protected:
  ParallelRunTest() : db(folder) { db.clear(); }

  // Writes <run>.csv: adds of `serials`, Octel and Veltro nodes by turns
  // (Octel first when `octelFirst`), each named after the run ("a 17").
  void writeAdds(const std::string& run, const std::vector<int>& serials, bool octelFirst) {
    std::vector<NodeLine> lines;
    for (size_t i = 0; i < serials.size(); ++i) {
      std::string key = std::to_string(serials[i]);
      lines.push_back(((i % 2 == 0) == octelFirst ? octelLine : veltroLine)("A", key, run + " " + key));
    }
    writeBytes(folder.path(run + ".csv"), inputText(lines));
  }

  // The outcome of every line of <run>.out.csv by serial number.
  std::map<std::string, Outcome> outcomes(const std::string& run) {
    std::map<std::string, Outcome> bySerial;
    Lines lines = crlfLines(readBytes(folder.path(run + ".out.csv")));
    for (auto line = lines.begin() + 1; line < lines.end(); ++line) {
      Lines values;
      for (size_t start = 1, end = 0; end != std::string::npos; start = end + 3) {
        end = line->find("\",\"", start);
        values.push_back(line->substr(start, end == std::string::npos ? line->size() - 1 - start : end - start));
      }
      EXPECT_EQ(values.size(), 21u) << *line;
      if (values.size() == 21) bySerial[values[2]] = Outcome{values[19], values[20]};
    }
    EXPECT_EQ(bySerial.size(), static_cast<size_t>(kLinesPerRun)) << run;
    return bySerial;
  }

  ProgramFolder folder;
  NodeDatabase db;
};

// Both runs first add serials 1 to 500, run a each as an Octel node and run b
// as a Veltro node, so a node mixed of both runs' rows cannot pass as whole;
// then each adds serial numbers of its own.
TEST_F(ParallelRunTest, SharedSerialNumbersLandOnceAndOwnSerialNumbersAllLand) {
  std::vector<int> serialsA, serialsB;
  for (int i = 1; i <= kLinesPerRun; ++i) {
    serialsA.push_back(i);
    serialsB.push_back(i <= kLinesPerRun / 2 ? i : i + kLinesPerRun / 2);
  }
  writeAdds("a", serialsA, true);
  writeAdds("b", serialsB, false);
  StartedRun startedA = folder.start({"/i:a.csv"});
  StartedRun startedB = folder.start({"/i:b.csv"});
  std::vector<RunResult> runs = {startedA.wait(), startedB.wait()};
  auto a = outcomes("a"), b = outcomes("b");
  std::map<std::string, std::string> stored;
  for (const auto& row : db.rows("SELECT SerialNo, Name FROM Node")) stored[row[0]] = row[1];
  std::string wrong;
  bool errorsIn[2] = {false, false};
  for (int serial = 1; serial <= kLinesPerRun * 3 / 2; ++serial) {
    std::string key = std::to_string(serial);
    Outcome ofA = a.count(key) ? a[key] : Outcome{"Error", "no line"};
    Outcome ofB = b.count(key) ? b[key] : Outcome{"Error", "no line"};
    errorsIn[0] |= a.count(key) && ofA.result == "Error";
    errorsIn[1] |= b.count(key) && ofB.result == "Error";
    bool shared = a.count(key) && b.count(key);
    bool aLanded = ofA.result == "Successful" && (!shared || isRefusedAdd(ofB));
    bool bLanded = ofB.result == "Successful" && (!shared || isRefusedAdd(ofA));
    if ((!aLanded && !bLanded) || stored[key] != (aLanded ? "a " : "b ") + key) {
      wrong += key + ": a " + ofA.result + " " + ofA.details + ", b " + ofB.result + " " + ofB.details + ", stored " +
               stored[key] + "\n";
    }
  }
  EXPECT_EQ(wrong, "");
  EXPECT_EQ(stored.size(), kLinesPerRun * 3u / 2);
  EXPECT_EQ((std::vector<int>{runs[0].status, runs[1].status}), (std::vector<int>{errorsIn[0], errorsIn[1]}));
  EXPECT_EQ(brokenNodes(db), std::vector<Row>{});
  // Neither run met a locked database: not on its console, in its result file or in the logs.
  std::string everything = allLogs(folder) + readBytes(folder.path("a.out.csv")) + readBytes(folder.path("b.out.csv"));
  for (const auto& run : runs) everything += run.out + run.err;
  EXPECT_FALSE(holds(everything, "locked"));
}

// While an import writes its result file, a second import or an export given that file is
// refused and changes nothing; the first run's file comes out whole.
TEST_F(ParallelRunTest, FileThatAnotherRunWritesIsRefused) {
  const int lines = kLinesPerRun * 20;
  writeBytes(folder.path("a.csv"), inputText(mixedAdds(lines)));
  StartedRun first = folder.start({"/i:a.csv"});
  ASSERT_TRUE(waitUntil([&] { return !resultLines(folder.path("a.out.csv")).empty(); }));
  first.signal("STOP");
  for (const auto& [args, shown] : {std::pair<Lines, std::string>{{"/i:a.csv"}, "a.out.csv"},
                                    {{"/e:a.out.csv"}, "a.out.csv"}}) {
    RunResult second = folder.run(args);
    EXPECT_EQ(second.status, 2);
    EXPECT_TRUE(second.out.ends_with("ERROR: " + shown + " is being written by another run.\r\n")) << second.out;
  }
  first.signal("CONT");
  EXPECT_TRUE(holds(first.wait().out, importSummary(lines, 0)));
  EXPECT_EQ(resultLines(folder.path("a.out.csv")).size(), static_cast<size_t>(lines));
  EXPECT_EQ(db.rows("SELECT COUNT(*) FROM Node"), std::vector<Row>{{std::to_string(lines)}});
}

}  // namespace
}  // namespace tarnwick::e2e
