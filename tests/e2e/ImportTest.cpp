// The import as a user runs it: console, result file, log and table rows.
#include <map>

#include "ProgramRun.h"

namespace tarnwick::e2e {
namespace {

const std::vector<std::string> kColumns = {
    "NodeType",        "Action",          "SerialNo",       "Name",
    "VeltroServerName", "VeltroSMTPSuffix", "Codec",         "PhoneNo",
    "Extension",       "DialSequence",    "NormalBeginTime", "NormalEndTime",
    "NormalInterval",  "UrgentBeginTime", "UrgentEndTime",  "UrgentInterval",
    "AdministrationBeginTime", "AdministrationEndTime", "AdministrationInterval"};

using Cells = std::map<std::string, std::string>;

std::string quotedLine(const std::vector<std::string>& values) {
  std::string line;
  for (const auto& value : values) line += (line.empty() ? "\"" : ",\"") + value + "\"";
  return line;
}

// The 19 values of one input line, in column order; unnamed cells are empty.
std::vector<std::string> valuesOf(const Cells& cells) {
  std::vector<std::string> values;
  for (const auto& column : kColumns) values.push_back(cells.count(column) ? cells.at(column) : "");
  return values;
}

Cells octel(const std::string& action, const std::string& serial, Cells more = {}) {
  Cells cells = {{"NodeType", "O"},           {"Action", action},          {"SerialNo", serial},
                 {"Name", "North"},           {"PhoneNo", "5551234"},      {"Extension", "22"},
                 {"DialSequence", "9P"},      {"NormalBeginTime", "08:30"}, {"NormalEndTime", "5:00 pm"},
                 {"NormalInterval", "15"},    {"UrgentBeginTime", "7:00AM"}, {"UrgentEndTime", "23:00"},
                 {"UrgentInterval", "5"},     {"AdministrationInterval", "240"}};
  for (auto& [column, value] : more) cells[column] = value;
  return cells;
}

Cells veltro(const std::string& action, const std::string& serial, Cells more = {}) {
  Cells cells = {{"NodeType", "V"},           {"Action", action},           {"SerialNo", serial},
                 {"Name", "South"},           {"VeltroServerName", "vmsrv1"}, {"VeltroSMTPSuffix", "maildomain"},
                 {"Codec", "G711"}};
  for (auto& [column, value] : more) cells[column] = value;
  return cells;
}

class ImportTest : public ::testing::Test {
 protected:
  ImportTest() : db(folder) { db.clear(); }

  // Imports `lines` (under the 19 column headings); returns the run.
  RunResult import(const std::vector<Cells>& lines) {
    std::string text = quotedLine(kColumns) + "\r\n";
    for (const auto& cells : lines) text += quotedLine(valuesOf(cells)) + "\r\n";
    writeBytes(folder.path("nodes.csv"), text);
    return folder.run({"/i:nodes.csv"});
  }

  // The result lines after the header.
  std::vector<std::string> results() {
    auto lines = crlfLines(readBytes(folder.path("nodes.out.csv")));
    return std::vector<std::string>(lines.begin() + 1, lines.end());
  }

  static std::string resultLine(const Cells& cells, const std::string& outcome, const std::string& details = "") {
    auto values = valuesOf(cells);
    values.push_back(outcome);
    values.push_back(details);
    return quotedLine(values);
  }

  std::vector<Row> node(const std::string& serial) {
    return db.rows("SELECT SerialNo, Name, ServerType, DefaultCodec FROM Node WHERE SerialNo = '" + serial + "'");
  }
  std::vector<Row> windows(const std::string& serial) {
    return db.rows("SELECT WindowID, MessageType, BeginTime, EndTime, Interval FROM DeliveryWindow WHERE SerialNo = '" +
                   serial + "' ORDER BY MessageType");
  }
  size_t rowsOf(const std::string& table) { return db.rows("SELECT * FROM " + table).size(); }

