// Lines longer than 1 MiB, where only a real run can tell that memory stays
// bounded. The import's rules for odd lines are unit tests (tests/tarnwick).
#include <sys/resource.h>

#include "ProgramRun.h"

namespace tarnwick::e2e {
namespace {

constexpr size_t kMiB = 1024 * 1024;

class HostileInputTest : public ::testing::Test {
 protected:
  HostileInputTest() { emptyServerDatabase(); }

  // Imports `bytes`, followed in the file by `zeroTail` zero bytes.
  RunResult import(const std::string& bytes, size_t zeroTail = 0) {
    writeBytes(folder.path("nodes.csv"), bytes);
    fs::resize_file(folder.path("nodes.csv"), bytes.size() + zeroTail);
    return folder.run({"/i:nodes.csv"});
  }
  std::vector<Row> stored() { return NodeDatabase(folder).rows("SELECT SerialNo, Name FROM Node"); }

  ProgramFolder folder;
};

// A line longer than 1 MiB is refused without being held whole; its result
// line keeps the header's count of values, cut to fit, and the run goes on.
// A line of 1 MiB of commas holds the most values a line can (all empty, so
// it is read like a line with an empty Action). The last line is 100 MB of
// zero bytes, added to the file without being held here: a run's peak memory
// counts its parent's too.
TEST_F(HostileInputTest, LinesLongerThan1MiBAreRefusedInBoundedMemory) {
  const Lines after = veltro("A", "3", {{"Name", "after"}});
  const std::string lead = quotedLine({"V", "A", "1"}) + ",\"";
  RunResult run = import(quotedLine(kColumns) + "\r\n" + lead + std::string(2 * kMiB, 'x') + "\"\r\n" +
                             std::string(kMiB, ',') + "\r\n" + quotedLine(after) + "\r\n" + lead,
                         100 * kMiB);
  Lines cutName(kColumns.size()), cutZeros(kColumns.size());
  cutName[0] = cutZeros[0] = "V", cutName[1] = cutZeros[1] = "A", cutName[2] = cutZeros[2] = "1";
  cutName[3] = std::string(kMiB - lead.size(), 'x');
  cutZeros[3] = std::string(kMiB - lead.size(), '\0');
  std::string empties = "\"\"";
  for (size_t i = 0; i < kMiB; ++i) empties += ",\"\"";
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(resultLines(folder.path("nodes.out.csv")),
            (Lines{resultLine(cutName, "Error", "Line is longer than 1 MiB"),
                   empties + ",\"Error\",\"Invalid value in column: action\"", resultLine(after, "Successful"),
                   resultLine(cutZeros, "Error", "Line is longer than 1 MiB")}));
  EXPECT_EQ(stored(), (std::vector<Row>{{"3", "after"}}));
  EXPECT_TRUE(holds(run.out, importSummary(4, 3)));
#ifndef __SANITIZE_ADDRESS__
  rusage usage{};
  ::getrusage(RUSAGE_CHILDREN, &usage);
  EXPECT_LT(usage.ru_maxrss, 64 * 1024) << "the largest run's peak memory, in KiB";
#endif
}

}  // namespace
}  // namespace tarnwick::e2e
