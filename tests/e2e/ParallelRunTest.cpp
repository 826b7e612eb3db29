// Two imports started at the same moment in one program folder, so on one
// node database: the embedded file, or the server when the DSN "Pelagor" is
// defined. The runs must wait for each other rather than fail, and a serial
// number that both add must land exactly once, as a whole node.
#include <algorithm>
#include <map>

#include "ProgramRun.h"

namespace tarnwick::e2e {
namespace {

// Enough adds that the two runs overlap for most of their time.
constexpr int kLinesPerRun = 1000;

const char* const kHeader =
    "NodeType,Action,SerialNo,Name,VeltroServerName,VeltroSMTPSuffix,Codec,PhoneNo,Extension,DialSequence,"
    "NormalBeginTime,NormalEndTime,NormalInterval,UrgentBeginTime,UrgentEndTime,UrgentInterval,"
    "AdministrationBeginTime,AdministrationEndTime,AdministrationInterval\r\n";

// The add of one node, named after the run that adds it ("a 17").
std::string addLine(bool octel, int serial, const std::string& run) {
  std::string name = run + " " + std::to_string(serial);
  if (octel) return "O,A," + std::to_string(serial) + "," + name + ",,,,5551234,22,9P,08:30,5:00 pm,15,,,,,,240\r\n";
  return "V,A," + std::to_string(serial) + "," + name + ",vmsrv1,maildomain,G711,,,,,,,,,,,,\r\n";
}

struct Outcome {
  std::string result;  // "Successful" or "Error"
  std::string details;
};

// The values of a result line; none of ours holds a quote or a comma.
std::vector<std::string> resultValues(const std::string& line) {
  std::vector<std::string> values;
  std::string inner = line.substr(1, line.size() - 2);
  const std::string separator = "\",\"";
  size_t start = 0;
  for (size_t end; (end = inner.find(separator, start)) != std::string::npos; start = end + separator.size()) {
    values.push_back(inner.substr(start, end - start));
  }
  values.push_back(inner.substr(start));
  return values;
}

// The add found the node (the other run had committed it), or the database
// refused it for the unique serial number (the other run's node was not yet
// committed when it looked).
bool isRefusedAdd(const Outcome& outcome) {
  if (outcome.result != "Error") return false;
  if (outcome.details == "Node with this serial number already exists in Node Table") return true;
  std::string details = outcome.details;
  std::transform(details.begin(), details.end(), details.begin(), [](unsigned char c) { return std::tolower(c); });
  return details.rfind("run-time error -2147467259: ", 0) == 0 && details.find("unique") != std::string::npos;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\n";
  return text;
}

// Checks that each find no row: together they say that every node is whole
// and that no row of a kind's table or of the windows lacks its node.
const struct {
  const char* fault;
  const char* sql;
} kHalfNodeChecks[] = {
    {"node without its kind's row",
     "SELECT SerialNo FROM Node WHERE NOT ((ServerType = 1 AND SerialNo IN (SELECT SerialNo FROM OctelNode)) OR "
     "(ServerType = 2 AND SerialNo IN (SELECT SerialNo FROM VPIMNode)))"},
    {"Octel node without its three windows",
     "SELECT SerialNo FROM Node WHERE ServerType = 1 AND SerialNo NOT IN (SELECT SerialNo FROM DeliveryWindow "
     "GROUP BY SerialNo HAVING COUNT(*) = 3 AND COUNT(DISTINCT MessageType) = 3)"},
    {"Octel row twice", "SELECT SerialNo FROM OctelNode GROUP BY SerialNo HAVING COUNT(*) > 1"},
    {"Veltro row twice", "SELECT SerialNo FROM VPIMNode GROUP BY SerialNo HAVING COUNT(*) > 1"},
    {"Octel row without its node",
     "SELECT SerialNo FROM OctelNode WHERE SerialNo NOT IN (SELECT SerialNo FROM Node WHERE ServerType = 1)"},
    {"Veltro row without its node",
     "SELECT SerialNo FROM VPIMNode WHERE SerialNo NOT IN (SELECT SerialNo FROM Node WHERE ServerType = 2)"},
    {"window without its Octel node",
     "SELECT SerialNo FROM DeliveryWindow WHERE SerialNo NOT IN (SELECT SerialNo FROM Node WHERE ServerType = 1)"},
};

class ParallelRunTest : public ::testing::Test {
 protected:
  ParallelRunTest() : db(folder) { db.clear(); }

  // Writes <run>.csv: adds of `count` serial numbers from `first` on, Octel
  // and Veltro nodes by turns (Octel first when `octelFirst`).
  void writeAdds(const std::string& run, int first, bool octelFirst) {
    std::string text = kHeader;
    for (int i = 0; i < kLinesPerRun; ++i) text += addLine((i % 2 == 0) == octelFirst, first + i, run);
    writeBytes(folder.path(run + ".csv"), text);
  }