  ProgramFolder folder;
  NodeDatabase db;
};

TEST_F(ImportTest, AddsChangesAndDeletesWithEveryActionLetter) {
  std::vector<Cells> lines = {octel("a", "1001"), veltro("A", "2002"), octel("c", "1001", {{"Name", "Renamed"}}),
                              veltro("C", "2002", {{"Codec", ""}}), octel("d", "1001"), veltro("D", "2002")};
  RunResult run = import(lines);
  EXPECT_EQ(run.status, 0);
  std::vector<std::string> expected;
  for (const auto& cells : lines) expected.push_back(resultLine(cells, "Successful"));
  EXPECT_EQ(results(), expected);
  EXPECT_EQ(rowsOf("Node") + rowsOf("OctelNode") + rowsOf("VPIMNode") + rowsOf("DeliveryWindow"), 0u);
  auto console = crlfLines(run.out);
  std::vector<std::string> tail(console.begin() + 4, console.end());
  EXPECT_EQ(tail, (std::vector<std::string>{
                      "",
                      "Processing data...",
                      "  Processing Line: 2    SerialNo = 1001",
                      "    Adding Node #1001",
                      "  Processing Line: 3    SerialNo = 2002",
                      "    Adding Node #2002",
                      "  Processing Line: 4    SerialNo = 1001",
                      "    Changing Node #1001",
                      "  Processing Line: 5    SerialNo = 2002",
                      "    Changing Node #2002",
                      "  Processing Line: 6    SerialNo = 1001",
                      "    Deleting Node #1001",
                      "  Processing Line: 7    SerialNo = 2002",
                      "    Deleting Node #2002",
                      "Finished processing data.",
                      "",
                      "Total nodes effected: 6 Successful changes: 6 Errors: 0",
                      ""}));
}

TEST_F(ImportTest, AddStoresOctelNodeWithItsWindowsAndVeltroNodeWithItsCodec) {
  import({octel("A", "0001", {{"DialSequence", ""}}), veltro("A", "7"), veltro("a", "8", {{"Codec", ""}}),
          veltro("a", "9", {{"Codec", "g729"}})});
  EXPECT_EQ(node("0001"), (std::vector<Row>{{"0001", "North", "1", ""}}));
  EXPECT_EQ(db.rows("SELECT PhoneNo, Ext, DialingSequence FROM OctelNode WHERE SerialNo = '0001'"),
            (std::vector<Row>{{"5551234", "22", "N"}}));
  EXPECT_EQ(windows("0001"), (std::vector<Row>{{"0", "0", "8:30", "5:00 pm", "15"},
                                               {"1", "1", "7:00AM", "23:00", "5"},
                                               {"2", "2", "12:00AM", "11:59PM", "240"}}));
  EXPECT_EQ(node("7")[0][3], "7");
  EXPECT_EQ(node("8")[0][3], "307");
  EXPECT_EQ(node("9")[0][3], "307");
  EXPECT_EQ(db.rows("SELECT DomainName, ProxyDomain FROM VPIMNode WHERE SerialNo = '7'"),
            (std::vector<Row>{{"vmsrv1", "maildomain"}}));
  EXPECT_TRUE(windows("7").empty());
}

TEST_F(ImportTest, EmptyWindowCellsSpanTheDayAndKeepIntervals) {
  Cells empty = {{"NormalBeginTime", ""}, {"NormalEndTime", ""}, {"NormalInterval", ""},
                 {"UrgentBeginTime", ""}, {"UrgentEndTime", ""}, {"UrgentInterval", ""},
                 {"AdministrationBeginTime", ""}, {"AdministrationEndTime", ""}, {"AdministrationInterval", ""}};
  import({octel("A", "5", empty), octel("A", "6"), octel("C", "6", empty)});
  std::vector<Row> added = {{"0", "0", "12:00AM", "11:59PM", "30"}, {"1", "1", "12:00AM", "11:59PM", "30"},
                            {"2", "2", "12:00AM", "11:59PM", "30"}};
  EXPECT_EQ(windows("5"), added);
  EXPECT_EQ(windows("6"), (std::vector<Row>{{"0", "0", "12:00AM", "11:59PM", "15"},
                                            {"1", "1", "12:00AM", "11:59PM", "5"},
                                            {"2", "2", "12:00AM", "11:59PM", "240"}}));
}

TEST_F(ImportTest, RefusedAddsLeaveTheTablesAsTheyWere) {
  db.addOctel("1", "stored");
  Cells exists = octel("A", "1");
  Cells badPhone = octel("A", "2", {{"PhoneNo", "555A"}});
  Cells noType = veltro("A", "3", {{"NodeType", ""}});
  Cells noSerial = veltro("A", "");
  RunResult run = import({exists, badPhone, noType, noSerial});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(results(), (std::vector<std::string>{
                           resultLine(exists, "Error", "Node with this serial number already exists in Node Table"),
                           resultLine(badPhone, "Error", "Invalid value in column: phoneno"),
                           resultLine(noType, "Error", "Invalid NodeType = "),
                           resultLine(noSerial, "Error", "Invalid value in column: serialno")}));
  EXPECT_EQ(db.rows("SELECT SerialNo, Name FROM Node"), (std::vector<Row>{{"1", "stored"}}));
  EXPECT_EQ(rowsOf("OctelNode"), 1u);
  EXPECT_EQ(rowsOf("DeliveryWindow"), 3u);
  EXPECT_EQ(rowsOf("VPIMNode"), 0u);
  auto console = crlfLines(run.out);
  EXPECT_NE(std::find(console.begin(), console.end(),
                      "      Error adding node #1 - Node with that serial number already exists in Node Table"),
            console.end());
  EXPECT_NE(std::find(console.begin(), console.end(),
                      "      Value failed data validation checks.  Value = 555A Column = phoneno"),
            console.end());
  std::string log = folder.logText();
  EXPECT_NE(log.find("   Info:(                          [mdlProcess]addNode)       Error adding node #1 - Node with "
                     "that serial number already exists in Node Table"),
            std::string::npos);
  EXPECT_NE(log.find("Warning:(                          [mdlProcess]addNode)       Invalid NodeType = "),
            std::string::npos);
}

TEST_F(ImportTest, ChangeFollowsTheStoredKindAndIgnoresTheOtherKindsCells) {
  db.addOctel("1", "octel");
  db.addVeltro("2", "veltro", 7);
  RunResult run = import({octel("C", "1", {{"Codec", "bad"}, {"VeltroServerName", "ignored"}, {"Extension", ""}}),
                    veltro("C", "2", {{"NodeType", "O"}, {"PhoneNo", "letters"}, {"NormalBeginTime", "99"},
                                      {"Codec", "g711"}, {"VeltroSMTPSuffix", "new.example"}})});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(db.rows("SELECT PhoneNo, Ext, DialingSequence FROM OctelNode WHERE SerialNo = '1'"),
            (std::vector<Row>{{"5551234", "", "9P"}}));
  EXPECT_EQ(node("2"), (std::vector<Row>{{"2", "South", "2", "7"}}));
  EXPECT_EQ(db.rows("SELECT DomainName, ProxyDomain FROM VPIMNode WHERE SerialNo = '2'"),
            (std::vector<Row>{{"vmsrv1", "new.example"}}));
}

TEST_F(ImportTest, FailedChangeStoresNothingOfItsLine) {
  db.addOctel("1", "octel");
  db.execute("INSERT INTO Node (SerialNo, Name, ServerType) VALUES ('3', 'no windows', 1)");
  db.execute("INSERT INTO OctelNode (SerialNo, PhoneNo, Ext, DialingSequence) VALUES ('3', '1', '1', 'N')");
  Cells badTime = octel("C", "1", {{"Name", "changed"}, {"UrgentEndTime", "24:00"}});
  Cells missing = octel("C", "404");
  Cells noWindows = octel("C", "3", {{"Name", "changed"}});
  RunResult run = import({badTime, missing, noWindows});
  EXPECT_EQ(run.status, 1);
  auto lines = results();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], resultLine(badTime, "Error", "Invalid value in column: urgentendtime"));
  EXPECT_EQ(lines[1], resultLine(missing, "Error", "Node with this serial number not found in Node Table"));
  EXPECT_EQ(lines[2].rfind(quotedLine(valuesOf(noWindows)) + ",\"Error\",\"Run-time error 3021: ", 0), 0u);
  EXPECT_EQ(node("1")[0][1], "octel");
  EXPECT_EQ(node("3")[0][1], "no windows");
  EXPECT_EQ(windows("1")[1], (Row{"1", "1", "12:00AM", "11:59PM", "30"}));
  EXPECT_NE(run.out.find("      Error changing node #404 - Node with this serial number not found in Node Table\r\n"),
            std::string::npos);
}

