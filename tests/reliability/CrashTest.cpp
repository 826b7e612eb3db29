// An import of 5,000 mixed lines killed with SIGKILL at 20 moments spread
// over its run. After each kill the tables must hold whole nodes only, and
// exactly the lines the result file reports (plus, at most, the one line
// whose result was not yet written).
#include <set>

#include "NodeInput.h"
#include "StoredNodes.h"
#include "e2e/ProgramRun.h"

namespace tarnwick::reliability {
namespace {

using e2e::NodeDatabase;
using e2e::ProgramFolder;
using e2e::readBytes;

constexpr int kSerials = 1250;  // four lines each
constexpr int kKillMoments = 20;
constexpr int kKilledStatus = 128 + 9;

enum class Action { Add, Change, Delete };

// One input line and the node it leaves when it succeeds.
struct Request {
  NodeLine line;
  Action action;
  bool valid;  // false: a value breaks its rule, so the line fails whatever is stored
  StoredNode after;
};

// Applies `request` as the program must; returns whether the line succeeds.
bool apply(const Request& request, Directory& nodes) {
  const std::string& serial = request.line.serial;
  bool stored = nodes.count(serial) > 0;
  if (!request.valid || stored != (request.action != Action::Add)) return false;
  if (request.action == Action::Delete) {
    nodes.erase(serial);
  } else {
    nodes[serial] = request.after;
  }
  return true;
}

const char* letter(Action action) {
  switch (action) {
    case Action::Add: return "A";
    case Action::Change: return "c";
    case Action::Delete: return "D";
  }
  return "";
}

// An Octel add or change; an invalid one carries an urgent end time of 24:00.
Request octel(Action action, const std::string& serial, const std::string& name, const std::string& phone,
              const std::string& interval, bool valid = true) {
  NodeLine line = octelLine(letter(action), serial, name);
  line.phone = phone;
  line.windows[2] = line.windows[5] = line.windows[8] = interval;
  if (!valid) line.windows[4] = "24:00";
  return {line, action, valid, {"1", name, phone + " " + interval + "/" + interval + "/" + interval}};
}

// A Veltro add or change; a codec other than G711 and G729 breaks its rule.
Request veltro(Action action, const std::string& serial, const std::string& name, const std::string& proxy,
               const std::string& codec) {
  NodeLine line = veltroLine(letter(action), serial, name);
  line.smtpSuffix = proxy;
  line.codec = codec;
  bool valid = codec == "G711" || codec == "G729";
  return {line, action, valid, {"2", name, proxy + " " + (codec == "G711" ? "7" : "307")}};
}

Request remove(const std::string& serial) { return {veltroLine("d", serial, ""), Action::Delete, true, {}}; }

// Five patterns of four lines: adds, changes, deletes, re-adds, a kind
// change through delete and add, and lines that fail (a bad value before or
// after the first write of the transaction, a serial number that exists).
std::vector<Request> requests() {
  std::vector<Request> all;
  for (int n = 1; n <= kSerials; ++n) {
    std::string s = std::to_string(n);
    std::vector<Request> four;
    switch (n % 5) {
      case 0:
        four = {octel(Action::Add, s, "A" + s, "5550001", "15"), octel(Action::Change, s, "C" + s, "5550002", "30"),
                octel(Action::Change, s, "E" + s, "5550003", "45"), remove(s)};
        break;
      case 1:
        four = {octel(Action::Add, s, "B" + s, "5550009", "20", false), octel(Action::Add, s, "A" + s, "5550001", "15"),
                octel(Action::Change, s, "C" + s, "5550002", "30"), octel(Action::Add, s, "X" + s, "5550004", "60")};
        break;
      case 2:
        four = {veltro(Action::Add, s, "A" + s, "add.example", "G711"),
                veltro(Action::Change, s, "C" + s, "chg.example", "G729"), remove(s),
                veltro(Action::Add, s, "R" + s, "again.example", "G711")};
        break;
      case 3:
        four = {veltro(Action::Add, s, "A" + s, "add.example", "G711"),
                veltro(Action::Change, s, "B" + s, "bad.example", "G999"),
                veltro(Action::Change, s, "C" + s, "chg.example", "G729"), remove(s)};
        break;
      default:
        four = {octel(Action::Add, s, "A" + s, "5550001", "15"), remove(s),
                veltro(Action::Add, s, "V" + s, "add.example", "G711"),
                veltro(Action::Change, s, "C" + s, "chg.example", "G729")};
    }
    all.insert(all.end(), four.begin(), four.end());
  }
  return all;
}

const std::vector<Request>& allRequests() {
  static const std::vector<Request> all = requests();
  return all;
}

const std::string& inputFile() {
  static const std::string text = [] {
    std::vector<NodeLine> lines;
    for (const auto& request : allRequests()) lines.push_back(request.line);
    return inputText(lines);
  }();
  return text;
}

std::string describe(const Directory& nodes, const std::string& serial) {
  auto found = nodes.find(serial);
  if (found == nodes.end()) return "absent";
  return found->second.serverType + " " + found->second.name + " " + found->second.detail;
}

class CrashTest : public ::testing::TestWithParam<int> {
 protected:
  CrashTest() { e2e::emptyServerDatabase(); }

