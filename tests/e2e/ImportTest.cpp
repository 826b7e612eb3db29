// The import as a user runs it: console, result file, log and table rows.
#include <algorithm>
#include <map>

#include "ProgramRun.h"

namespace tarnwick::e2e {
namespace {

using Cells = std::map<std::string, std::string>;

// The 19 values of a line every rule accepts, with the cells of `more` replaced.
Lines line(const NodeLine& node, const Cells& more) {
  Lines values = node.values();
  for (auto& [column, value] : more) {
    values[std::find(kColumns.begin(), kColumns.end(), column) - kColumns.begin()] = value;
  }
  return values;
}
Lines octel(const std::string& action, const std::string& serial, const Cells& more = {}) {
  return line(octelLine(action, serial, "North"), more);
}
Lines veltro(const std::string& action, const std::string& serial, const Cells& more = {}) {
  return line(veltroLine(action, serial, "South"), more);
}

const std::string kNotFound = "Node with this serial number not found in Node Table";

class ImportTest : public ::testing::Test {
 protected:
  ImportTest() : db(folder) { db.clear(); }

  // Writes nodes.csv: `lines` under the 19 column headings, after `start`.
  void writeInput(const std::vector<Lines>& lines, const std::string& start = "") {
    std::string text = start + quotedLine(kColumns) + "\r\n";
    for (const auto& values : lines) text += quotedLine(values) + "\r\n";
    writeBytes(folder.path("nodes.csv"), text);
  }
  RunResult import(const std::vector<Lines>& lines) {
    writeInput(lines);
    return folder.run({"/i:nodes.csv"});
  }
  Lines results() { return resultLines(folder.path("nodes.out.csv")); }

  // Rows of "`columns` FROM table" for the node `serial`.
  std::vector<Row> of(const std::string& columns, const std::string& serial, const std::string& order = "") {
    return db.rows("SELECT " + columns + " WHERE SerialNo = '" + serial + "'" + order);
  }
  Row node(const std::string& serial) {
    auto found = of("Name, ServerType, DefaultCodec FROM Node", serial);
    return found.empty() ? Row{} : found[0];
  }
  std::vector<Row> octelRow(const std::string& s) { return of("PhoneNo, Ext, DialingSequence FROM OctelNode", s); }
  std::vector<Row> veltroRow(const std::string& s) { return of("DomainName, ProxyDomain FROM VPIMNode", s); }
  std::vector<Row> windows(const std::string& s) {
    return of("WindowID, MessageType, BeginTime, EndTime, " + db.interval() + " FROM DeliveryWindow", s, " ORDER BY MessageType");
  }
  size_t rowsOf(const std::string& table) { return db.rows("SELECT * FROM " + table).size(); }
  // The row counts of the Octel, Veltro and window tables.
  std::vector<size_t> kindRows() { return {rowsOf("OctelNode"), rowsOf("VPIMNode"), rowsOf("DeliveryWindow")}; }

