// The import and the node operations over an in-memory database, the reader compiled in: the result file, the tables,
// the console and the log tell what importing a file did. (Whole result lines are the end-to-end tests'.)
#include <gtest/gtest.h>

#include "NodeInput.h"
#include "RecordingEnv.h"
#include "nodes/NodeSchema.h"
#include "nodes/mdlProcess.h"
#include "ucQuillet.h"

namespace tarnwick::test {
namespace {

using namespace e2e;  // the node lines and tables of the end-to-end tests
using platform::kMaxLineBytes;
using platform::test::readBytes;
using Nodes = std::map<std::string, std::string>;

// An input file and what importing it does: the details of each result line ("" for success), the nodes it changes (""
// for one it removes), and parts of the console text and the log.
struct ImportCase {
  std::string name, input;
  Lines details;
  Nodes stored;
  std::string console = "", logged = "";
};

const std::string kNotFound = "Node with this serial number not found in Node Table";
const std::string kExists = "Node with this serial number already exists in Node Table";
const std::string kOctelAdded =
    "North|1||5551234|22|9P|||0 0 8:30-5:00 pm 15|1 1 7:00AM-23:00 5|2 2 12:00AM-11:59PM 240";
const std::string kVeltroAdded = "South|2|7||||vmsrv1|maildomain";
const std::string kWholeDay = "|0 0 12:00AM-11:59PM 30|1 1 12:00AM-11:59PM 30|2 2 12:00AM-11:59PM 30";
// The nodes the fixture stores; node 3 lacks its windows.
const Nodes kStoredBefore = {{"1", "octel|1||5551234|22|N||" + kWholeDay},
                             {"2", "veltro|2|7||||vmsrv1|maildomain"},
                             {"3", "no windows|1||5551234|22|N||"},
                             {"4", "octel|1||5551234|22|N||" + kWholeDay}};

std::vector<ImportCase> importCases() {
  Cells noWindows;
  for (size_t i = 10; i < kColumns.size(); ++i) noWindows[kColumns[i]] = "";
  const std::string header = quotedLine(kColumns) + "\r\n", noValue = "Line has no value for column: ";
  const Lines octel20 = octel("A", "20");
  // A line with the cell VeltroServerName unquoted, or without the Codec column.
  auto unquotedServer = [](const Lines& cells) {
    return quotedLine({cells.begin(), cells.begin() + 4}) + "," + cells[4] + "," +
           quotedLine({cells.begin() + 5, cells.end()}) + "\r\n";
  };
  auto withoutCodec = [](Lines cells) {
    cells.erase(cells.begin() + 6);
    return quotedLine(cells) + "\r\n";
  };
  std::vector<ImportCase> cases = {
      // empty window cells span the day; an add takes interval 30, a change keeps the stored one
      {"adds",
       inputText({octel("A", "0001", {{"DialSequence", ""}, {"NormalEndTime", "00:15"}}), veltro("A", "7"),
                  veltro("a", "8", {{"Codec", ""}}), veltro("a", "9", {{"Codec", "g729"}}), octel("A", "5", noWindows),
                  octel("A", "6"), octel("C", "6", noWindows)}),
       Lines(7),
       {{"0001", "North|1||5551234|22|N|||0 0 8:30-0:15 15|1 1 7:00AM-23:00 5|2 2 12:00AM-11:59PM 240"},
        {"7", kVeltroAdded},
        {"8", "South|2|307||||vmsrv1|maildomain"},
        {"9", "South|2|307||||vmsrv1|maildomain"},
        {"5", "North|1||5551234|22|9P||" + kWholeDay},
        {"6", "North|1||5551234|22|9P|||0 0 12:00AM-11:59PM 15|1 1 12:00AM-11:59PM 5|2 2 12:00AM-11:59PM 240"}}},
      // each column's rule refuses a value just outside it
      {"refused adds",
       inputText({octel("A", "1"), octel("A", "20", {{"PhoneNo", "555A"}}), veltro("A", "30", {{"NodeType", ""}}),
                  veltro("A", ""), octel("A", "12345678901"), octel("A", "21", {{"NormalInterval", "241"}}),
                  octel("A", "22", {{"UrgentInterval", "0"}}), octel("A", "23", {{"Extension", "12345678"}}),
                  octel("A", "24", {{"DialSequence", "9,P"}}),
                  octel("A", "25", {{"AdministrationBeginTime", "13:00PM"}}), veltro("A", "31", {{"Codec", "G722"}}),
                  veltro("A", "32", {{"Name", std::string(21, 'n')}}),
                  veltro("A", "33", {{"VeltroServerName", std::string(256, 's')}})}),
       {kExists, "Invalid value in column: phoneno", "Invalid NodeType = ", "Invalid value in column: serialno",
        "Invalid value in column: serialno", "Invalid value in column: normalinterval",
        "Invalid value in column: urgentinterval", "Invalid value in column: extension",
        "Invalid value in column: dialsequence", "Invalid value in column: administrationbegintime",
        "Invalid value in column: codec", "Invalid value in column: name", "Invalid value in column: veltroservername"},
       {},
       "      Error adding node #1 - Node with that serial number already exists in Node Table\r\n",
       "Warning:(                          [mdlProcess]addNode)     Invalid NodeType = \r\n"},
      // a change follows the stored kind and ignores the other kind's cells; one that fails stores nothing
      {"changes",
       inputText(
           {octel("C", "1", {{"Codec", "bad"}, {"VeltroServerName", "ignored"}, {"Extension", ""}}),
            veltro("C", "2", {{"NodeType", "O"}, {"PhoneNo", "letters"}, {"Codec", "g729"}, {"VeltroSMTPSuffix", "x"}}),
            octel("C", "4", {{"Name", "changed"}, {"UrgentEndTime", "24:00"}}), octel("C", "404"),
            octel("C", "3", {{"Name", "changed"}})}),
       {"", "", "Invalid value in column: urgentendtime", kNotFound,
        "Run-time error 3021: Either BOF or EOF is True, or the current record has been deleted. Requested operation "
        "requires a current record."},
       {{"1", "North|1||5551234||9P|||0 0 8:30-5:00 pm 15|1 1 7:00AM-23:00 5|2 2 12:00AM-11:59PM 240"},
        {"2", "South|2|307||||vmsrv1|x"}},
       "      Error changing node #404 - " + kNotFound + "\r\n"},
      // a delete removes every row of the node, its directory entries too, and dumps it first
      {"deletes",
       inputText({octel("D", "1"), veltro("D", "2"), veltro("D", "404")}),
       {"", "", kNotFound},
       {{"1", ""}, {"2", ""}},
       "    Deleting Node #404\r\n      Error deleting node #404 - Node not found in Node Table\r\n",
       "deleteNode)     Deleting Node: octel - #1\r\n00:03:00 VerInfo:(                       [mdlProcess]deleteNode)  "
       "   " +
           std::string(80, '*') + "\r\n"},
      {"header only", header, {}, {}, "Processing data...\r\nFinished processing data.\r\n\r\n" + importSummary(0, 0)},
      // a NUL byte refuses the line instead of cutting its value short
      {"NUL",
       inputText({veltro("A", "10", {{"Name", std::string("ab\0cd", 5)}}),
                  veltro("A", "11", {{"PhoneNo", std::string("1\0", 2)}}), veltro("A", "12")}),
       {"Line holds a NUL character", "Line holds a NUL character", ""},
       {{"12", kVeltroAdded}}},
      // each byte that is not UTF-8 reads, and is stored, as U+FFFD
      {"not UTF-8",
       "\xEF\xBB\xBF" +
           inputText({veltro("A", "10", {{"Name", "ab\xFF\xFE"}}), veltro("A", "11", {{"Name", "\xC3("}})}),
       Lines(2),
       {{"10", "ab\uFFFD\uFFFD|2|7||||vmsrv1|maildomain"}, {"11", "\uFFFD(|2|7||||vmsrv1|maildomain"}}},
      // text columns keep quotes, semicolons and comment markers as typed, a quote inside an unquoted field too; strict
      // columns refuse them, and a delete whose serial number fails its rule finds no node
      {"SQL text",
       header +
           unquotedServer(veltro("A", "10",
                                 {{"Name", "';DROP TABLE Node--"},
                                  {"VeltroServerName", "x\"; DELETE FROM Node; /*"},
                                  {"VeltroSMTPSuffix", "*/ '' OR 1=1; --"}})) +
           unquotedServer(veltro("C", "10", {{"Name", "a';--\"b"}, {"VeltroSMTPSuffix", "x' WHERE '1'='1"}})) +
           unquotedServer(veltro("D", "1' OR '1'='1")),
       {"", "", kNotFound},
       {{"10", "a';--\"b|2|7||||vmsrv1|x' WHERE '1'='1"}},
       "    Deleting Node #\r\n      Error deleting node # - Node not found in Node Table\r\n",
       "deleteNode)     Err.Number = -2147220499 Err.Description = Value failed data validation Line: 2"},
      // a value beyond the header's count is refused, empty ones are not; a line with fewer values fails only when its
      // action needs a value it lacks
      {"more and fewer values",
       header + "\"O\",\"A\",\"20\",North, East," + quotedLine(Lines(octel20.begin() + 4, octel20.end())) + "\r\n" +
           quotedLine(veltro("A", "21")) + ",\"\",\"\"\r\nV,D,2\r\n\"V\",\"A\",\"23\",\"South\",\"vmsrv1\"," +
           "\"maildomain\",\"G711\"\r\n\"O\",\"A\",\"22\",\"no phone\"\r\n\r\n",
       {"Line has more values than the header", "", "", "", noValue + "phoneno", noValue + "action"},
       {{"21", kVeltroAdded}, {"2", ""}, {"23", kVeltroAdded}}},
      // without a column the other columns' rules still hold
      {"without Codec",
       withoutCodec(kColumns) + withoutCodec(octel("A", "10")) + withoutCodec(octel("A", "11", {{"PhoneNo", "abc"}})) +
           withoutCodec(veltro("A", "12")) + withoutCodec(octel("D", "4")),
       {"", "Invalid value in column: phoneno", "Run-time error -2147220500: Column Not Found.", ""},
       {{"10", kOctelAdded}, {"4", ""}}},
      // a line longer than 1 MiB is refused, its values cut to the header's count; 1 MiB of commas is read whole
      {"long lines",
       header + quotedLine({"V", "A", "1"}) + ",\"" + std::string(2 * kMaxLineBytes, 'x') + "\"\r\n" +
           std::string(kMaxLineBytes, ',') + "\r\n" + quotedLine(veltro("A", "30")) + "\r\n",
       {"Line is longer than 1 MiB", "Invalid value in column: action", ""},
       {{"30", kVeltroAdded}}},
      {"header ending in a comma",
       quotedLine(kColumns) + ",\r\n" + quotedLine(octel("A", "10")) + "\r\n",
       Lines(1),
       {{"10", kOctelAdded}}},
  };
  // lines too short to hold an Action never reach the error limit
  ImportCase shortLines{"no error limit", header, Lines(11, noValue + "action"), {{"10", kVeltroAdded}}};
  for (int i = 0; i < 11; ++i) shortLines.input += "O\r\n";
  shortLines.input += quotedLine(veltro("A", "10")) + "\r\n";
  shortLines.details.push_back("");
  cases.push_back(shortLines);
  return cases;
}

class ImportTest : public ProgramTest, public IPrintTarget {
 protected:
  ImportTest() { openDatabase(); }