  // Starts the import and kills it at moment `moment`: at once, or when the
  // result file reaches a share of its size at the end. That size is taken
  // as if every line succeeded; the longer details of failed lines make the
  // real file larger, so every share is reached before the end.
  e2e::RunResult importKilledAt(int moment) {
    e2e::writeBytes(folder.path("nodes.csv"), inputFile());
    auto started = folder.startSignallable({"/i:nodes.csv"});
    if (moment > 0) {
      uintmax_t finalSize = inputFile().size() + allRequests().size() * std::string(",\"Successful\",\"\"").size();
      uintmax_t share = finalSize * static_cast<uintmax_t>(moment - 1) / (kKillMoments - 1);
      EXPECT_TRUE(e2e::waitUntil([&] {
        std::error_code missing;
        uintmax_t size = e2e::fs::file_size(folder.path("nodes.out.csv"), missing);
        return !missing && size >= share;
      })) << "the result file never reached " << share << " bytes";
    }
    started.signal("KILL");
    return started.run.wait();
  }

  // Checks the result lines against the requests; returns how many there are.
  size_t checkResultLines() {
    auto lines = completeLines(readBytes(folder.path("nodes.out.csv")));
    if (lines.empty()) return 0;
    std::vector<std::string> header = columnNames();
    header.insert(header.end(), {"Result", "Details"});
    EXPECT_EQ(lines[0], quotedLine(header));
    Directory model;
    size_t results = lines.size() - 1;
    for (size_t i = 0; i < results; ++i) {
      const Request& request = allRequests()[i];
      std::string outcome = apply(request, model) ? "Successful" : "Error";
      EXPECT_EQ(lines[i + 1].rfind(quotedLine(request.line.values()) + ",\"" + outcome + "\",", 0), 0u)
          << "result line " << i + 1 << ": " << lines[i + 1];
    }
    return results;
  }

  ProgramFolder folder;
};

TEST_P(CrashTest, KilledImportLeavesWholeNodesAndEverySuccessfulLineStored) {
  e2e::RunResult run = importKilledAt(GetParam());
  EXPECT_EQ(run.status, kKilledStatus) << "the import ended before it was killed";
  size_t results = checkResultLines();

  // The tables after the last reported line; the next line may have been
  // committed just before the kill, before its result line was written.
  Directory reported;
  for (size_t i = 0; i < results; ++i) apply(allRequests()[i], reported);
  Directory withNext = reported;
  std::string nextSerial;
  if (results < allRequests().size()) {
    apply(allRequests()[results], withNext);
    nextSerial = allRequests()[results].line.serial;
  }

  NodeDatabase db(folder);
  Tables tables = readTables(db);
  EXPECT_EQ(tables.defects, std::vector<std::string>{});
  std::set<std::string> serials;
  for (const auto* nodes : {&tables.nodes, &reported}) {
    for (const auto& [serial, node] : *nodes) serials.insert(serial);
  }
  for (const auto& serial : serials) {
    std::string stored = describe(tables.nodes, serial);
    bool expected = stored == describe(reported, serial) ||
                    (serial == nextSerial && stored == describe(withNext, serial));
    EXPECT_TRUE(expected) << "node " << serial << " is " << stored << " after " << results
                          << " result lines; expected " << describe(reported, serial);
  }

  // The database the killed run left serves the next run.
  e2e::RunResult exported = folder.run({"/e"});
  EXPECT_EQ(exported.status, 0);
  EXPECT_NE(exported.out.find("Total nodes exported: " + std::to_string(tables.nodes.size()) + "\r\n"),
            std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(TwentyMoments, CrashTest, ::testing::Range(0, kKillMoments));

}  // namespace
}  // namespace tarnwick::reliability