TEST_F(ImportTest, DeleteRemovesEveryRowOfTheNodeAndDumpsItFirst) {
  db.addOctel("1", "octel");
  db.addVeltro("2", "veltro");
  db.execute("INSERT INTO Directory (SerialNo) VALUES ('1')");
  db.execute("INSERT INTO Directory (SerialNo) VALUES ('2')");
  Cells missing = veltro("D", "3");
  RunResult run = import({octel("D", "1"), veltro("D", "2"), missing});
  EXPECT_EQ(results()[2], resultLine(missing, "Error", "Node with this serial number not found in Node Table"));
  for (const char* table : {"Node", "OctelNode", "VPIMNode", "DeliveryWindow", "Directory"}) {
    EXPECT_EQ(rowsOf(table), 0u) << table;
  }
  EXPECT_NE(run.out.find("    Deleting Node #3\r\n      Error deleting node #3 - Node not found in Node Table\r\n"),
            std::string::npos);
  auto log = logLinesWithoutTime(folder.logText());
  auto deleting = std::find(log.begin(), log.end(),
                            "    Info:(                       [mdlProcess]deleteNode)       Deleting Node: octel - #1");
  ASSERT_NE(deleting, log.end());
  std::string dumpPrefix = " VerInfo:(                       [mdlProcess]deleteNode)       ";
  EXPECT_EQ(deleting[1], dumpPrefix + std::string(80, '*'));
  EXPECT_EQ(deleting[2], dumpPrefix + "Object Recordset Dump");
  // The dump names a field as the engine spells it: PostgreSQL folds the
  // schema's unquoted names to lower case.
  std::string serialNo = db.engine() == "sqlite3" ? "SerialNo" : "serialno";
  EXPECT_EQ(deleting[4].substr(dumpPrefix.size(), 37), serialNo + std::string(28, ' ') + "1");
}