  // A new database holding the nodes of kStoredBefore, and directory entries of 1 and 2.
  void openDatabase() {
    objects = std::make_unique<ProgramObjects>(*this);
    objects->connection.openSqliteFile(":memory:", nodeSchema());
    addOctel(objects->connection, "1", "octel");
    addVeltro(objects->connection, "2", "veltro", 7);
    addOctel(objects->connection, "3", "no windows", false);
    addOctel(objects->connection, "4", "octel");
    for (std::string serial : {"1", "2"})
      objects->connection.execute("INSERT INTO Directory (SerialNo) VALUES (?)", {serial});
  }

  // No console text while a transaction is open: a console nobody reads would hold the write lock.
  void WriteText(const std::string& text) override {
    EXPECT_FALSE(objects->connection.inTransaction()) << text;
    console.WriteText(text);
  }
  void Column(int32_t n) override { console.Column(n); }
  int32_t Column() const override { return console.Column(); }

  // Imports a file of `bytes`; what importData returns.
  bool import(const std::string& bytes) {
    platform::test::writeBytes(env.folder.path("nodes.csv"), bytes);
    objects->readerControl = std::make_unique<quillet::ucQuillet>();
    return importData(*objects, env.folder.path("nodes.csv"), env.folder.path("nodes.out.csv"));
  }
  // The details of each result line, "" for a successful one.
  Lines details() {
    Lines lines = crlfLines(readBytes(env.folder.path("nodes.out.csv"))), details;
    for (size_t i = 1; i < lines.size(); ++i) {
      const std::string& line = lines[i];
      const size_t last = line.rfind("\",\""), result = line.rfind("\",\"", last - 1) + 3;
      EXPECT_EQ(line.substr(result, last - result), last + 4 == line.size() ? "Successful" : "Error") << line;
      details.push_back(line.substr(last + 3, line.size() - last - 4));
    }
    return details;
  }
  std::string logText() { return readBytes(Log().strLogFile()); }

