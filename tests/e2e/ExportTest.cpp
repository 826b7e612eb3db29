// The export as a user runs it: the file, the console, the log and the count.
#include "ProgramRun.h"

namespace tarnwick::e2e {
namespace {

const std::string kHeader =
    "\"NodeType\",\"Action\",\"SerialNo\",\"Name\",\"VeltroServerName\",\"VeltroSMTPSuffix\",\"Codec\",\"PhoneNo\","
    "\"Extension\",\"DialSequence\",\"NormalBeginTime\",\"NormalEndTime\",\"NormalInterval\",\"UrgentBeginTime\","
    "\"UrgentEndTime\",\"UrgentInterval\",\"AdministrationBeginTime\",\"AdministrationEndTime\","
    "\"AdministrationInterval\"";

class ExportTest : public ::testing::Test {
 protected:
  ExportTest() : db(folder) { db.clear(); }

  std::vector<std::string> exportedLines(RunResult* runOut = nullptr) {
    RunResult run = folder.run({"/e:out.csv"});
    if (runOut) *runOut = run;
    return crlfLines(readBytes(folder.path("out.csv")));
  }

  ProgramFolder folder;
  NodeDatabase db;
};

TEST_F(ExportTest, WritesTheTwoExampleNodesExactly) {
  db.execute("INSERT INTO Node (SerialNo, Name, ServerType) VALUES ('1001', 'North', 1)");
  db.execute("INSERT INTO OctelNode (SerialNo, PhoneNo, Ext, DialingSequence) VALUES ('1001', '5551234', '22', 'N')");
  const char* windows[][4] = {{"0", "12:00AM", "11:59PM", "30"}, {"1", "8:00AM", "5:00PM", "5"},
                              {"2", "12:00AM", "11:59PM", "60"}};
  for (const auto& w : windows) {
    int16_t type = static_cast<int16_t>(std::stoi(w[0]));
    db.execute("INSERT INTO DeliveryWindow (WindowID, MessageType, SerialNo, BeginTime, EndTime, Interval) VALUES "
               "(?, ?, '1001', ?, ?, ?)",
               {type, type, std::string(w[1]), std::string(w[2]), std::string(w[3])});
  }
  db.execute("INSERT INTO Node (SerialNo, Name, ServerType, DefaultCodec) VALUES ('2002', 'South', 2, 307)");
  db.execute("INSERT INTO VPIMNode (SerialNo, DomainName, ProxyDomain) VALUES ('2002', 'vmsrv1', 'maildomain')");
  RunResult run;
  auto lines = exportedLines(&run);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       kHeader,
                       "\"O\",\"\",\"1001\",\"North\",\"\",\"\",\"\",\"5551234\",\"22\",\"N\",\"12:00AM\",\"11:59PM\","
                       "\"30\",\"8:00AM\",\"5:00PM\",\"5\",\"12:00AM\",\"11:59PM\",\"60\"",
                       "\"V\",\"\",\"2002\",\"South\",\"vmsrv1\",\"maildomain\",\"G729\",\"\",\"\",\"\",\"\",\"\",\"\","
                       "\"\",\"\",\"\",\"\",\"\",\"\""}));
  EXPECT_EQ(run.status, 0);
  auto console = crlfLines(run.out);
  EXPECT_EQ(std::vector<std::string>(console.begin() + 3, console.end()),
            (std::vector<std::string>{"  Octel Node North - #1001", "  Veltro Node South - #2002",
                                      "Finished exporting data.", "", "Total nodes exported: 2", ""}));
  EXPECT_NE(folder.logText().find("VerInfo:(                       [mdlProcess]exportData)     "
                                  "  Octel Node North - #1001"),
            std::string::npos);
}

TEST_F(ExportTest, EmptyDatabaseGivesTheHeaderOnly) {
  RunResult run;
  EXPECT_EQ(exportedLines(&run), std::vector<std::string>{kHeader});
  EXPECT_NE(run.out.find("\r\nTotal nodes exported: 0\r\n"), std::string::npos);
}

