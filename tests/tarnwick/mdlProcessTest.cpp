#include <gtest/gtest.h>

#include "RecordingEnv.h"
#include "NodeInput.h"
#include "nodes/NodeSchema.h"
#include "nodes/mdlProcess.h"
#include "ucQuillet.h"

namespace tarnwick::test {
namespace {

using namespace e2e;  // the node lines, result lines and tables of the end-to-end tests
using platform::test::readBytes;

TEST(FormatWindowTime, EmptyWindowSpansTheDayAndOneLeadingZeroIsDropped) {
  struct Case {
    const char* text;
    bool isBegin;
    const char* stored;
  } cases[] = {
      {"", true, "12:00AM"},        {"", false, "11:59PM"},   {"08:30", true, "8:30"},
      {"00:15", false, "0:15"},     {"17:45", true, "17:45"}, {"9:05pm", false, "9:05pm"},
      {"11:30:15 PM", true, "11:30:15 PM"},
  };
  for (const auto& c : cases) EXPECT_EQ(formatWindowTime(c.text, c.isBegin), c.stored) << c.text;
}

// The import and the node operations over a scratch database, with the
// reader compiled in: lines are imported as a run imports them, and the
// tables, the result file, the console and the log tell what happened.
class ImportTest : public ProgramTest, public IPrintTarget {
 protected:
  ImportTest() { objects.connection.openSqliteFile(":memory:", nodeSchema()); }

  // The import's console: no text may come while a transaction is open, or a
  // console nobody reads would hold the database's write lock.
  void WriteText(const std::string& text) override {
    EXPECT_FALSE(objects.connection.inTransaction()) << text;
    console.WriteText(text);
  }
  void Column(int32_t n) override { console.Column(n); }
  int32_t Column() const override { return console.Column(); }

  // Imports `lines` under the 19 headings; what importData returns.
  bool import(const std::vector<Lines>& lines) {
    std::string text = quotedLine(kColumns) + "\r\n";
    for (const auto& values : lines) text += quotedLine(values) + "\r\n";
    platform::test::writeBytes(env.folder.path("nodes.csv"), text);
    objects.readerControl = std::make_unique<quillet::ucQuillet>();
    return importData(objects, env.folder.path("nodes.csv"), env.folder.path("nodes.out.csv"));
  }
  Lines results() {
    Lines lines = crlfSplit(readBytes(env.folder.path("nodes.out.csv")));
    return Lines(lines.begin() + 1, lines.end());
  }
  std::string logText() { return readBytes(Log().strLogFile()); }

  // Rows of "`columns` FROM table" for the node `serial`.
  std::vector<Row> of(const std::string& columns, const std::string& serial, const std::string& order = "") {
    return rowsOf(objects.connection, "SELECT " + columns + " WHERE SerialNo = '" + serial + "'" + order);
  }
  Row node(const std::string& serial) {
    auto found = of("Name, ServerType, DefaultCodec FROM Node", serial);
    return found.empty() ? Row{} : found[0];
  }
  std::vector<Row> octelRow(const std::string& s) { return of("PhoneNo, Ext, DialingSequence FROM OctelNode", s); }
  std::vector<Row> veltroRow(const std::string& s) { return of("DomainName, ProxyDomain FROM VPIMNode", s); }
  std::vector<Row> windows(const std::string& s) {
    return of("WindowID, MessageType, BeginTime, EndTime, Interval FROM DeliveryWindow", s, " ORDER BY MessageType");
  }
  size_t rowsIn(const std::string& table) { return rowsOf(objects.connection, "SELECT * FROM " + table).size(); }
  // The row counts of the Octel, Veltro and window tables.
  std::vector<size_t> kindRows() { return {rowsIn("OctelNode"), rowsIn("VPIMNode"), rowsIn("DeliveryWindow")}; }

