#include <gtest/gtest.h>

#include "RecordingEnv.h"
#include "logging/Procedure.h"
#include "platform/Database.h"
#include "platform/Text.h"

namespace tarnwick::test {
namespace {

using platform::test::readBytes;
using platform::test::writeBytes;

class ClassLogTest : public ProgramTest {};

TEST_F(ClassLogTest, NewLogStartsWithHeaderBlockAndRetentionReport) {
  env.disk = {600000000, 2000000000};
  Log();
  std::string expectedName = env.logDir() + "/tarnwick_20261206_000300.LOG";
  EXPECT_EQ(Log().strLogFile(), expectedName);
  std::string bytes = readBytes(expectedName);
  std::string stars(120, '*');
  std::string header = "\r\n" + stars + "\r\ntarnwick Version: 1.1.1   Started: 12/6/2026 12:03:00 AM\r\n" + stars + "\r\n";
  ASSERT_EQ(bytes.substr(0, header.size()), header);
  std::string report = "00:03:00    Info:(" + std::string(20, ' ') +
                       "[classLog]checkSizeOfLogs) Removing logs older than 11/6/2026 12:03:00 AM - Log Directory "
                       "Size: 0. MB   600 MB Free   2,000 MB Total \r\n";
  EXPECT_EQ(bytes.substr(header.size()), report);
}

TEST_F(ClassLogTest, LineLayoutPadsLevelAndProcedureFields) {
  Log().log("plain", kInfo, "");
  Log().log("short", kError, "[x]y");
  Log().log("long", kWarning, "[" + std::string(50, 'u') + "]p");
  Log().log("detail", kVerInfo, "[a]b");
  auto lines = logLines();
  ASSERT_GE(lines.size(), 4u);
  auto last = lines.end() - 4;
  EXPECT_EQ(last[0], "00:03:00    Info:(" + std::string(45, ' ') + ") plain");
  EXPECT_EQ(last[1], "00:03:00   ERROR:(" + std::string(41, ' ') + "[x]y) short");
  EXPECT_EQ(last[2], "00:03:00 Warning:([" + std::string(44, 'u') + ") long");
  EXPECT_EQ(last[3], "00:03:00 VerInfo:(" + std::string(41, ' ') + "[a]b) detail");
}

TEST_F(ClassLogTest, EveryCallIsMirroredWholeToDebugOutputWhileFileLineIsCutBeforeForeignCharacter) {
  Log().log("caf\xC3\xA9 \xE2\x82\xAC ok \xC4\x80 rest", kInfo, "[m]p");
  EXPECT_EQ(env.debugLines.back(), "tarnwick:([m]p) caf\xC3\xA9 \xE2\x82\xAC ok \xC4\x80 rest");
  std::string bytes = readBytes(Log().strLogFile());
  EXPECT_NE(bytes.find("[m]p) caf\xE9 \x80 ok \r\n"), std::string::npos);
  size_t before = env.debugLines.size();
  Log().log("v", kVerInfo, "");
  Log().log("e", kError, "");
  EXPECT_EQ(env.debugLines.size(), before + 2);
}

TEST_F(ClassLogTest, ProgramInRootLogsToRootLogsFolder) {
  // The folder part of the log name is joined without a doubled separator.
  EXPECT_EQ(Log().strLogDir(), env.folder.path("LOGS"));
  EXPECT_EQ(Log().strLogDir().find("//"), std::string::npos);
}

TEST_F(ClassLogTest, FailingLogFileIsReportedOnceThroughTheLogAndNeverLoops) {
  Log();
  Log().closeLog();
  env.filesFail = true;
  size_t before = env.debugLines.size();
  Log().log("lost line", kInfo, "[m]p");
  ASSERT_EQ(env.debugLines.size(), before + 2);
  EXPECT_EQ(env.debugLines.back(), "tarnwick:(logToFile) Err.Number = 61 Err.Description = Disk full");
  Log().log("another lost line", kInfo, "[m]p");
  EXPECT_EQ(env.err, "ERROR: Cannot write to log file " + Log().strLogFile() + " - Disk full\r\n");
  EXPECT_EQ(RunOutcome::exitStatus(), RunOutcome::kNoJobRan);
  RunOutcome::noteJobStarted();
  EXPECT_EQ(RunOutcome::exitStatus(), RunOutcome::kSomethingFailed);
}

TEST_F(ClassLogTest, TracingIndentsNestedCallsAndMatchesExitsLastInFirstOut) {
  env.clock = dayAt(180s) + 500ms;
  Log().enterProc("[m]outer");
  Log().enterProc("[m]inner");
  Log().log("inside", kInfo, "[m]inner");
  Log().enterProc("[m]inner");
  Log().exitProc("[m]inner");
  env.clock += 15625us;
  Log().exitProc("[m]inner");
  Log().exitProc("[m]outer");
  auto lines = logLines();
  std::vector<std::string> messages;
  for (auto it = lines.end() - 7; it != lines.end(); ++it) messages.push_back(messageOf(*it));
  EXPECT_EQ(messages[0], "Entering [m]outer_0");
  EXPECT_EQ(messages[1], "  Entering [m]inner_0");
  EXPECT_EQ(messages[2], "    inside");
  EXPECT_EQ(messages[3], "    Entering [m]inner_1");
  EXPECT_EQ(messages[4], "    Exiting  [m]inner_1 Start: 180.5 End: 180.5 - Elapsed: 0.0");
  EXPECT_EQ(messages[5], "  Exiting  [m]inner_0 Start: 180.5 End: 180.5156 - Elapsed: 0.015625");
  EXPECT_EQ(messages[6].substr(0, 34), "Exiting  [m]outer_0 Start: 180.5 E");
  EXPECT_EQ(Log().depth(), 0);
}

TEST_F(ClassLogTest, ExitWithoutEntryIsNumberedMinusOneAndDepthStaysAtZero) {
  Log().exitProc("[m]never");
  EXPECT_EQ(messageOf(logLines().back()), "Exiting  [m]never_-1");
  EXPECT_EQ(Log().depth(), 0);
}

TEST_F(ClassLogTest, ProcedureAcrossMidnightShowsNegativeElapsed) {
  env.clock = dayAt(86399s);
  Log().enterProc("[m]late");
  env.clock = dayAt(86400s + 1s);
  Log().exitProc("[m]late");
  EXPECT_EQ(messageOf(logLines().back()), "Exiting  [m]late_0 Start: 86399 End: 1 - Elapsed: -86398.0");
}

TEST_F(ClassLogTest, RetentionFollowsFreeSpace) {
  struct Case {
    uint64_t free;
    const char* cutOff;
  } cases[] = {{600000000, "11/6/2026"}, {500000000, "11/22/2026"}, {100000000, "11/22/2026"}, {50000000, "11/26/2026"}};
  for (const auto& c : cases) {
    resetLog();
    env.clock += 1s;  // a new file per run
    env.disk = {c.free, 1000000000};
    Log();
    std::string report = messageOf(logLines().back());
    EXPECT_EQ(report.rfind(std::string("Removing logs older than ") + c.cutOff + " ", 0), 0u)
        << c.free << " bytes free: " << report;
  }
}

TEST_F(ClassLogTest, FailedFreeSpaceQueryCountsAsNothingFree) {
  env.diskFails = true;
  Log();
  auto lines = logLines();
  EXPECT_EQ(messageOf(lines[lines.size() - 2]), "Err.Number = 76 Err.Description = Path not found");
  EXPECT_NE(lines.back().find("older than 11/26/2026 12:03:00 AM"), std::string::npos);
  EXPECT_NE(lines.back().find(" MB    MB Free    MB Total "), std::string::npos);
}

void touch(const std::string& path, const std::string& bytes, platform::TimePoint modified) {
  writeBytes(path, bytes);
  platform::test::fs::last_write_time(path, std::chrono::file_clock::from_sys(modified));
}

TEST_F(ClassLogTest, PrunesOldFilesWhoseNameHoldsUpperCaseLogAndCountsSubfolders) {
  env.disk = {200000000, 1000000000};  // 14 days
  env.clock = platform::Clock::now();
  platform::test::fs::create_directories(env.logDir() + "/archive");
  auto daysAgo = [&](int days) { return env.clock - std::chrono::hours(24 * days); };
  touch(env.logDir() + "/tarnwick_old.LOG", std::string(1234567, 'x'), daysAgo(20));
  touch(env.logDir() + "/tarnwick_recent.LOG", "", daysAgo(13));
  touch(env.logDir() + "/notes.log", "", daysAgo(40));
  touch(env.logDir() + "/CATALOG.TXT", "", daysAgo(40));
  touch(env.logDir() + "/archive/OLD.LOG", std::string(50000000 - 1234567, 'y'), daysAgo(40));
  Log();
  namespace fs = platform::test::fs;
  EXPECT_FALSE(fs::exists(env.logDir() + "/tarnwick_old.LOG"));
  EXPECT_FALSE(fs::exists(env.logDir() + "/CATALOG.TXT"));
  EXPECT_TRUE(fs::exists(env.logDir() + "/tarnwick_recent.LOG"));
  EXPECT_TRUE(fs::exists(env.logDir() + "/notes.log"));
  EXPECT_TRUE(fs::exists(env.logDir() + "/archive/OLD.LOG"));
  EXPECT_NE(logLines().back().find("Log Directory Size: 50. MB   200 MB Free   1,000 MB Total "), std::string::npos);
}

TEST_F(ClassLogTest, DirectorySizeIsReportedWithOneDecimal) {
  env.disk = {200000000, 1000000000};
  platform::test::fs::create_directories(env.logDir());
  writeBytes(env.logDir() + "/data.bin", std::string(1234567, 'x'));
  Log();
  EXPECT_NE(logLines().back().find("Size: 1.2 MB"), std::string::npos);
}

TEST_F(ClassLogTest, ReadOnlyOldLogGivesOneErrorLineAndOthersAreStillDeleted) {
  env.disk = {200000000, 1000000000};
  env.clock = platform::Clock::now();
  platform::test::fs::create_directories(env.logDir());
  auto old = env.clock - std::chrono::hours(24 * 30);
  touch(env.logDir() + "/A.LOG", "", old);
  touch(env.logDir() + "/B.LOG", "", old);
  platform::test::fs::permissions(env.logDir() + "/A.LOG", platform::test::fs::perms::owner_read |
                                                                platform::test::fs::perms::group_read);
  Log();
  EXPECT_TRUE(platform::test::fs::exists(env.logDir() + "/A.LOG"));
  EXPECT_FALSE(platform::test::fs::exists(env.logDir() + "/B.LOG"));
  auto lines = logLines();
  EXPECT_EQ(lines.back().substr(9, 7), "  ERROR");
  EXPECT_NE(lines.back().find("[classLog]checkSizeOfLogs) Err.Number = 70"), std::string::npos);
}

TEST_F(ClassLogTest, DictionaryDumpRightAlignsKeysInInsertionOrder) {
  platform::KeyedTable<std::string> options;
  options.add("i", "nodes.csv");
  options.add("e", "");
  Log().dumpDictionary(options, "[mdlMain]main");
  auto lines = logLines();
  EXPECT_EQ(messageOf(lines[lines.size() - 3]), "Dumping dictionary...");
  EXPECT_EQ(messageOf(lines[lines.size() - 2]), std::string(52, ' ') + "i    nodes.csv");
  EXPECT_EQ(messageOf(lines.back()), std::string(52, ' ') + "e    ");
}

TEST_F(ClassLogTest, CommandDumpListsStatementAndParameters) {
  platform::db::Command command{"SELECT 1", {{"serial", std::string("1001")}, {"type", int16_t{2}}}};
  Log().dumpCommandObject(command, "[m]p");
  auto lines = logLines();
  std::vector<std::string> tail;
  for (auto it = lines.end() - 6; it != lines.end(); ++it) tail.push_back(messageOf(*it));
  std::string stars(80, '*');
  EXPECT_EQ(tail, (std::vector<std::string>{stars, "Command Object Dump: SELECT 1", stars,
                                            "serial" + std::string(25, ' ') + "    1001",
                                            "type" + std::string(27, ' ') + "    2", stars}));
}

}  // namespace
}  // namespace tarnwick::test
