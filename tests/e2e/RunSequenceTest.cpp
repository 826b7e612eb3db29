// The program as a user starts it: banner, log, usage screen, options, and
// what happens when its library, database or log folder is not usable.
#include "ProgramRun.h"

namespace tarnwick::e2e {
namespace {

const std::string kBanner = "Tarnwick Version: 1.01.0001\r\n" + std::string(60, '-') + "\r\n";

class RunSequenceTest : public ::testing::Test {
 protected:
  // An export here must find no nodes, on a server too.
  RunSequenceTest() { emptyServerDatabase(); }

  ProgramFolder folder;
};

TEST_F(RunSequenceTest, ExportOnANewFolderCreatesTheDatabaseAndReportsNoNodes) {
  RunResult run = folder.run({"/e"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, kBanner + "Export node data to: " + folder.path("NodeExport.csv") +
                         "\r\nFinished exporting data.\r\n\r\nTotal nodes exported: 0\r\n\r\n");
  EXPECT_EQ(run.err, "");
  NodeDatabase db(folder);
  for (const char* table : {"Node", "OctelNode", "VPIMNode", "DeliveryWindow", "Directory"}) {
    EXPECT_TRUE(db.rows(std::string("SELECT * FROM ") + table).empty()) << table;
  }
}

TEST_F(RunSequenceTest, LogStartsWithHeaderAndRetentionThenTracesMain) {
  folder.run({"/e"});
  std::string log = folder.logText();
  std::string stars(120, '*');
  ASSERT_EQ(log.substr(0, 2 + 122), "\r\n" + stars + "\r\n");
  auto lines = logLinesWithoutTime(log);
  EXPECT_EQ(lines[2].rfind("tarnwick Version: 1.1.1   Started: ", 0), 0u);
  EXPECT_EQ(lines[3], stars);
  EXPECT_EQ(lines[4].rfind("    Info:(                    [classLog]checkSizeOfLogs) Removing logs older than ", 0), 0u);
  EXPECT_EQ(lines[5], "    Info:(                                [mdlMain]main) Entering [mdlMain]main_0");
  EXPECT_EQ(lines.back().rfind("    Info:(                                [mdlMain]main) Exiting  [mdlMain]main_0 Start: ", 0), 0u);
  EXPECT_NE(lines.back().find(" - Elapsed: "), std::string::npos);
}

TEST_F(RunSequenceTest, NoArgumentsShowsTheUsageScreenUnderTheProgramsOwnName) {
  ProgramFolder renamed("nodeadmin");
  RunResult run = renamed.run({});
  EXPECT_EQ(run.status, 2);
  auto lines = crlfLines(run.out);
  ASSERT_EQ(lines.size(), 2u + 50u);
  EXPECT_EQ(lines[2], "Usage: ");
  EXPECT_EQ(lines[4], "nodeadmin /i:InputFilename [/o:OutputFilename]");
  EXPECT_EQ(lines[5], "nodeadmin /e:OutputFilename");
  EXPECT_EQ(lines.back(), std::string(32, ' '));
  EXPECT_TRUE(fs::exists(renamed.path("LOGS")));
  EXPECT_EQ(renamed.logText().find("nodeadmin Version: 1.1.1"), 2u + 122u);
}

TEST_F(RunSequenceTest, RepeatedOptionShowsTheBoxOnStandardErrorAndStopsWithStatus2) {
  RunResult run = folder.run({"/i:a.csv", "/I:b.csv"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, kBanner);
  EXPECT_EQ(run.err,
            "[X] Command Line Argument Error\r\n"
            "The command line arguments specified are invalid.\r\n"
            "You can not specify argument: I twice.\r\n"
            "Please remove the duplicate arguments and try again.\r\n");
  EXPECT_EQ(folder.logText().find("Command Line Options:"), std::string::npos);
}

TEST_F(RunSequenceTest, AbsoluteInputPathWithHyphenWritesResultsToTheCurrentDirectory) {
  platform::test::TempFolder data;
  fs::create_directories(data.path("with-hyphen"));
  std::string input = data.path("with-hyphen/nodes.csv");
  writeBytes(input,
             "NodeType,Action,SerialNo,Name,VeltroServerName,VeltroSMTPSuffix,Codec,PhoneNo,Extension,DialSequence,"
             "NormalBeginTime,NormalEndTime,NormalInterval,UrgentBeginTime,UrgentEndTime,UrgentInterval,"
             "AdministrationBeginTime,AdministrationEndTime,AdministrationInterval\r\n");
  RunResult run = folder.run({"/i:" + input}, data.path());
  EXPECT_EQ(run.status, 0);
  auto lines = crlfLines(run.out);
  EXPECT_EQ(lines[2], "Using Input File: " + input);
  EXPECT_EQ(lines[3], "Output file: nodes.out.csv");
  EXPECT_TRUE(fs::exists(data.path("nodes.out.csv")));
}

TEST_F(RunSequenceTest, MissingInputFileEndsWithStatus2) {
  RunResult run = folder.run({"-i", "missing.csv"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, kBanner + "Input File Not Found: " + folder.path("missing.csv") + "\r\nExiting.\r\n");
}

TEST_F(RunSequenceTest, WithoutTheReaderLibraryAnImportFailsWhileAnExportCompletes) {
  fs::remove(folder.path("libquillet.so"));
  writeBytes(folder.path("nodes.csv"), "Action,SerialNo\r\nD,1\r\n");
  RunResult export_ = folder.run({"/e"});
  EXPECT_EQ(export_.status, 1);
  EXPECT_NE(export_.out.find("Total nodes exported: 0"), std::string::npos);
  RunResult import = folder.run({"/i:nodes.csv"});
  EXPECT_EQ(import.status, 1);
  EXPECT_EQ(import.out.find("Processing Line"), std::string::npos);
  std::string logs;
  for (const auto& entry : fs::directory_iterator(folder.path("LOGS"))) logs += readBytes(entry.path().string());
  EXPECT_NE(logs.find("[mdlMain]main)   Err.Number = 429 Err.Description = ActiveX component can't create object Line: 10"),
            std::string::npos);
  EXPECT_NE(logs.find("[mdlProcess]importData)     Err.Number = 91 Err.Description = Object variable or With block "
                      "variable not set Line: 3"),
            std::string::npos);
}

TEST_F(RunSequenceTest, UnusableDatabaseIsReportedAndNoJobRuns) {
  NodeDatabase probe(folder);
  if (probe.engine() != "sqlite3") GTEST_SKIP() << "the server engine cannot be made unusable from here";
  fs::remove(folder.path("Pelagor.db"));
  fs::create_directory(folder.path("Pelagor.db"));
  RunResult run = folder.run({"/e"});
  EXPECT_EQ(run.status, 2);
  auto lines = crlfLines(run.out);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[2], "ERROR: Cannot open data source Pelagor.");
  EXPECT_EQ(lines[3].substr(0, 7), "       ");
  EXPECT_GT(lines[3].size(), 7u);
  EXPECT_FALSE(fs::exists(folder.path("NodeExport.csv")));
}

TEST_F(RunSequenceTest, UnusableLogFolderStopsBeforeAnyJob) {
  writeBytes(folder.path("LOGS"), "a file where the log folder belongs");
  RunResult run = folder.run({"/e"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err.rfind("ERROR: Cannot create log directory " + folder.path("LOGS") + " - ", 0), 0u);
  EXPECT_FALSE(fs::exists(folder.path("Pelagor.db")));
}

}  // namespace
}  // namespace tarnwick::e2e