TEST_F(ImportTest, LookupThatFailsIsNeverTakenForFoundOrMissing) {
  db.addOctel("1", "octel");
  db.execute("ALTER TABLE Node RENAME TO NodeAway");
  Cells add = veltro("A", "2");
  Cells remove = octel("D", "1");
  RunResult run = import({add, remove});
  db.execute("ALTER TABLE NodeAway RENAME TO Node");
  EXPECT_EQ(run.status, 1);
  auto lines = results();
  ASSERT_EQ(lines.size(), 2u);
  std::string failed = ",\"Error\",\"Run-time error -2147467259: ";
  EXPECT_EQ(lines[0].rfind(quotedLine(valuesOf(add)) + failed, 0), 0u) << lines[0];
  EXPECT_EQ(lines[1].rfind(quotedLine(valuesOf(remove)) + failed, 0), 0u) << lines[1];
  EXPECT_EQ(rowsOf("VPIMNode"), 0u);
  EXPECT_EQ(rowsOf("OctelNode"), 1u);
  EXPECT_EQ(windows("1").size(), 3u);
}

TEST_F(ImportTest, SummaryCountsFailuresAndPointsToTheResultFile) {
  db.addVeltro("9", "stored");
  Cells badAction = veltro("X", "4");
  Cells emptyAction = veltro("", "5");
  RunResult run = import({veltro("A", "1"), badAction, veltro("A", "2"), emptyAction, veltro("C", "9")});
  EXPECT_EQ(run.status, 1);
  auto console = crlfLines(run.out);
  std::vector<std::string> tail(console.end() - 4, console.end());
  EXPECT_EQ(tail, (std::vector<std::string>{
                      "Total nodes effected: 5 Successful changes: 3 Errors: 2", "",
                      "****************ERRORS ENCOUNTERED*****************",
                      "Check the output file for more detailed error information: " + folder.path("nodes.out.csv")}));
  EXPECT_EQ(results()[1], resultLine(badAction, "Error", "Invalid value in column: action"));
  EXPECT_EQ(results()[3], resultLine(emptyAction, "Error", "Invalid value in column: action"));
  EXPECT_NE(run.out.find("    Value failed data validation checks.  Value = X Column = action\r\n"), std::string::npos);
}