  std::unique_ptr<ProgramObjects> objects;
};

TEST_F(ImportTest, EveryLineIsAnsweredAndOnlyWholeNodesAreStored) {
  for (const ImportCase& c : importCases()) {
    SCOPED_TRACE(c.name);
    openDatabase();
    env.out.clear();
    const size_t logged = logText().size();
    EXPECT_EQ(import(c.input), std::count(c.details.begin(), c.details.end(), "") == std::ssize(c.details));
    EXPECT_EQ(details(), c.details);
    Nodes expected = kStoredBefore;
    for (const auto& [serial, node] : c.stored)
      node.empty() ? (void)expected.erase(serial) : (void)(expected[serial] = node);
    EXPECT_EQ(storedNodes(objects->connection), expected);
    EXPECT_EQ(brokenNodes(objects->connection), std::vector<Row>{{"3"}});
    EXPECT_TRUE(holds(env.out, c.console)) << env.out;
    EXPECT_TRUE(holds(logText().substr(logged), c.logged)) << logText().substr(logged);
  }
}

TEST_F(ImportTest, LookupThatFailsIsNeverTakenForFoundOrMissing) {
  objects->connection.execute("ALTER TABLE Node RENAME TO NodeAway");
  EXPECT_FALSE(import(inputText({veltro("A", "10"), octel("D", "1")})));
  objects->connection.execute("ALTER TABLE NodeAway RENAME TO Node");
  EXPECT_EQ(details(), Lines(2, "Run-time error -2147467259: sqlite3_statement_backend::prepare: no such table: Node"));
  EXPECT_EQ(storedNodes(objects->connection), kStoredBefore);
}

}  // namespace
}  // namespace tarnwick::test