  ProgramObjects objects{*this};
};

const std::string kNotFound = "Node with this serial number not found in Node Table";

TEST_F(ImportTest, AddStoresNodesWithTheirWindowsCodecAndDefaults) {
  Cells emptyWindows;
  for (size_t i = 10; i < kColumns.size(); ++i) emptyWindows[kColumns[i]] = "";
  EXPECT_TRUE(import({octel("A", "0001", {{"DialSequence", ""}}), veltro("A", "7"), veltro("a", "8", {{"Codec", ""}}),
                      veltro("a", "9", {{"Codec", "g729"}}), octel("A", "5", emptyWindows), octel("A", "6"),
                      octel("C", "6", emptyWindows)}));
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
    return {
        {"0", "0", "12:00AM", "11:59PM", a}, {"1", "1", "12:00AM", "11:59PM", b}, {"2", "2", "12:00AM", "11:59PM", c}};
  };
  EXPECT_EQ(windows("5"), wholeDay("30", "30", "30"));
  EXPECT_EQ(windows("6"), wholeDay("15", "5", "240"));
}

TEST_F(ImportTest, RefusedAddsLeaveTheTablesAsTheyWere) {
  addOctel(objects.connection, "1", "stored");
  Lines exists = octel("A", "1"), badPhone = octel("A", "2", {{"PhoneNo", "555A"}}),
        noType = veltro("A", "3", {{"NodeType", ""}}), noSerial = veltro("A", "");
  EXPECT_FALSE(import({exists, badPhone, noType, noSerial}));
  EXPECT_EQ(results(), (Lines{resultLine(exists, "Error", "Node with this serial number already exists in Node Table"),
                              resultLine(badPhone, "Error", "Invalid value in column: phoneno"),
                              resultLine(noType, "Error", "Invalid NodeType = "),
                              resultLine(noSerial, "Error", "Invalid value in column: serialno")}));
  EXPECT_EQ(rowsOf(objects.connection, "SELECT SerialNo, Name FROM Node"), (std::vector<Row>{{"1", "stored"}}));
  EXPECT_EQ(kindRows(), (std::vector<size_t>{1, 0, 3}));
  EXPECT_TRUE(
      holds(env.out, "      Error adding node #1 - Node with that serial number already exists in Node Table\r\n"));
  EXPECT_TRUE(holds(logText(),
                    "   Info:(                          [mdlProcess]addNode)     Error adding node #1 - Node "
                    "with that serial number already exists in Node Table"));
  EXPECT_TRUE(holds(logText(), "Warning:(                          [mdlProcess]addNode)     Invalid NodeType = "));
}

// A change follows the stored kind and ignores the other kind's cells; one
// that fails stores nothing of its line.
TEST_F(ImportTest, ChangeFollowsTheStoredKindAndAFailedChangeStoresNothing) {
  addOctel(objects.connection, "1", "octel");
  addVeltro(objects.connection, "2", "veltro", 7);
  addOctel(objects.connection, "3", "no windows", false);
  addOctel(objects.connection, "4", "octel");
  Lines badTime = octel("C", "4", {{"Name", "changed"}, {"UrgentEndTime", "24:00"}}), missing = octel("C", "404"),
        noWindows = octel("C", "3", {{"Name", "changed"}});
  EXPECT_FALSE(import({octel("C", "1", {{"Codec", "bad"}, {"VeltroServerName", "ignored"}, {"Extension", ""}}),
                       veltro("C", "2",
                              {{"NodeType", "O"},
                               {"PhoneNo", "letters"},
                               {"NormalBeginTime", "99"},
                               {"Codec", "g711"},
                               {"VeltroSMTPSuffix", "new.example"}}),
                       badTime, missing, noWindows}));
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
  EXPECT_TRUE(holds(env.out, "      Error changing node #404 - " + kNotFound + "\r\n"));
}

TEST_F(ImportTest, DeleteRemovesEveryRowOfTheNodeAndDumpsItFirst) {
  addOctel(objects.connection, "1", "octel");
  addVeltro(objects.connection, "2", "veltro");
  for (std::string serial : {"1", "2"})
    objects.connection.execute("INSERT INTO Directory (SerialNo) VALUES (?)", {serial});
  Lines missing = veltro("D", "3");
  EXPECT_FALSE(import({octel("D", "1"), veltro("D", "2"), missing}));
  EXPECT_EQ(results()[2], resultLine(missing, "Error", kNotFound));
  for (const char* table : {"Node", "OctelNode", "VPIMNode", "DeliveryWindow", "Directory"}) {
    EXPECT_EQ(rowsIn(table), 0u) << table;
  }
  EXPECT_TRUE(
      holds(env.out, "    Deleting Node #3\r\n      Error deleting node #3 - Node not found in Node Table\r\n"));
  std::vector<std::string> messages;
  for (const auto& line : logLines()) messages.push_back(line.substr(std::min<size_t>(9, line.size())));
  auto deleting = std::find(messages.begin(), messages.end(),
                            "   Info:(                       [mdlProcess]deleteNode)     Deleting Node: octel - #1");
  ASSERT_GT(messages.end() - deleting, 4);
  std::string dumpPrefix = "VerInfo:(                       [mdlProcess]deleteNode)     ";
  EXPECT_EQ(deleting[1], dumpPrefix + std::string(80, '*'));
  EXPECT_EQ(deleting[2], dumpPrefix + "Object Recordset Dump");
  EXPECT_EQ(deleting[4], dumpPrefix + "SerialNo" + std::string(28, ' ') + "1");
}

TEST_F(ImportTest, LookupThatFailsIsNeverTakenForFoundOrMissing) {
  addOctel(objects.connection, "1", "octel");
  objects.connection.execute("ALTER TABLE Node RENAME TO NodeAway");
  Lines add = veltro("A", "2"), remove = octel("D", "1");
  EXPECT_FALSE(import({add, remove}));
  objects.connection.execute("ALTER TABLE NodeAway RENAME TO Node");
  Lines lines = results();
  ASSERT_EQ(lines.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_TRUE(lines[i].starts_with(quotedLine(i ? remove : add) + ",\"Error\",\"Run-time error -2147467259: "))
        << lines[i];
  }
  EXPECT_EQ(kindRows(), (std::vector<size_t>{1, 0, 3}));
}

// Reads failing after the headings and three lines, as on a failing disk:
// those lines keep their results, the failure is shown and logged, and the
// summary follows; no line is lost and none made up from a failed read.
TEST_F(ImportTest, InputFailingMidRunEndsTheImportAfterTheLinesRead) {
  env.failingFile = env.folder.path("nodes.csv");
  env.readableLines = 1 + 3;
  std::vector<Lines> lines;
  for (const auto& line : mixedAdds(6)) lines.push_back(line.values());
  lines[1] = veltro("A", "1");
  EXPECT_FALSE(import(lines));
  EXPECT_EQ(results(),
            (Lines{resultLine(lines[0], "Successful"),
                   resultLine(lines[1], "Error", "Node with this serial number already exists in Node Table"),
                   resultLine(lines[2], "Successful")}));
  EXPECT_TRUE(holds(env.out, "ERROR: Cannot read " + env.failingFile + ".\r\n       Path/File access error\r\n"));
  EXPECT_TRUE(holds(env.out, importSummary(3, 1)));
  EXPECT_TRUE(holds(logText(), "Err.Number = 75 Err.Description = Path/File access error Line: 61"));
  EXPECT_EQ(rowsIn("Node"), 2u);
}

TEST_F(ImportTest, HeaderOnlyFileProcessesNoLine) {
  EXPECT_TRUE(import({}));
  EXPECT_EQ(env.out, "\r\nProcessing data...\r\nFinished processing data.\r\n\r\n" + importSummary(0, 0) + "\r\n");
  EXPECT_EQ(readBytes(env.folder.path("nodes.out.csv")), quotedLine(kColumns) + ",\"Result\",\"Details\"\r\n");
}

// The output file given, each line is written whole or logged as an error; an
// empty value list starts the line with its outcome.
TEST_F(ImportTest, WriteOutputQuotesEveryFieldAndAddsOutcomeAndDetailsWhenGiven) {
  std::string path = env.folder.path("out.csv");
  EXPECT_FALSE(writeOutput(objects, {"x"}));
  objects.outputFile = env.openExclusiveTextFile(path, platform::TextEncoding::Cp1252);
  EXPECT_TRUE(writeOutput(objects, {"a,b", "say \"hi\"", ""}, false, std::string()));
  EXPECT_TRUE(writeOutput(objects, {"x"}, true, std::string("why")));
  EXPECT_TRUE(writeOutput(objects, {}, true, std::string("none")));
  EXPECT_EQ(lastMessages(2), (std::vector<std::string>{
                                 "Err.Number = 5 Err.Description = Invalid procedure call or argument Line: 2",
                                 ",\"Error\",\"none\""}));
  EXPECT_TRUE(writeOutput(objects, {"y"}));
  EXPECT_EQ(logLines().back().substr(9), "VerInfo:(" + std::string(22, ' ') + "[mdlProcess]writeOutput) \"y\"");
  EXPECT_EQ(
      readBytes(path),
      "\"a,b\",\"say \"hi\"\",\"\",\"Successful\",\"\"\r\n\"x\",\"Error\",\"why\"\r\n,\"Error\",\"none\"\r\n\"y\"\r\n");
}

}  // namespace
}  // namespace tarnwick::test
