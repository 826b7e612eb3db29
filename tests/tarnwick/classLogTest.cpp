#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

#include "RecordingEnv.h"

namespace tarnwick::test {
namespace {

namespace fs = platform::test::fs;
using platform::test::readBytes;
using platform::test::writeBytes;

class ClassLogTest : public ProgramTest {
 protected:
  // A file in the log folder, last written `days` ago.
  void oldFile(const std::string& name, int days, size_t size = 0) {
    fs::create_directories(fs::path(env.logDir() + "/" + name).parent_path());
    writeBytes(env.logDir() + "/" + name, std::string(size, 'x'));
    fs::last_write_time(env.logDir() + "/" + name, std::chrono::file_clock::from_sys(env.clock - days * 24h));
  }
};

// A file line is cut before a character the code page lacks.
TEST_F(ClassLogTest, LineLayoutPadsLevelAndProcedureFields) {
  Log().log("plain", kInfo, "");
  Log().log("short", kError, "[x]y");
  Log().log("long", kWarning, "[" + std::string(50, 'u') + "]p");
  Log().log("caf\u00E9 \u20AC ok \u0100 rest", kVerInfo, "[a]b");
  Lines lines = logLines();
  EXPECT_EQ(Lines(lines.end() - 4, lines.end()), (Lines{"00:03:00    Info:(" + std::string(45, ' ') + ") plain",
                                                        "00:03:00   ERROR:(" + std::string(41, ' ') + "[x]y) short",
                                                        "00:03:00 Warning:([" + std::string(44, 'u') + ") long",
                                                        "00:03:00 VerInfo:(" + std::string(41, ' ') +
                                                            "[a]b) caf\xE9 \x80 ok "}));  // as the code page writes it
}

TEST_F(ClassLogTest, FailingLogFileIsReportedOnceThroughTheLogAndNeverLoops) {
  Log().closeLog();
  env.filesFail = true;
  size_t before = env.debugLines.size();
  Log().log("lost line", kInfo, "[m]p");
  ASSERT_EQ(env.debugLines.size(), before + 2);
  EXPECT_EQ(env.debugLines.back(), "tarnwick:(logToFile) Err.Number = 61 Err.Description = Disk full");
  Log().log("another lost line", kInfo, "[m]p");
  EXPECT_EQ(env.err, "ERROR: Cannot write to log file " + Log().strLogFile() + " - Disk full\r\n");
  EXPECT_TRUE(Log().loggedError());
}

// Nested calls indent and exits match entries last in first out; an exit without entry is numbered -1, and a call
// across midnight has a negative elapsed time. Numbers keep their decimal point under a locale that writes a comma,
// where one can be made.
TEST_F(ClassLogTest, TracingIndentsNumbersAndTimesCalls) {
  const std::string locales = env.folder.path("locales");
  fs::create_directories(locales);
  if (std::system(("localedef -i de_DE -f UTF-8 '" + locales + "/de' 2>/dev/null").c_str()) == 0) {
    ::setenv("LOCPATH", locales.c_str(), 1);
    ASSERT_NE(std::setlocale(LC_ALL, "de"), nullptr);
  }
  env.clock = dayAt(180s) + 500ms;
  Log().enterProc("[m]outer");
  Log().enterProc("[m]inner");
  Log().log("inside", kInfo, "[m]inner");
  Log().enterProc("[m]inner");
  Log().exitProc("[m]inner");
  env.clock += 15625us;
  Log().exitProc("[m]inner");
  Log().exitProc("[m]outer");
  Log().exitProc("[m]never");
  env.clock = dayAt(86399s);
  Log().enterProc("[m]late");
  env.clock = dayAt(86401s);
  Log().exitProc("[m]late");
  auto messages = lastMessages(10);
  EXPECT_EQ(
      std::vector<std::string>(messages.begin(), messages.begin() + 6),
      (std::vector<std::string>{"Entering [m]outer_0", "  Entering [m]inner_0", "    inside", "    Entering [m]inner_1",
                                "    Exiting  [m]inner_1 Start: 180.5 End: 180.5 - Elapsed: 0.0",
                                "  Exiting  [m]inner_0 Start: 180.5 End: 180.5156 - Elapsed: 0.015625"}));
  EXPECT_EQ(messages[6].substr(0, 34), "Exiting  [m]outer_0 Start: 180.5 E");
  EXPECT_EQ(messages[7], "Exiting  [m]never_-1");
  EXPECT_EQ(messages[9], "Exiting  [m]late_0 Start: 86399 End: 1 - Elapsed: -86398.0");
  EXPECT_EQ(Log().depth(), 0);
  std::setlocale(LC_ALL, "C");
}

// A new log starts with its header block and the retention report: 30 days are kept above 500 MB free, 14 above 50 MB,
// else 10; a failed query counts as nothing free.
TEST_F(ClassLogTest, NewLogStartsWithHeaderAndRetentionFollowsFreeSpace) {
  env.disk = {600000000, 2000000000};
  fs::create_directories(env.logDir());
  writeBytes(env.logDir() + "/data.bin", std::string(1234567, 'x'));
  const std::string stars(120, '*');
  EXPECT_EQ(Log().strLogFile(), env.folder.path("LOGS/tarnwick_20261206_000300.LOG"));
  EXPECT_EQ(readBytes(Log().strLogFile()),
            "\r\n" + stars + "\r\ntarnwick Version: 1.1.1   Started: 12/6/2026 12:03:00 AM\r\n" + stars +
                "\r\n00:03:00    Info:(" + std::string(20, ' ') +
                "[classLog]checkSizeOfLogs) Removing logs older than 11/6/2026 12:03:00 AM - Log Directory "
                "Size: 1.2 MB   600 MB Free   2,000 MB Total \r\n");
  const std::pair<uint64_t, std::string> cases[] = {{500000000, "11/22"}, {100000000, "11/22"}, {50000000, "11/26"}};
  for (const auto& [free, cutOff] : cases) {
    resetLog();
    env.clock += 1s;  // a new file per run
    env.disk = {free, 1000000000};
    EXPECT_TRUE(lastMessages(1)[0].starts_with("Removing logs older than " + cutOff + "/2026 ")) << free;
  }
  resetLog();
  env.clock += 1s;
  env.diskFails = true;
  auto messages = lastMessages(2);
  EXPECT_EQ(messages[0], "Err.Number = 76 Err.Description = Path not found");
  EXPECT_NE(messages[1].find("older than 11/26/2026 12:03:04 AM"), std::string::npos) << messages[1];
  EXPECT_NE(messages[1].find(" MB    MB Free    MB Total "), std::string::npos);
}

// Only this program's own old logs go, never a link or another file; subfolders count toward the size but are not
// pruned; a log that cannot be deleted gives one error line.
TEST_F(ClassLogTest, PrunesOnlyOwnOldLogsAndReportsOneThatCannotBeDeleted) {
  env.disk = {200000000, 1000000000};  // 14 days
  env.clock = platform::Clock::now();
  oldFile("tarnwick_20200101_000000.LOG", 20, 1234567);
  oldFile("tarnwick_20200102_000000.LOG", 13);
  for (const char* other : {"notes.log", "CATALOG.TXT", "AUDITLOG.txt", "tarnwick_old.LOG",
                            "nodeadmin_20200101_000000.LOG", "tarnwick_20200103_000000.LOG"}) {
    oldFile(other, 40);
  }
  oldFile("archive/OLD.LOG", 40, 50000000 - 1234567);
  fs::permissions(env.logDir() + "/tarnwick_20200103_000000.LOG", fs::perms::owner_read | fs::perms::group_read);
  fs::create_symlink(env.logDir() + "/CATALOG.TXT", env.logDir() + "/tarnwick_20200104_000000.LOG");
  auto lines = logLines();
  EXPECT_FALSE(fs::exists(env.logDir() + "/tarnwick_20200101_000000.LOG"));
  for (const char* kept : {"tarnwick_20200102_000000.LOG", "notes.log", "CATALOG.TXT", "AUDITLOG.txt",
                           "tarnwick_old.LOG", "nodeadmin_20200101_000000.LOG", "archive/OLD.LOG",
                           "tarnwick_20200103_000000.LOG", "tarnwick_20200104_000000.LOG"}) {
    EXPECT_TRUE(fs::exists(env.logDir() + "/" + kept)) << kept;
  }
  EXPECT_NE(lines[lines.size() - 2].find("Log Directory Size: 50. MB   200 MB Free   1,000 MB Total "),
            std::string::npos);
  EXPECT_EQ(lines.back().substr(9, 7), "  ERROR");
  EXPECT_NE(lines.back().find("[classLog]checkSizeOfLogs) Err.Number = 70"), std::string::npos);
}

}  // namespace
}  // namespace tarnwick::test
