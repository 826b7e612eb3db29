// Hostile and broken input end to end. No run may crash; every line read
// gets its result line, and only whole nodes are stored.
#include <random>
#include <set>

#include "e2e/ProgramRun.h"

namespace tarnwick::e2e {
namespace {

const std::string kFewerValues = "Line has fewer values than the header";
const std::string kHoldsNul = "Line holds a NUL character";
const std::string kBom = "\xEF\xBB\xBF";

std::string withLineEnds(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

class HostileInputTest : public ::testing::Test {
 protected:
  // Imports `bytes` in a new folder holding the Octel nodes `before`.
  RunResult import(const std::string& bytes, const std::vector<NodeLine>& before = {}) {
    emptyServerDatabase();
    folder = std::make_unique<ProgramFolder>();
    NodeDatabase db(*folder);
    for (const auto& node : before) db.addOctel(node.serial, node.name);
    writeBytes(folder->path("nodes.csv"), bytes);
    return folder->run({"/i:nodes.csv"});
  }

  // The tables hold whole nodes only, those of `after`.
  void expectStored(const std::vector<NodeLine>& after) {
    NodeDatabase db(*folder);
    EXPECT_EQ(brokenNodes(db), std::vector<Row>{});
    std::map<std::string, std::string> expected;
    for (const auto& line : after) expected[line.serial] = storedAs(line);
    EXPECT_EQ(storedNodes(db), expected);
  }

  std::vector<std::string> results() { return resultLines(folder->path("nodes.out.csv")); }
  std::unique_ptr<ProgramFolder> folder;
};

TEST_F(HostileInputTest, BinaryGarbageLinesAreEachAnsweredAndNothingIsStored) {
  for (bool withHeadings : {true, false}) {
    std::mt19937 generator(withHeadings ? 7 : 11);
    std::string bytes = withHeadings ? inputText({}) : "";
    while (bytes.size() < 64 * 1024) bytes += static_cast<char>(generator());
    RunResult run = import(bytes);
    EXPECT_EQ(run.status, 1);
    expectStored({});
    // A line ends at LF; a last line without one still counts.
    size_t lines = static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + (bytes.back() != '\n') - 1;
    EXPECT_EQ(results().size(), lines);
    EXPECT_TRUE(holds(run.out, importSummary(lines, lines)));
    for (const auto& line : results()) EXPECT_TRUE(holds(line, "\",\"Error\",\"")) << line;
  }
}

// Every case: its input, the Octel nodes stored before, the exit status,
// the result lines, and the nodes stored after.
struct HostileCase {
  std::string name, input;
  std::vector<NodeLine> before;
  int status;
  std::vector<std::string> results;
  std::vector<NodeLine> after;
  std::string refusal = "";  // what the console shows (default: the summary of the results)
};

std::vector<HostileCase> hostileCases() {
  std::vector<HostileCase> cases;
  {  // a NUL byte refuses the line instead of cutting its value short
    NodeLine inName = veltroLine("A", "1", std::string("ab\0cd", 5)), inUnusedCell = veltroLine("A", "2", "South"),
             clean = veltroLine("A", "3", "clean");
    inUnusedCell.phone = std::string("1\0", 2);
    cases.push_back({"NUL", inputText({inName, inUnusedCell, clean}), {}, 1,
                     {resultLine(inName.values(), "Error", kHoldsNul),
                      resultLine(inUnusedCell.values(), "Error", kHoldsNul), resultLine(clean.values(), "Successful")},
                     {clean}});
  }
  {  // 10 MB lines are read whole and judged by their rules
    const std::string huge(10 * 1024 * 1024, 'x');
    NodeLine hugeName = veltroLine("A", "1", huge), hugeUnusedCell = octelLine("A", "2", "North"),
             after = veltroLine("A", "3", "after");
    hugeUnusedCell.serverName = huge;
    cases.push_back({"10 MB", withLineEnds({quotedLine(kColumns), quotedLine(hugeName.values()),
                                            quotedLine(hugeUnusedCell.values()), huge, quotedLine(after.values())}),
                     {}, 1,
                     {resultLine(hugeName.values(), "Error", "Invalid value in column: name"),
                      resultLine(hugeUnusedCell.values(), "Successful"),
                      resultLine({huge}, "Error", kFewerValues), resultLine(after.values(), "Successful")},
                     {hugeUnusedCell, after}});
  }
  {  // 100,000 values on a line are repeated whole; 100,000 headings are
     // more than the reader numbers (16 bits) and refused before any line
    NodeLine wide = veltroLine("A", "1", "wide");
    std::vector<std::string> values = wide.values(), headings = kColumns;
    for (int i = 0; values.size() < 100000; ++i) values.push_back("extra" + std::to_string(i));
    for (int i = 0; headings.size() < 100000; ++i) headings.push_back("Extra" + std::to_string(i));
    cases.push_back({"100,000 values", withLineEnds({quotedLine(kColumns), quotedLine(values)}), {}, 0,
                     {resultLine(values, "Successful")}, {wide}});
    cases.push_back({"100,000 headings", withLineEnds({quotedLine(headings), quotedLine(wide.values())}), {}, 2, {}, {},
                     "nodes.csv.\r\n       Overflow\r\n"});
  }
  {  // each byte that is not UTF-8 reads, and is stored, as U+FFFD
    NodeLine badBytes = veltroLine("A", "1", "ab\xFF\xFE" "cd"), cutSequence = veltroLine("A", "2", "\xC3(");
    std::string input = kBom + inputText({badBytes, cutSequence});
    badBytes.name = "ab\xEF\xBF\xBD\xEF\xBF\xBD" "cd";
    cutSequence.name = "\xEF\xBF\xBD(";
    cases.push_back({"not UTF-8", input, {}, 0,
                     {resultLine(badBytes.values(), "Successful"), resultLine(cutSequence.values(), "Successful")},
                     {badBytes, cutSequence}});
  }
  {  // text columns keep quotes, semicolons and comment markers as typed (a
     // quote inside an unquoted field stays); strict columns refuse them, and
     // a delete whose serial number fails its rule finds no node
    NodeLine added = veltroLine("A", "7", "';DROP TABLE Node--"), changed = veltroLine("C", "7", "a';--\"b");
    added.serverName = changed.serverName = "x\"; DELETE FROM Node; /*";
    added.smtpSuffix = "*/ '' OR 1=1; --";
    changed.smtpSuffix = "x' WHERE '1'='1";
    NodeLine strict = octelLine("A", "8", "o'k"), deleteAll = veltroLine("D", "1' OR '1'='1", "");
    strict.phone = "1;--";
    std::string input = quotedLine(kColumns) + "\r\n";
    for (const auto* line : {&added, &changed, &strict, &deleteAll}) {
      auto cells = line->values();
      input += quotedLine({cells.begin(), cells.begin() + 4}) + "," + cells[4] + "," +
               quotedLine({cells.begin() + 5, cells.end()}) + "\r\n";
    }
    NodeLine kept = octelLine("A", "500", "keep");
    cases.push_back({"SQL text", input, {kept}, 1,
                     {resultLine(added.values(), "Successful"), resultLine(changed.values(), "Successful"),
                      resultLine(strict.values(), "Error", "Invalid value in column: phoneno"),
                      resultLine(deleteAll.values(), "Error", "Node with this serial number not found in Node Table")},
                     {kept, changed}, "    Deleting Node #\r\n      Error deleting node # - Node not found in Node Table\r\n"});
  }
  {  // a serial number is text of up to ten digits: leading zeros make another node
    std::vector<NodeLine> lines = {veltroLine("A", "0000012345", "zeros"), octelLine("A", "12345", "plain"),
                                   veltroLine("A", "9999999999", "largest"), veltroLine("A", "00000123456", "eleven"),
                                   veltroLine("C", "0000012345", "changed"), octelLine("D", "12345", "")};
    std::vector<std::string> results;
    for (const auto& line : lines) results.push_back(resultLine(line.values(), "Successful"));
    results[3] = resultLine(lines[3].values(), "Error", "Invalid value in column: serialno");
    cases.push_back({"ten digits", inputText(lines), {}, 1, results, {lines[4], lines[2]}});
  }
  // Without a heading, a request that needs its column fails whole; requests
  // that do not need it go through.
  const NodeLine stored = octelLine("A", "9", "stored"), octel = octelLine("A", "1", "octel"),
                 veltro = veltroLine("A", "2", "veltro"), remove = octelLine("D", "9", "");
  for (bool actionMissing : {false, true}) {
    std::set<std::string> missing = {"PhoneNo", "NormalInterval"};
    if (actionMissing) missing = {"Action"};
    auto keep = [&](const std::vector<std::string>& cells) {
      std::vector<std::string> kept;
      for (size_t i = 0; i < cells.size(); ++i)
        if (!missing.count(kColumns[i])) kept.push_back(cells[i]);
      return kept;
    };
    auto result = [&](const NodeLine& line, bool succeeds) {
      return resultLine(keep(line.values()), succeeds ? "Successful" : "Error",
                        succeeds ? "" : "Run-time error -2147220500: Column Not Found.");
    };
    cases.push_back({"without " + *missing.begin(),
                     withLineEnds({quotedLine(keep(kColumns)), quotedLine(keep(octel.values())),
                                   quotedLine(keep(veltro.values())), quotedLine(keep(remove.values()))}),
                     {stored}, 1,
                     {result(octel, false), result(veltro, !actionMissing), result(remove, !actionMissing)},
                     {actionMissing ? stored : veltro}});
  }
  return cases;
}

TEST_F(HostileInputTest, EveryLineIsAnsweredAndOnlyWholeNodesAreStored) {
  for (const auto& c : hostileCases()) {
    SCOPED_TRACE(c.name);
    RunResult run = import(c.input, c.before);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(results(), c.results);
    expectStored(c.after);
    EXPECT_EQ(readBytes(folder->path("nodes.out.csv")).starts_with(kBom), c.input.starts_with(kBom));
    auto errors = std::count_if(c.results.begin(), c.results.end(), [](auto& line) { return holds(line, "\",\"Error\",\""); });
    std::string summary = importSummary(c.results.size(), static_cast<size_t>(errors));
    EXPECT_TRUE(holds(run.out, c.refusal.empty() ? summary : c.refusal)) << run.out.substr(0, 2000);
  }
}

}  // namespace
}  // namespace tarnwick::e2e
