// An import of 5,000 mixed lines killed or interrupted at 20 moments: every stored node is
// whole, and the tables hold what the reported lines did (after SIGKILL plus, perhaps, the one
// line not yet reported; after SIGINT, SIGTERM or SIGHUP exactly that, with the summary). A dry
// run (every fifth moment) leaves the tables empty however it ends.
#include "ProgramRun.h"

namespace tarnwick::e2e {
namespace {

constexpr int kSerials = 1250;  // four lines each
constexpr int kKillMoments = 20;

// The signal sent at each moment, by turns, and its number.
const struct { const char* name; int number; } kSignals[] = {{"KILL", 9}, {"INT", 2}, {"TERM", 15}, {"HUP", 1}};

struct Request {
  NodeLine line;
  bool succeeds;
};

// An Octel or Veltro line; a broken one carries a value its rules refuse.
NodeLine lineOf(bool octel, const std::string& action, const std::string& serial, const std::string& name,
                bool broken = false) {
  NodeLine line = octel ? octelLine(action, serial, name) : veltroLine(action, serial, name);
  if (broken && octel) line.windows[4] = "24:00";  // the urgent window ends after midnight
  if (broken && !octel) line.codec = "G999";
  return line;
}

// Per serial number: an add, a change (refused for every third), then for
// every fourth a second add that is refused, else a delete and an add of
// the other kind.
const std::vector<Request>& requests() {
  static const std::vector<Request> all = [] {
    std::vector<Request> lines;
    for (int n = 1; n <= kSerials; ++n) {
      std::string s = std::to_string(n);
      bool octel = n % 2, changeRefused = n % 3 == 0, keep = n % 4 == 0;
      lines.push_back({lineOf(octel, "A", s, "A" + s), true});
      lines.push_back({lineOf(octel, "C", s, "C" + s, changeRefused), !changeRefused});
      lines.push_back({keep ? lineOf(octel, "A", s, "X" + s) : lineOf(octel, "D", s, ""), !keep});
      lines.push_back({lineOf(!octel, "A", s, "R" + s), !keep});
    }
    return lines;
  }();
  return all;
}

// `nodes` after `request` took effect.
void apply(const Request& request, std::map<std::string, std::string>& nodes) {
  if (request.succeeds && request.line.action == "D") nodes.erase(request.line.serial);
  if (request.succeeds && request.line.action != "D") nodes[request.line.serial] = storedAs(request.line);
}

class CrashTest : public ::testing::TestWithParam<int> {
 protected:
  CrashTest() { emptyServerDatabase(); }

  // Signals the import at once (moment 0) or when the result file reaches a share of its size
  // were every line to succeed; failed lines carry details, so every share comes before the end.
  RunResult importSignalledAt(int moment, const std::string& signal, bool dryRun) {
    std::vector<NodeLine> lines;
    for (const auto& request : requests()) lines.push_back(request.line);
    std::string input = inputText(lines);
    writeBytes(folder.path("nodes.csv"), input);
    auto started = folder.start(dryRun ? std::vector<std::string>{"/i:nodes.csv", "/n"}
                                       : std::vector<std::string>{"/i:nodes.csv"});
    uintmax_t share = (input.size() + lines.size() * std::string(",\"Successful\",\"\"").size()) *
                      static_cast<uintmax_t>(std::max(moment - 1, 0)) / (kKillMoments - 1);
    EXPECT_TRUE(moment == 0 || waitUntil([&] {
                  std::error_code missing;
                  return fs::file_size(folder.path("nodes.out.csv"), missing) >= share && !missing;
                }))
        << "the result file never reached " << share << " bytes";
    started.signal(signal);
    return started.wait();
  }

  ProgramFolder folder;
};

TEST_P(CrashTest, SignalledImportLeavesWholeNodesAndEveryReportedLineStored) {
  const auto& signal = kSignals[GetParam() % std::size(kSignals)];
  const bool dryRun = GetParam() % 5 == 1;
  RunResult run = importSignalledAt(GetParam(), signal.name, dryRun);
  EXPECT_EQ(run.status, 128 + signal.number) << "the import ended before the signal";
  auto results = resultLines(folder.path("nodes.out.csv"));
  ASSERT_LE(results.size(), requests().size());
  std::map<std::string, std::string> reported;
  size_t errors = 0;
  for (size_t i = 0; i < results.size(); ++i) {
    const Request& request = requests()[i];
    std::string outcome = request.succeeds ? "Successful" : "Error";
    EXPECT_TRUE(results[i].starts_with(quotedLine(request.line.values()) + ",\"" + outcome + "\",")) << results[i];
    apply(request, reported);
    errors += !request.succeeds;
  }
  auto withNext = reported;
  if (signal.number == 9 && results.size() < requests().size()) apply(requests()[results.size()], withNext);
  if (signal.number != 9) {  // after the header line and the lines reported
    std::string stopped = "Import interrupted after line " + std::to_string(results.size() + 1) +
                          "; the lines after it were not processed.\r\n";
    EXPECT_TRUE(holds(run.out, stopped + "Finished processing data.\r\n\r\n" + importSummary(results.size(), errors)));
    EXPECT_TRUE(holds(folder.logText(), "[mdlProcess]importData)     " + stopped));
  }

  NodeDatabase db(folder);
  EXPECT_EQ(brokenNodes(db), std::vector<Row>{});
  auto stored = storedNodes(db);
  EXPECT_TRUE(dryRun ? stored.empty() : stored == reported || stored == withNext)
      << results.size() << " lines reported, " << stored.size() << " nodes stored";
  // The database the killed run left serves the next run.
  RunResult exported = folder.run({"/e"});
  EXPECT_EQ(exported.status, 0);
  EXPECT_TRUE(holds(exported.out, "Total nodes exported: " + std::to_string(stored.size()) + "\r\n"));
}

INSTANTIATE_TEST_SUITE_P(TwentyMoments, CrashTest, ::testing::Range(0, kKillMoments));

}  // namespace
}  // namespace tarnwick::e2e