  ProgramFolder folder;
  NodeDatabase db;
};

TEST_F(ImportTest, EveryActionLetterWorksAndTheConsoleReportsEachLineAndTheSummary) {
  Lines badAction = veltro("X", "4"), noAction = veltro("", "5");
  std::vector<Lines> lines = {octel("a", "1001"), veltro("A", "2002"), octel("c", "1001", {{"Name", "Renamed"}}),
                              badAction, veltro("C", "2002", {{"Codec", ""}}), noAction, octel("d", "1001"),
                              veltro("D", "2002")};
  RunResult run = import(lines);
  EXPECT_EQ(run.status, 1);
  Lines expected;
  for (const auto& values : lines) {
    bool refused = values == badAction || values == noAction;
    expected.push_back(resultLine(values, refused ? "Error" : "Successful", refused ? "Invalid value in column: action" : ""));
  }
  EXPECT_EQ(results(), expected);
  EXPECT_EQ(rowsOf("Node") + rowsOf("OctelNode") + rowsOf("VPIMNode") + rowsOf("DeliveryWindow"), 0u);
  Lines console = crlfLines(run.out);
  EXPECT_EQ(Lines(console.begin() + 4, console.end()),
            (Lines{"", "Processing data...", "  Processing Line: 2    SerialNo = 1001", "    Adding Node #1001",
                   "  Processing Line: 3    SerialNo = 2002", "    Adding Node #2002",
                   "  Processing Line: 4    SerialNo = 1001", "    Changing Node #1001",
                   "  Processing Line: 5    SerialNo = 4",
                   "    Value failed data validation checks.  Value = X Column = action",
                   "  Processing Line: 6    SerialNo = 2002", "    Changing Node #2002",
                   "  Processing Line: 7    SerialNo = 5", "  Processing Line: 8    SerialNo = 1001",
                   "    Deleting Node #1001", "  Processing Line: 9    SerialNo = 2002", "    Deleting Node #2002",
                   "Finished processing data.", "", "Total nodes effected: 8 Successful changes: 6 Errors: 2", "",
                   "****************ERRORS ENCOUNTERED*****************",
                   "Check the output file for more detailed error information: " + folder.path("nodes.out.csv")}));
}

TEST_F(ImportTest, AddStoresNodesWithTheirWindowsCodecAndDefaults) {
  Cells emptyWindows;
  for (size_t i = 10; i < kColumns.size(); ++i) emptyWindows[kColumns[i]] = "";
  RunResult run = import({octel("A", "0001", {{"DialSequence", ""}}), veltro("A", "7"), veltro("a", "8", {{"Codec", ""}}),
                          veltro("a", "9", {{"Codec", "g729"}}), octel("A", "5", emptyWindows), octel("A", "6"),
                          octel("C", "6", emptyWindows)});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(node("0001"), (Row{"North", "1", ""}));
  EXPECT_EQ(octelRow("0001"), (std::vector<Row>{{"5551234", "22", "N"}}));
  EXPECT_EQ(windows("0001"), (std::vector<Row>{{"0", "0", "8:30", "5:00 pm", "15"},
                                               {"1", "1", "7:00AM", "23:00", "5"},
                                               {"2", "2", "12:00AM", "11:59PM", "240"}}));
  EXPECT_EQ((Row{node("7")[2], node("8")[2], node("9")[2]}), (Row{"7", "307", "307"}));
  EXPECT_EQ(veltroRow("7"), (std::vector<Row>{{"vmsrv1", "maildomain"}}));
  EXPECT_TRUE(windows("7").empty());
  // Empty window cells span the day; an add takes interval 30, a change keeps the stored one.
  auto wholeDay = [](const std::string& a, const std::string& b, const std::string& c) -> std::vector<Row> {
    return {{"0", "0", "12:00AM", "11:59PM", a}, {"1", "1", "12:00AM", "11:59PM", b}, {"2", "2", "12:00AM", "11:59PM", c}};
  };
  EXPECT_EQ(windows("5"), wholeDay("30", "30", "30"));
  EXPECT_EQ(windows("6"), wholeDay("15", "5", "240"));
}

TEST_F(ImportTest, RefusedAddsLeaveTheTablesAsTheyWere) {
  db.addOctel("1", "stored");
  Lines exists = octel("A", "1"), badPhone = octel("A", "2", {{"PhoneNo", "555A"}}),
        noType = veltro("A", "3", {{"NodeType", ""}}), noSerial = veltro("A", "");
  RunResult run = import({exists, badPhone, noType, noSerial});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(results(), (Lines{resultLine(exists, "Error", "Node with this serial number already exists in Node Table"),
                              resultLine(badPhone, "Error", "Invalid value in column: phoneno"),
                              resultLine(noType, "Error", "Invalid NodeType = "),
                              resultLine(noSerial, "Error", "Invalid value in column: serialno")}));
  EXPECT_EQ(db.rows("SELECT SerialNo, Name FROM Node"), (std::vector<Row>{{"1", "stored"}}));
  EXPECT_EQ(kindRows(), (std::vector<size_t>{1, 0, 3}));
  EXPECT_TRUE(holds(run.out, "      Error adding node #1 - Node with that serial number already exists in Node Table\r\n"));
  std::string log = folder.logText();
  EXPECT_TRUE(holds(log, "   Info:(                          [mdlProcess]addNode)       Error adding node #1 - Node "
                         "with that serial number already exists in Node Table"));
  EXPECT_TRUE(holds(log, "Warning:(                          [mdlProcess]addNode)       Invalid NodeType = "));
}

// A change follows the stored kind and ignores the other kind's cells; one
// that fails stores nothing of its line.
TEST_F(ImportTest, ChangeFollowsTheStoredKindAndAFailedChangeStoresNothing) {
  db.addOctel("1", "octel");
  db.addVeltro("2", "veltro", 7);
  db.addOctel("3", "no windows", false);
  db.addOctel("4", "octel");
  Lines badTime = octel("C", "4", {{"Name", "changed"}, {"UrgentEndTime", "24:00"}}), missing = octel("C", "404"),
        noWindows = octel("C", "3", {{"Name", "changed"}});
  RunResult run = import({octel("C", "1", {{"Codec", "bad"}, {"VeltroServerName", "ignored"}, {"Extension", ""}}),
                          veltro("C", "2", {{"NodeType", "O"}, {"PhoneNo", "letters"}, {"NormalBeginTime", "99"},
                                            {"Codec", "g711"}, {"VeltroSMTPSuffix", "new.example"}}),
                          badTime, missing, noWindows});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(octelRow("1"), (std::vector<Row>{{"5551234", "", "9P"}}));
  EXPECT_EQ(node("1"), (Row{"North", "1", ""}));
  EXPECT_EQ(node("2"), (Row{"South", "2", "7"}));
  EXPECT_EQ(veltroRow("2"), (std::vector<Row>{{"vmsrv1", "new.example"}}));
  Lines lines = results();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0].substr(lines[0].size() - 15), "\"Successful\",\"\"");
  EXPECT_EQ(lines[2], resultLine(badTime, "Error", "Invalid value in column: urgentendtime"));
  EXPECT_EQ(lines[3], resultLine(missing, "Error", kNotFound));
  EXPECT_EQ(lines[4].rfind(quotedLine(noWindows) + ",\"Error\",\"Run-time error 3021: ", 0), 0u);
  EXPECT_EQ((Row{node("4")[0], node("3")[0]}), (Row{"octel", "no windows"}));
  EXPECT_EQ(node("404"), Row{});
  EXPECT_EQ(windows("4")[1], (Row{"1", "1", "12:00AM", "11:59PM", "30"}));
  EXPECT_TRUE(holds(run.out, "      Error changing node #404 - " + kNotFound + "\r\n"));
}