TEST_F(ImportTest, HeaderOnlyFileProcessesNoLine) {
  RunResult run = import({});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("Processing data...\r\nFinished processing data.\r\n\r\n"
                         "Total nodes effected: 0 Successful changes: 0 Errors: 0\r\n"),
            std::string::npos);
  EXPECT_EQ(readBytes(folder.path("nodes.out.csv")), quotedLine(kColumns) + ",\"Result\",\"Details\"\r\n");
}

TEST_F(ImportTest, ShortLineIsNotActedOn) {
  writeBytes(folder.path("nodes.csv"), quotedLine(kColumns) + "\r\n\"V\",\"A\",\"5\"\r\n\r\n");
  RunResult run = folder.run({"/i:nodes.csv"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(results(), (std::vector<std::string>{"\"V\",\"A\",\"5\",\"Error\",\"Line has fewer values than the header\"",
                                                 "\"\",\"Error\",\"Line has fewer values than the header\""}));
  EXPECT_EQ(rowsOf("Node"), 0u);
}

TEST_F(ImportTest, ResultFileThatMayNotBeWrittenStopsBeforeReadingInput) {
  std::string input = quotedLine(kColumns) + "\r\n" + quotedLine(valuesOf(veltro("A", "1"))) + "\r\n";
  writeBytes(folder.path("nodes.csv"), input);
  writeBytes(folder.path("nodes.out.csv"), "old results");
  folder.lockForUnprivilegedRun(folder.path("nodes.out.csv"));
  RunResult run = folder.runUnprivileged({"/i:nodes.csv"});
  EXPECT_EQ(run.status, 2);
  auto console = crlfLines(run.out);
  EXPECT_EQ(std::vector<std::string>(console.end() - 2, console.end()),
            (std::vector<std::string>{
                "ERROR: Cannot open nodes.out.csv for writing.",
                "       Close any applications that may be using this file and try again or use a different filename."}));
  EXPECT_EQ(readBytes(folder.path("nodes.out.csv")), "old results");
  EXPECT_EQ(rowsOf("Node"), 0u);
}

TEST_F(ImportTest, Utf8InputGivesAUtf8ResultFileHoldingEveryValue) {
  std::string text = "\xEF\xBB\xBF" + quotedLine(kColumns) + "\r\n" +
                     quotedLine(valuesOf(veltro("A", "1", {{"Name", "Zo\xC4\x9B \xE2\x82\xAC"}}))) + "\r\n";
  writeBytes(folder.path("nodes.csv"), text);
  RunResult run = folder.run({"/i:nodes.csv"});
  EXPECT_EQ(run.status, 0);
  std::string result = readBytes(folder.path("nodes.out.csv"));
  EXPECT_EQ(result.substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_NE(result.find("\"Zo\xC4\x9B \xE2\x82\xAC\""), std::string::npos);
  EXPECT_EQ(node("1")[0][1], "Zo\xC4\x9B \xE2\x82\xAC");
}

}  // namespace
}  // namespace tarnwick::e2e