  // Imports a.csv and b.csv: both runs start before either is waited for.
  std::vector<RunResult> importBothAtOnce() {
    StartedRun a = folder.start({"/i:a.csv"});
    StartedRun b = folder.start({"/i:b.csv"});
    return {a.wait(), b.wait()};
  }

  // The result of every line of <run>.out.csv by serial number.
  std::map<std::string, Outcome> outcomes(const std::string& run) {
    auto lines = crlfLines(readBytes(folder.path(run + ".out.csv")));
    std::map<std::string, Outcome> bySerial;
    for (size_t i = 1; i < lines.size(); ++i) {
      auto values = resultValues(lines[i]);
      EXPECT_EQ(values.size(), 21u) << lines[i];
      if (values.size() == 21) bySerial[values[2]] = Outcome{values[19], values[20]};
    }
    EXPECT_EQ(bySerial.size(), static_cast<size_t>(kLinesPerRun)) << run;
    return bySerial;
  }

  void expectOnlyWholeNodes() {
    for (const auto& check : kHalfNodeChecks) EXPECT_EQ(db.rows(check.sql), std::vector<Row>{}) << check.fault;
  }

  // Neither run met a locked database: not on its console, in its result
  // file or in the logs.
  void expectNoLockedDatabase(const std::vector<RunResult>& runs) {
    std::string everything;
    for (const auto& run : runs) everything += run.out + run.err;
    for (const char* file : {"a.out.csv", "b.out.csv"}) everything += readBytes(folder.path(file));
    for (const auto& entry : fs::directory_iterator(folder.path("LOGS"))) everything += readBytes(entry.path().string());
    EXPECT_EQ(everything.find("locked"), std::string::npos);
  }

  ProgramFolder folder;
  NodeDatabase db;
};

TEST_F(ParallelRunTest, DisjointSerialNumbersAllLand) {
  writeAdds("a", 100000, true);
  writeAdds("b", 200000, false);
  auto runs = importBothAtOnce();
  std::vector<std::string> failed;
  for (const char* run : {"a", "b"}) {
    for (const auto& [serial, outcome] : outcomes(run)) {
      if (outcome.result != "Successful") failed.push_back(serial + ": " + outcome.result + " " + outcome.details);
    }
  }
  EXPECT_EQ(joined(failed), "");
  EXPECT_EQ(runs[0].status, 0);
  EXPECT_EQ(runs[1].status, 0);
  EXPECT_EQ(db.rows("SELECT SerialNo FROM Node").size(), 2u * kLinesPerRun);
  expectOnlyWholeNodes();
  expectNoLockedDatabase(runs);
}

// Run a adds serial 1 as an Octel node and run b as a Veltro node, and so on
// by turns, so a node mixed of both runs' rows cannot pass as whole.
TEST_F(ParallelRunTest, ASerialNumberBothRunsAddLandsOnceAndTheOtherRunReportsAnError) {
  writeAdds("a", 1, true);
  writeAdds("b", 1, false);
  auto runs = importBothAtOnce();
  auto a = outcomes("a");
  auto b = outcomes("b");
  std::map<std::string, std::string> stored;
  for (const auto& row : db.rows("SELECT SerialNo, Name FROM Node")) stored[row[0]] = row[1];

  std::vector<std::string> wrong;
  bool errorsIn[2] = {false, false};
  for (int serial = 1; serial <= kLinesPerRun; ++serial) {
    std::string key = std::to_string(serial);
    const Outcome& ofA = a[key];
    const Outcome& ofB = b[key];
    errorsIn[0] |= ofA.result == "Error";
    errorsIn[1] |= ofB.result == "Error";
    bool aLanded = ofA.result == "Successful" && isRefusedAdd(ofB);
    bool bLanded = ofB.result == "Successful" && isRefusedAdd(ofA);
    std::string expectedName = (aLanded ? "a " : "b ") + key;
    if ((!aLanded && !bLanded) || stored[key] != expectedName) {
      wrong.push_back(key + ": a " + ofA.result + " " + ofA.details + ", b " + ofB.result + " " + ofB.details +
                      ", stored " + stored[key]);
    }
  }
  EXPECT_EQ(joined(wrong), "");
  EXPECT_EQ(stored.size(), static_cast<size_t>(kLinesPerRun));
  EXPECT_EQ(runs[0].status, errorsIn[0] ? 1 : 0);
  EXPECT_EQ(runs[1].status, errorsIn[1] ? 1 : 0);
  expectOnlyWholeNodes();
  expectNoLockedDatabase(runs);
}

}  // namespace
}  // namespace tarnwick::e2e