TEST_F(ImportTest, DeleteRemovesEveryRowOfTheNodeAndDumpsItFirst) {
  db.addOctel("1", "octel");
  db.addVeltro("2", "veltro");
  for (std::string serial : {"1", "2"}) db.execute("INSERT INTO Directory (SerialNo) VALUES (?)", {serial});
  Lines missing = veltro("D", "3");
  RunResult run = import({octel("D", "1"), veltro("D", "2"), missing});
  EXPECT_EQ(results()[2], resultLine(missing, "Error", kNotFound));
  for (const char* table : {"Node", "OctelNode", "VPIMNode", "DeliveryWindow", "Directory"}) {
    EXPECT_EQ(rowsOf(table), 0u) << table;
  }
  EXPECT_TRUE(holds(run.out, "    Deleting Node #3\r\n      Error deleting node #3 - Node not found in Node Table\r\n"));
  Lines log = logLinesWithoutTime(folder.logText());
  auto deleting = std::find(log.begin(), log.end(),
                            "    Info:(                       [mdlProcess]deleteNode)       Deleting Node: octel - #1");
  ASSERT_GT(log.end() - deleting, 4);
  std::string dumpPrefix = " VerInfo:(                       [mdlProcess]deleteNode)       ";
  EXPECT_EQ(deleting[1], dumpPrefix + std::string(80, '*'));
  EXPECT_EQ(deleting[2], dumpPrefix + "Object Recordset Dump");
  // The dump names a field as the engine spells it (PostgreSQL folds the schema's names to lower case).
  std::string field = deleting[4].substr(dumpPrefix.size(), 37);
  std::transform(field.begin(), field.end(), field.begin(), [](unsigned char c) { return std::tolower(c); });
  EXPECT_EQ(field, "serialno" + std::string(28, ' ') + "1");
}

TEST_F(ImportTest, LookupThatFailsIsNeverTakenForFoundOrMissing) {
  db.addOctel("1", "octel");
  db.execute("ALTER TABLE Node RENAME TO NodeAway");
  Lines add = veltro("A", "2"), remove = octel("D", "1");
  RunResult run = import({add, remove});
  db.execute("ALTER TABLE NodeAway RENAME TO Node");
  EXPECT_EQ(run.status, 1);
  Lines lines = results();
  ASSERT_EQ(lines.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_TRUE(lines[i].starts_with(quotedLine(i ? remove : add) + ",\"Error\",\"Run-time error -2147467259: ")) << lines[i];
  }
  EXPECT_EQ(kindRows(), (std::vector<size_t>{1, 0, 3}));
}

TEST_F(ImportTest, HeaderOnlyFileProcessesNoLine) {
  RunResult run = import({});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(holds(run.out, "Processing data...\r\nFinished processing data.\r\n\r\n" + importSummary(0, 0)));
  EXPECT_EQ(readBytes(folder.path("nodes.out.csv")), quotedLine(kColumns) + ",\"Result\",\"Details\"\r\n");
}

TEST_F(ImportTest, Utf8InputGivesAUtf8ResultFileHoldingEveryValue) {
  std::string name = "Zo\xC4\x9B \xE2\x82\xAC";
  writeInput({veltro("A", "1", {{"Name", name}})}, "\xEF\xBB\xBF");
  EXPECT_EQ(folder.run({"/i:nodes.csv"}).status, 0);
  std::string result = readBytes(folder.path("nodes.out.csv"));
  EXPECT_EQ(result.substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_TRUE(holds(result, "\"" + name + "\""));
  EXPECT_EQ(node("1")[0], name);
}

}  // namespace
}  // namespace tarnwick::e2e
