// An import of 5,000 mixed lines killed or interrupted at 20 moments: every stored node is
// whole, and the tables hold what the reported lines did (after SIGKILL plus, perhaps, the one
// line not yet reported; after SIGINT, SIGTERM or SIGHUP exactly that, with the summary).
#include <csignal>

#include "ProgramRun.h"

namespace tarnwick::e2e {
namespace {

constexpr int kSerials = 1250;  // four lines each
constexpr int kKillMoments = 20;
const int kSignals[] = {SIGKILL, SIGINT, SIGTERM, SIGHUP};  // one per moment, by turns

struct Request {
  Lines line;
  bool succeeds;
};

// Per serial number: an add, a change (refused for every third, which
// carries a value its rules refuse), then for every fourth a second add that
// is refused, else a delete and an add of the other kind. The names tell
// the requests apart.
const std::vector<Request>& requests() {
  static const std::vector<Request> all = [] {
    std::vector<Request> lines;
    for (int n = 1; n <= kSerials; ++n) {
      const std::string s = std::to_string(n);
      const bool changeRefused = n % 3 == 0, keep = n % 4 == 0;
      auto kind = n % 2 ? octel : veltro, other = n % 2 ? veltro : octel;
      Cells change = n % 2 ? Cells{{"UrgentEndTime", "24:00"}} : Cells{{"Codec", "G999"}};
      if (!changeRefused) change.clear();
      change["Name"] = "C" + s;
      lines.push_back({kind("A", s, {{"Name", "A" + s}}), true});
      lines.push_back({kind("C", s, change), !changeRefused});
      lines.push_back({keep ? kind("A", s, {{"Name", "X" + s}}) : kind("D", s, {{"Name", ""}}), !keep});
      lines.push_back({other("A", s, {{"Name", "R" + s}}), !keep});
    }
    return lines;
  }();
  return all;
}

// The names stored by serial number after `request` took effect.
void apply(const Request& request, std::map<std::string, std::string>& nodes) {
  const std::string& serial = cell(request.line, "SerialNo");
  if (request.succeeds && cell(request.line, "Action") == "D") nodes.erase(serial);
  if (request.succeeds && cell(request.line, "Action") != "D") nodes[serial] = cell(request.line, "Name");
}

class CrashTest : public ::testing::TestWithParam<int> {
 protected:
  CrashTest() { emptyServerDatabase(); }

  // Signals the import at once (moment 0) or when the result file reaches a share of its size
  // were every line to succeed; failed lines carry details, so every share comes before the end.
  RunResult importSignalledAt(int moment, int signal) {
    std::vector<Lines> lines;
    for (const auto& request : requests()) lines.push_back(request.line);
    const std::string input = inputText(lines);
    writeBytes(folder.path("nodes.csv"), input);
    StartedRun started = folder.start({"/i:nodes.csv"});
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
  const int signal = kSignals[GetParam() % std::size(kSignals)];
  RunResult run = importSignalledAt(GetParam(), signal);
  EXPECT_EQ(run.status, 128 + signal) << "the import ended before the signal";
  Lines results = resultLines(folder.path("nodes.out.csv"));
  ASSERT_LE(results.size(), requests().size());
  std::map<std::string, std::string> reported;
  size_t errors = 0;
  for (size_t i = 0; i < results.size(); ++i) {
    const Request& request = requests()[i];
    EXPECT_TRUE(
        results[i].starts_with(quotedLine(request.line) + (request.succeeds ? ",\"Successful\"," : ",\"Error\",")))
        << results[i];
    apply(request, reported);
    errors += !request.succeeds;
  }
  auto withNext = reported;
  if (signal == SIGKILL && results.size() < requests().size()) apply(requests()[results.size()], withNext);
  if (signal != SIGKILL) {  // after the header line and the lines reported
    std::string stopped = "Import interrupted after line " + std::to_string(results.size() + 1) +
                          "; the lines after it were not processed.\r\n";
    EXPECT_TRUE(holds(run.out, stopped + "Finished processing data.\r\n\r\n" + importSummary(results.size(), errors)));
    EXPECT_TRUE(holds(folder.logText(), "[mdlProcess]importData)     " + stopped));
  }
  NodeDatabase db(folder);
  EXPECT_EQ(brokenNodes(db.connection), std::vector<Row>{});
  std::map<std::string, std::string> stored;
  for (const auto& row : db.rows("SELECT SerialNo, Name FROM Node")) stored[row[0]] = row[1];
  EXPECT_TRUE(stored == reported || stored == withNext)
      << results.size() << " lines reported, " << stored.size() << " nodes stored";
  // The database the killed run left serves the next run.
  RunResult exported = folder.run({"/e"});
  EXPECT_EQ(exported.status, 0);
  EXPECT_TRUE(holds(exported.out, "Total nodes exported: " + std::to_string(stored.size()) + "\r\n"));
}

INSTANTIATE_TEST_SUITE_P(TwentyMoments, CrashTest, ::testing::Range(0, kKillMoments));

}  // namespace
}  // namespace tarnwick::e2e
