// Hostile and broken input end to end. No run may crash; every line read
// gets its result line, and only whole nodes are stored. An input the
// import cannot start on leaves an earlier result file as it was.
#include <sys/resource.h>

#include <algorithm>
#include <random>

#include "ProgramRun.h"

namespace tarnwick::e2e {
namespace {

const std::string kHoldsNul = "Line holds a NUL character";
const std::string kTooLong = "Line is longer than 1 MiB";
const std::string kBom = "\xEF\xBB\xBF";
constexpr size_t kMiB = 1024 * 1024;

std::string withLineEnds(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

std::string noValueFor(const std::string& column) { return "Line has no value for column: " + column; }

// Every case: its input, the Octel nodes stored before, the exit status,
// the result lines, and the nodes stored after.
struct HostileCase {
  std::string name, input;
  std::vector<NodeLine> before;
  int status;
  std::vector<std::string> results;
  std::vector<NodeLine> after;
  std::string console = "";  // what the console shows (default: the summary of the results)
  std::string logged = "";   // a message the log holds
  size_t zeroTail = 0;       // zero bytes the file ends with, beyond `input`
};

class HostileInputTest : public ::testing::Test {
 protected:
  // Imports `bytes` in a new folder holding the Octel nodes `before` and an earlier result file.
  RunResult import(const std::string& bytes, const std::vector<NodeLine>& before = {}, size_t zeroTail = 0) {
    emptyServerDatabase();
    folder = std::make_unique<ProgramFolder>();
    NodeDatabase db(*folder);
    for (const auto& node : before) db.addOctel(node.serial, node.name);
    writeBytes(folder->path("nodes.csv"), bytes);
    fs::resize_file(folder->path("nodes.csv"), bytes.size() + zeroTail);
    writeBytes(folder->path("nodes.out.csv"), "earlier results");
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

  void check(const std::vector<HostileCase>& cases) {
    for (const auto& c : cases) {
      SCOPED_TRACE(c.name);
      RunResult run = import(c.input, c.before, c.zeroTail);
      EXPECT_EQ(run.status, c.status);
      EXPECT_EQ(results(), c.results);
      expectStored(c.after);
      std::string written = readBytes(folder->path("nodes.out.csv"));
      EXPECT_TRUE(c.status == 2 ? written == "earlier results" : written.starts_with(kBom) == c.input.starts_with(kBom));
      auto errors = std::count_if(c.results.begin(), c.results.end(), [](auto& line) { return holds(line, "\",\"Error\",\""); });
      std::string summary = importSummary(c.results.size(), static_cast<size_t>(errors));
      EXPECT_TRUE(holds(run.out, c.console.empty() ? summary : c.console)) << run.out.substr(0, 2000);
      EXPECT_TRUE(holds(allLogs(*folder), c.logged));
    }
  }

  std::vector<std::string> results() { return resultLines(folder->path("nodes.out.csv")); }
  std::unique_ptr<ProgramFolder> folder;
};

// Random bytes under the headings: each line read is answered with an error,
// and nothing is stored.
TEST_F(HostileInputTest, BinaryGarbageLinesAreEachAnsweredAndNothingIsStored) {
  std::mt19937 generator(7);
  std::string bytes = inputText({});
  while (bytes.size() < 64 * 1024) bytes += static_cast<char>(generator());
  RunResult run = import(bytes);
  EXPECT_EQ(run.status, 1);
  expectStored({});
  for (const auto& line : results()) EXPECT_TRUE(holds(line, "\",\"Error\",\"")) << line;
  EXPECT_TRUE(holds(run.out, importSummary(results().size(), results().size())));
}

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
                     {kept, changed}, "    Deleting Node #\r\n      Error deleting node # - Node not found in Node Table\r\n",
                     "deleteNode)       Err.Number = -2147220499 Err.Description = Value failed data validation Line: 2"});
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
  return cases;
}

TEST_F(HostileInputTest, EveryLineIsAnsweredAndOnlyWholeNodesAreStored) { check(hostileCases()); }

// A value beyond the header's count is refused, empty ones are not; a line
// with fewer values fails only when its action needs a value it lacks, and
// lines too short to hold an Action never reach the error limit.
std::vector<HostileCase> columnCountCases() {
  const NodeLine stored = octelLine("A", "9", "stored"), trailing = veltroLine("A", "2", "trailing"),
                 upToCodec = veltroLine("A", "3", "short");
  const Lines shifted = {"O", "A", "1", "North", "East", "", "", "", "5551234", "22", "9P", "08:30", "5:00 pm", "15",
                         "7:00AM", "23:00", "5", "", "", "240"};
  Lines withEmpties = trailing.values();
  withEmpties.insert(withEmpties.end(), {"", "", ""});
  const Lines veltroCells = upToCodec.values(), octelCells = octelLine("A", "4", "no phone").values();
  std::vector<HostileCase> cases = {
      {"more and fewer values",
       withLineEnds({quotedLine(kColumns), "\"O\",\"A\",\"1\",North, East," + quotedLine({shifted.begin() + 5, shifted.end()}),
                     quotedLine(withEmpties), "V,D,9", quotedLine({veltroCells.begin(), veltroCells.begin() + 7}),
                     quotedLine({octelCells.begin(), octelCells.begin() + 4}), ""}),
       {stored}, 1,
       {resultLine(shifted, "Error", "Line has more values than the header"), resultLine(withEmpties, "Successful"),
        resultLine({"V", "D", "9"}, "Successful"), resultLine({veltroCells.begin(), veltroCells.begin() + 7}, "Successful"),
        resultLine({octelCells.begin(), octelCells.begin() + 4}, "Error", noValueFor("phoneno")),
        resultLine({""}, "Error", noValueFor("action"))},
       {trailing, upToCodec}}};
  std::vector<std::string> lines = {quotedLine(kColumns)}, results;
  for (int i = 0; i < 11; ++i) {
    lines.push_back("O");
    results.push_back(resultLine({"O"}, "Error", noValueFor("action")));
  }
  const NodeLine after = veltroLine("A", "5", "after");
  lines.push_back(quotedLine(after.values()));
  results.push_back(resultLine(after.values(), "Successful"));
  cases.push_back({"no error limit", withLineEnds(lines), {}, 1, results, {after}});
  return cases;
}

TEST_F(HostileInputTest, LinesWithMoreOrFewerValuesThanTheHeader) { check(columnCountCases()); }

// An input without a heading line or without the Action or SerialNo column
// ends the run before any line; without another column every rule present
// is still set.
std::vector<HostileCase> headerCases() {
  const NodeLine stored = octelLine("A", "9", "stored"), octel = octelLine("A", "1", "octel"),
                 veltro = veltroLine("A", "3", "veltro"), remove = octelLine("D", "9", "");
  NodeLine badPhone = octelLine("A", "2", "bad phone");
  badPhone.phone = "abc";
  auto without = [](const std::string& column, const Lines& cells) {
    Lines kept = cells;
    kept.erase(kept.begin() + (std::find(kColumns.begin(), kColumns.end(), column) - kColumns.begin()));
    return kept;
  };
  auto fileWithout = [&](const std::string& column, const std::vector<NodeLine>& lines) {
    std::vector<std::string> text = {quotedLine(without(column, kColumns))};
    for (const auto& line : lines) text.push_back(quotedLine(without(column, line.values())));
    return withLineEnds(text);
  };
  Lines headings = kColumns;
  for (int i = 0; headings.size() < 40000; ++i) headings.push_back("Extra" + std::to_string(i));
  std::vector<HostileCase> cases;
  for (const char* column : {"Action", "SerialNo"}) {
    std::string problem = std::string("ERROR: The input file has no ") + column + " column.";
    cases.push_back({std::string("without ") + column, fileWithout(column, {octel}), {stored}, 2, {}, {stored},
                     problem + "\r\n", problem});
  }
  cases.push_back({"without Codec", fileWithout("Codec", {octel, badPhone, veltro, remove}), {stored}, 1,
                   {resultLine(without("Codec", octel.values()), "Successful"),
                    resultLine(without("Codec", badPhone.values()), "Error", "Invalid value in column: phoneno"),
                    resultLine(without("Codec", veltro.values()), "Error", "Run-time error -2147220500: Column Not Found."),
                    resultLine(without("Codec", remove.values()), "Successful")},
                   {octel}});
  cases.push_back({"empty", "", {}, 2, {}, {}, "ERROR: The input file is empty.\r\n"});
  cases.push_back({"no line end", std::string(kMiB + 1, 'x') + "\r\n" + quotedLine(octel.values()), {}, 2, {}, {},
                   "ERROR: The input file has no line end in its first 1 MiB.\r\n"});
  // more headings than the reader numbers (16 bits)
  cases.push_back({"40,000 headings", withLineEnds({quotedLine(headings), quotedLine(octel.values())}), {}, 2, {}, {},
                   "nodes.csv.\r\n       Overflow\r\n"});
  cases.push_back({"header ending in a comma", quotedLine(kColumns) + ",\r\n" + quotedLine(octel.values()) + "\r\n", {},
                   0, {resultLine(octel.values(), "Successful")}, {octel}});
  return cases;
}

TEST_F(HostileInputTest, HeadersThatLackColumnsOrAreNoHeaders) { check(headerCases()); }

// A line longer than 1 MiB is refused without being held whole; its result
// line keeps the header's count of values, cut to fit, and the run goes on.
// A line of 1 MiB of commas holds the most values a line can (all empty, so
// it is read like a line with an empty Action). The last line
// is 100 MB of zero bytes, added to the file without being held here: a
// run's peak memory counts its parent's too.
TEST_F(HostileInputTest, LinesLongerThan1MiBAreRefusedInBoundedMemory) {
  const NodeLine after = veltroLine("A", "3", "after");
  const std::string lead = quotedLine({"V", "A", "1"}) + ",\"";
  const std::string input = withLineEnds({quotedLine(kColumns), lead + std::string(2 * kMiB, 'x') + "\"",
                                          std::string(kMiB, ','), quotedLine(after.values())}) + lead;
  Lines cutName(kColumns.size()), cutZeros(kColumns.size());
  cutName[0] = cutZeros[0] = "V", cutName[1] = cutZeros[1] = "A", cutName[2] = cutZeros[2] = "1";
  cutName[3] = std::string(kMiB - lead.size(), 'x');
  cutZeros[3] = std::string(kMiB - lead.size(), '\0');
  std::string empties = "\"\"";
  for (size_t i = 0; i < kMiB; ++i) empties += ",\"\"";
  check({{"100 MB", input, {}, 1,
          {resultLine(cutName, "Error", kTooLong), empties + ",\"Error\",\"Invalid value in column: action\"",
           resultLine(after.values(), "Successful"), resultLine(cutZeros, "Error", kTooLong)},
          {after}, "", "", 100 * kMiB}});
#ifndef __SANITIZE_ADDRESS__
  rusage usage{};
  ::getrusage(RUSAGE_CHILDREN, &usage);
  EXPECT_LT(usage.ru_maxrss, 64 * 1024) << "the largest run's peak memory, in KiB";
#endif
}

}  // namespace
}  // namespace tarnwick::e2e