TEST_F(ExportTest, OnlyWholeNodesOfAKnownKindAreWrittenAndCounted) {
  db.addOctel("1", "bare", false);
  db.execute("INSERT INTO Node (SerialNo, Name, ServerType) VALUES ('2', 'orphan', 1)");
  db.execute("INSERT INTO Node (SerialNo, Name, ServerType) VALUES ('3', 'odd', 3)");
  db.execute("INSERT INTO VPIMNode (SerialNo, DomainName, ProxyDomain) VALUES ('3', 'd', 'p')");
  db.addVeltro("4", "other codec", 5);
  db.execute("INSERT INTO Node (SerialNo, Name, ServerType) VALUES ('5', 'no codec', 2)");
  db.execute("INSERT INTO VPIMNode (SerialNo, DomainName, ProxyDomain) VALUES ('5', 'd', 'p')");
  RunResult run;
  auto lines = exportedLines(&run);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1], "\"O\",\"\",\"1\",\"bare\",\"\",\"\",\"\",\"5551234\",\"22\",\"N\",\"\",\"\",\"\",\"\",\"\","
                      "\"\",\"\",\"\",\"\"");
  EXPECT_EQ(lines[2], "\"V\",\"\",\"4\",\"other codec\",\"vmsrv1\",\"maildomain\",\"\",\"\",\"\",\"\",\"\",\"\",\"\","
                      "\"\",\"\",\"\",\"\",\"\",\"\"");
  EXPECT_EQ(lines[3], "\"V\",\"\",\"5\",\"no codec\",\"d\",\"p\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\","
                      "\"\",\"\",\"\",\"\"");
  EXPECT_NE(run.out.find("Total nodes exported: 3"), std::string::npos);
}

TEST_F(ExportTest, ValuesWithCommasAndQuotesAreWrittenUnchangedAndReadBackWhole) {
  db.addVeltro("77", "Ann, \"the\" one");
  auto lines = exportedLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].rfind("\"V\",\"\",\"77\",\"Ann, \"the\" one\",\"vmsrv1\",", 0), 0u);
  // Fed back as a change, the reader splits the line into the same 19 values.
  std::string input = lines[0] + "\r\n" + lines[1].replace(4, 2, "\"C\"") + "\r\n";
  writeBytes(folder.path("back.csv"), input);
  RunResult run = folder.run({"/i:back.csv"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(db.rows("SELECT Name FROM Node WHERE SerialNo = '77'"), (std::vector<Row>{{"Ann, \"the\" one"}}));
}

TEST_F(ExportTest, StoredSerialHoldingAQuoteIsReadBackWithoutBreakingTheStatement) {
  db.addOctel("12'3", "quoted");
  auto lines = exportedLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[1].find("\"12'3\",\"quoted\""), std::string::npos);
  EXPECT_NE(lines[1].find("\"12:00AM\",\"11:59PM\",\"30\""), std::string::npos);
}

TEST_F(ExportTest, NodeThatCannotBeWrittenInWindows1252IsReportedAndNotCounted) {
  db.addVeltro("8", "Zo\xC4\x9B");  // a letter Windows-1252 does not hold
  db.addVeltro("9", "plain");
  RunResult run;
  auto lines = exportedLines(&run);
  EXPECT_EQ(lines.size(), 2u);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("  ERROR: Node #8 could not be written to the export file and was not exported.\r\n"),
            std::string::npos);
  EXPECT_NE(run.out.find("Total nodes exported: 1\r\n"), std::string::npos);
}

TEST_F(ExportTest, ExportFileThatMayNotBeWrittenStopsWithTwoErrorLines) {
  std::string target = folder.path("out.csv");
  writeBytes(target, "kept");
  folder.lockForUnprivilegedRun(target);
  RunResult run = folder.runUnprivileged({"/e:" + target});
  EXPECT_EQ(run.status, 2);
  auto lines = crlfLines(run.out);
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 2, lines.end()),
            (std::vector<std::string>{
                "Export node data to: " + target, "ERROR: Cannot open " + target + " for writing.",
                "       Close any applications that may be using this file and try again or use a different filename."}));
  EXPECT_EQ(readBytes(target), "kept");
  auto log = logLinesWithoutTime(folder.logText());
  EXPECT_EQ(log.back(), "   ERROR:(                       [mdlProcess]exportData)     Err.Number = 70 "
                        "Err.Description = Permission denied Line: 2");
}

}  // namespace
}  // namespace tarnwick::e2e
