// Hostile and broken input end to end: binary garbage, NUL bytes, a 10 MB
// line, 100,000 columns, missing headings, bytes that are not UTF-8 after a
// UTF-8 mark, SQL-looking text and long serial numbers. No run may crash;
// every line read gets its result line, and a refused line says why.
#include <random>
#include <set>

#include "NodeInput.h"
#include "StoredNodes.h"
#include "e2e/ProgramRun.h"

namespace tarnwick::reliability {
namespace {

using e2e::NodeDatabase;
using e2e::ProgramFolder;
using e2e::readBytes;
using e2e::Row;
using e2e::RunResult;
using e2e::writeBytes;

const std::string kFewerValues = "Line has fewer values than the header";
const std::string kColumnNotFound = "Run-time error -2147220500: Column Not Found.";
const std::string kHoldsNul = "Line holds a NUL character";

std::string randomBytes(unsigned seed, size_t count) {
  std::mt19937 generator(seed);
  std::uniform_int_distribution<int> byte(0, 255);
  std::string bytes(count, '\0');
  for (auto& b : bytes) b = static_cast<char>(byte(generator));
  return bytes;
}

// How many lines the reader finds after the first: a line ends at LF, and
// a last line without one still counts.
size_t dataLinesOf(const std::string& bytes) {
  size_t lines = static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
  if (!bytes.empty() && bytes.back() != '\n') ++lines;
  return lines - 1;
}

std::string withLineEnds(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

class HostileInputTest : public ::testing::Test {
 protected:
  HostileInputTest() { e2e::emptyServerDatabase(); }

  RunResult import(const std::string& bytes) {
    writeBytes(folder.path("nodes.csv"), bytes);
    return folder.run({"/i:nodes.csv"});
  }

  std::vector<std::string> results() { return dataLines(readBytes(folder.path("nodes.out.csv"))); }

  Tables tables() {
    NodeDatabase db(folder);
    return readTables(db);
  }

  // The run ended by itself, gave every line read its result, stored only
  // what it reported as successful, and left every node whole.
  void expectEveryLineAccountedFor(const RunResult& run, size_t dataLines) {
    EXPECT_LT(run.status, 128) << "the program was ended by a signal";
    auto lines = results();
    EXPECT_EQ(lines.size(), dataLines);
    size_t successes = static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
      return line.ends_with(",\"Successful\",\"\"");
    }));
    EXPECT_NE(run.out.find("Total nodes effected: " + std::to_string(dataLines) + " Successful changes: " +
                           std::to_string(successes) + " Errors: " + std::to_string(dataLines - successes) + "\r\n"),
              std::string::npos);
    Tables stored = tables();
    EXPECT_EQ(stored.defects, std::vector<std::string>{});
    EXPECT_EQ(stored.nodes.size(), successes);
  }

  ProgramFolder folder;
};

TEST_F(HostileInputTest, BinaryGarbageLinesAreEachAnsweredAndNothingIsStored) {
  const struct {
    const char* where;
    std::string bytes;
  } cases[] = {{"after the headings", inputText({}) + randomBytes(7, 64 * 1024)},
               {"as the headings too", randomBytes(11, 64 * 1024)}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.where);
    RunResult run = import(c.bytes);
    EXPECT_EQ(run.status, 1);
    expectEveryLineAccountedFor(run, dataLinesOf(c.bytes));
    for (const auto& line : results()) EXPECT_NE(line.find("\",\"Error\",\""), std::string::npos) << line;
  }
}

TEST_F(HostileInputTest, LineHoldingANulIsRefusedInsteadOfStoredCutShort) {
  NodeLine inName = veltroLine("A", "1", std::string("ab\0cd", 5));
  NodeLine inUnusedCell = veltroLine("A", "2", "South");
  inUnusedCell.phone = std::string("1\0", 2);
  NodeLine clean = veltroLine("A", "3", "clean");
  RunResult run = import(inputText({inName, inUnusedCell, clean}));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(results(), (std::vector<std::string>{resultLine(inName.values(), "Error", kHoldsNul),
                                                 resultLine(inUnusedCell.values(), "Error", kHoldsNul),
                                                 resultLine(clean.values(), "Successful")}));
  Tables stored = tables();
  EXPECT_EQ(stored.nodes.size(), 1u);
  EXPECT_EQ(stored.nodes["3"].name, "clean");
}

