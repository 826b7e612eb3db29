// An import of 3,850 mixed lines killed or interrupted at 20 moments: every stored node is whole, and the tables hold
// what the reported lines did (after SIGKILL plus, perhaps, the one line not yet reported; after SIGINT, SIGTERM or
// SIGHUP exactly that, with the summary). A dry run (every fifth moment) leaves the tables empty however it ends.
#include <csignal>

#include "ProgramRun.h"

namespace tarnwick::e2e {
namespace {

constexpr int kMoments = 20;
const int kSignals[] = {SIGKILL, SIGINT, SIGTERM, SIGHUP};  // one per moment, by turns

struct Request {
  Lines line;
  bool succeeds;
};

// Per serial number: an add; a change, refused for every third; and for three in four a delete. The names tell the
// requests apart.
const std::vector<Request>& requests() {
  static const std::vector<Request> all = [] {
    std::vector<Request> lines;
    for (int n = 1; n <= 1400; ++n) {
      const std::string s = std::to_string(n);
      auto kind = n % 2 ? octel : veltro;
      Cells change{{"Name", "C" + s}};
      if (n % 3 == 0) change[n % 2 ? "UrgentEndTime" : "Codec"] = n % 2 ? "24:00" : "G999";
      lines.push_back({kind("A", s, {{"Name", "A" + s}}), true});
      lines.push_back({kind("C", s, change), n % 3 != 0});
      if (n % 4 != 0) lines.push_back({kind("D", s, {{"Name", ""}}), true});
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

class CrashTest : public ::testing::TestWithParam<int> {};

// Signals the import at once (moment 0) or when the result file reaches a share of its size were every line to succeed;
// failed lines carry details, so every share comes before the end.
TEST_P(CrashTest, SignalledImportLeavesWholeNodesAndEveryReportedLineStored) {
  emptyServerDatabase();
  const ProgramFolder folder;
  const int signal = kSignals[GetParam() % std::size(kSignals)];
  std::vector<Lines> lines;
  for (const auto& request : requests()) lines.push_back(request.line);
  const std::string input = inputText(lines);
  writeBytes(folder.path("nodes.csv"), input);
  const bool dryRun = GetParam() % 5 == 1;
  StartedRun started = folder.start(dryRun ? Lines{"/i:nodes.csv", "/n"} : Lines{"/i:nodes.csv"});
  const uintmax_t share = (input.size() + lines.size() * std::string(",\"Successful\",\"\"").size()) *
                          static_cast<uintmax_t>(std::max(GetParam() - 1, 0)) / (kMoments - 1);
  ASSERT_TRUE(GetParam() == 0 || waitUntil([&] {
                std::error_code missing;
                return fs::file_size(folder.path("nodes.out.csv"), missing) >= share && !missing;
              }));
  started.signal(signal);
  RunResult run = started.wait();
  EXPECT_EQ(run.status, 128 + signal) << "the import ended before the signal";
  Lines results = resultLines(folder.path("nodes.out.csv"));
  ASSERT_LE(results.size(), requests().size());
  std::map<std::string, std::string> reported;
  size_t errors = 0;
  for (size_t i = 0; i < results.size(); ++i) {
    const Request& request = requests()[i];
    const std::string outcome = request.succeeds ? ",\"Successful\"," : ",\"Error\",";
    EXPECT_TRUE(results[i].starts_with(quotedLine(request.line) + outcome)) << results[i];
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
  EXPECT_TRUE(dryRun ? stored.empty() : stored == reported || stored == withNext)
      << results.size() << " lines reported, " << stored.size();
  // The database the killed run left serves the next run.
  EXPECT_TRUE(holds(folder.run({"/e"}).out, "Total nodes exported: " + std::to_string(stored.size()) + "\r\n"));
}

INSTANTIATE_TEST_SUITE_P(TwentyMoments, CrashTest, ::testing::Range(0, kMoments));

}  // namespace
}  // namespace tarnwick::e2e