TEST_F(HostileInputTest, TenMegabyteLinesAreReadWholeAndJudgedByTheirRules) {
  const std::string huge(10 * 1024 * 1024, 'x');
  NodeLine hugeName = veltroLine("A", "1", huge);
  NodeLine hugeUnusedCell = octelLine("A", "2", "North");
  hugeUnusedCell.serverName = huge;
  NodeLine after = veltroLine("A", "3", "after");
  std::string text = quotedLine(columnNames()) + "\r\n" + quotedLine(hugeName.values()) + "\r\n" +
                     quotedLine(hugeUnusedCell.values()) + "\r\n" + huge + "\r\n" + quotedLine(after.values()) + "\r\n";
  RunResult run = import(text);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(results(), (std::vector<std::string>{
                           resultLine(hugeName.values(), "Error", "Invalid value in column: name"),
                           resultLine(hugeUnusedCell.values(), "Successful"),
                           quotedLine({huge}) + ",\"Error\",\"" + kFewerValues + "\"",
                           resultLine(after.values(), "Successful")}));
  expectEveryLineAccountedFor(run, 4);
}

TEST_F(HostileInputTest, HundredThousandValuesOnALineAreRepeatedWhole) {
  NodeLine node = veltroLine("A", "1", "wide");
  std::vector<std::string> values = node.values();
  for (int i = 0; values.size() < 100000; ++i) values.push_back("extra" + std::to_string(i));
  RunResult run = import(quotedLine(columnNames()) + "\r\n" + quotedLine(values) + "\r\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(results(), std::vector<std::string>{resultLine(values, "Successful")});
  EXPECT_EQ(tables().nodes["1"].name, "wide");
}

// The reader numbers columns with 16 bits: headings it cannot number
// completely are refused before any line is read.
TEST_F(HostileInputTest, HundredThousandHeadingsAreRefusedBeforeAnyLine) {
  std::vector<std::string> headings = columnNames();
  for (int i = 0; headings.size() < 100000; ++i) headings.push_back("Extra" + std::to_string(i));
  RunResult run = import(quotedLine(headings) + "\r\n" + quotedLine(veltroLine("A", "1", "wide").values()) + "\r\n");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(lastLines(run.out, 2), (std::vector<std::string>{"ERROR: Cannot read " + folder.path("nodes.csv") + ".",
                                                             "       Overflow"}));
  EXPECT_EQ(readBytes(folder.path("nodes.out.csv")), "");
  EXPECT_TRUE(tables().nodes.empty());
}

// Without a heading, a request that needs its column fails whole; requests
// that do not need it go through.
TEST_F(HostileInputTest, MissingHeadingsFailOnlyTheRequestsThatNeedThem) {
  {
    NodeDatabase db(folder);
    db.addOctel("9", "stored");
  }
  const struct {
    std::set<std::string> missing;
    std::vector<NodeLine> lines;
    std::vector<std::string> outcomes;
  } cases[] = {
      {{"PhoneNo", "NormalInterval"},
       {octelLine("A", "1", "octel"), veltroLine("A", "2", "veltro"), octelLine("D", "9", "")},
       {"Error", "Successful", "Successful"}},
      {{"Action"}, {veltroLine("A", "3", "veltro"), octelLine("D", "1", "")}, {"Error", "Error"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(*c.missing.begin());
    auto keep = [&](const std::vector<std::string>& cells) {
      std::vector<std::string> kept;
      for (size_t i = 0; i < cells.size(); ++i) {
        if (!c.missing.count(columnNames()[i])) kept.push_back(cells[i]);
      }
      return kept;
    };
    std::vector<std::string> lines = {quotedLine(keep(columnNames()))};
    std::vector<std::string> expected;
    for (size_t i = 0; i < c.lines.size(); ++i) {
      lines.push_back(quotedLine(keep(c.lines[i].values())));
      bool failed = c.outcomes[i] == "Error";
      expected.push_back(resultLine(keep(c.lines[i].values()), c.outcomes[i], failed ? kColumnNotFound : ""));
    }
    RunResult run = import(withLineEnds(lines));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(results(), expected);
  }
  Tables stored = tables();
  EXPECT_EQ(stored.defects, std::vector<std::string>{});
  std::vector<std::string> serials;
  for (const auto& [serial, node] : stored.nodes) serials.push_back(serial);
  EXPECT_EQ(serials, std::vector<std::string>{"2"});
}

// Each byte that is not UTF-8 reads as U+FFFD: what is stored is what the
// result file shows, and the result file stays well-formed UTF-8.
TEST_F(HostileInputTest, BytesThatAreNotUtf8AfterAUtf8MarkAreStoredAsTheResultFileShowsThem) {
  NodeLine badBytes = veltroLine("A", "1", "ab\xFF\xFE" "cd");
  NodeLine cutSequence = veltroLine("A", "2", "\xC3(");
  RunResult run = import("\xEF\xBB\xBF" + inputText({badBytes, cutSequence}));
  EXPECT_EQ(run.status, 0);
  const std::string replacement = "\xEF\xBF\xBD";
  badBytes.name = "ab" + replacement + replacement + "cd";
  cutSequence.name = replacement + "(";
  std::string resultText = readBytes(folder.path("nodes.out.csv"));
  EXPECT_EQ(resultText.substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_EQ(results(), (std::vector<std::string>{resultLine(badBytes.values(), "Successful"),
                                                 resultLine(cutSequence.values(), "Successful")}));
  Tables stored = tables();
  EXPECT_EQ(stored.nodes["1"].name, badBytes.name);
  EXPECT_EQ(stored.nodes["2"].name, cutSequence.name);
}

// Text columns keep quotes, semicolons and comment markers as typed; values
// reach the database as parameters, so no statement changes and no other
// row is touched. Columns with strict rules refuse such text.
TEST_F(HostileInputTest, SqlLookingTextIsStoredVerbatimAndChangesNoStatement) {
  {
    NodeDatabase db(folder);
    db.addOctel("500", "keep");
  }
  NodeLine added = veltroLine("A", "7", "';DROP TABLE Node--");
  added.serverName = "x\"; DELETE FROM Node; /*";  // a quote inside an unquoted field stays
  added.smtpSuffix = "*/ '' OR 1=1; --";
  NodeLine changed = veltroLine("C", "7", "a';--\"b");
  changed.serverName = added.serverName;
  changed.smtpSuffix = "x' WHERE '1'='1";
  NodeLine strict = octelLine("A", "8", "o'k");
  strict.phone = "1;--";
  NodeLine deleteAll = veltroLine("D", "1' OR '1'='1", "");
  auto fields = [](const NodeLine& line) {
    auto cells = line.values();
    std::string text = "\"" + cells[0] + "\"";
    for (size_t i = 1; i < cells.size(); ++i) text += i == 4 ? "," + cells[i] : ",\"" + cells[i] + "\"";
    return text;
  };
  RunResult run = import(withLineEnds({quotedLine(columnNames()), fields(added), fields(changed), fields(strict),
                                       fields(deleteAll)}));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(results(), (std::vector<std::string>{
                           resultLine(added.values(), "Successful"), resultLine(changed.values(), "Successful"),
                           resultLine(strict.values(), "Error", "Invalid value in column: phoneno"),
                           resultLine(deleteAll.values(), "Error", "Invalid value in column: serialno")}));
  NodeDatabase db(folder);
  EXPECT_EQ(db.rows("SELECT Node.Name, DomainName, ProxyDomain FROM Node JOIN VPIMNode ON Node.SerialNo = "
                    "VPIMNode.SerialNo"),
            (std::vector<Row>{{changed.name, changed.serverName, changed.smtpSuffix}}));
  Tables stored = readTables(db);
  EXPECT_EQ(stored.defects, std::vector<std::string>{});
  EXPECT_EQ(stored.nodes.size(), 2u);
  EXPECT_EQ(stored.nodes["500"].name, "keep");
  EXPECT_EQ(db.rows("SELECT COUNT(*) FROM Directory"), std::vector<Row>{{"0"}});
}

// A serial number is text of up to ten digits: leading zeros make another
// node, and every statement finds exactly the node it names.
TEST_F(HostileInputTest, TenDigitSerialNumbersKeepTheirLeadingZeros) {
  std::vector<NodeLine> lines = {veltroLine("A", "0000012345", "zeros"), octelLine("A", "12345", "plain"),
                                 veltroLine("A", "9999999999", "largest"), veltroLine("A", "00000123456", "eleven"),
                                 veltroLine("C", "0000012345", "changed"), octelLine("D", "12345", "")};
  RunResult run = import(inputText(lines));
  EXPECT_EQ(run.status, 1);
  auto written = results();
  ASSERT_EQ(written.size(), lines.size());
  EXPECT_EQ(written[3], resultLine(lines[3].values(), "Error", "Invalid value in column: serialno"));
  Tables stored = tables();
  EXPECT_EQ(stored.defects, std::vector<std::string>{});
  EXPECT_EQ(stored.nodes.size(), 2u);
  EXPECT_EQ(stored.nodes["0000012345"].name, "changed");
  EXPECT_EQ(stored.nodes["9999999999"].name, "largest");
}

}  // namespace
}  // namespace tarnwick::reliability
