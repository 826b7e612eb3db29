// The program as a user starts it: banner, log, usage screen, options, and
// what happens when its library, database or log folder is not usable.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "ProgramRun.h"

namespace tarnwick::e2e {
namespace {

const std::string kBanner = "Tarnwick Version: 1.01.0001\r\n" + std::string(60, '-') + "\r\n";

class RunSequenceTest : public ::testing::Test {
 protected:
  RunSequenceTest() { emptyServerDatabase(); }  // an export here must find no nodes, on a server too
  ProgramFolder folder;
};

TEST_F(RunSequenceTest, ExportOnANewFolderCreatesTheDatabaseAndLogsHeaderRetentionAndMain) {
  RunResult run = folder.run({"/e"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, kBanner + "Export node data to: " + folder.path("NodeExport.csv") +
                         "\r\nFinished exporting data.\r\n\r\nTotal nodes exported: 0\r\n\r\n");
  EXPECT_EQ(run.err, "");
  std::string stars(120, '*');
  std::string log = folder.logText();
  ASSERT_EQ(log.substr(0, 124), "\r\n" + stars + "\r\n");
  Lines lines = logLinesWithoutTime(log);
  EXPECT_EQ(lines[2].rfind("tarnwick Version: 1.1.1   Started: ", 0), 0u);
  EXPECT_EQ(lines[3], stars);
  EXPECT_EQ(lines[4].rfind("    Info:(                    [classLog]checkSizeOfLogs) Removing logs older than ", 0), 0u);
  EXPECT_EQ(lines[5], "    Info:(                                [mdlMain]main) Entering [mdlMain]main_0");
  EXPECT_EQ(lines.back().rfind("    Info:(                                [mdlMain]main) Exiting  [mdlMain]main_0 Start: ", 0), 0u);
  EXPECT_TRUE(holds(lines.back(), " - Elapsed: "));
  std::string dataSource = NodeDatabase(folder).engine() == "sqlite3" ? "embedded database " + folder.path("Pelagor.db")
                                                                       : "ODBC data source Pelagor, driver ";
  EXPECT_TRUE(holds(log, "[mdlMain]main)   Data source: " + dataSource)) << log;
}

// The screen's layout is checked by the unit tests; here the program's own name. --help and its
// short forms show the screen alone and --version the banner line, with status 0, no log and no database.
TEST_F(RunSequenceTest, UsageScreenUnderTheProgramsOwnNameAndHelpAndVersionWithoutLogOrDatabase) {
  ProgramFolder renamed("nodeadmin");
  const struct { std::vector<std::string> args; int status; size_t lines; } cases[] = {
      {{"--help"}, 0, 62}, {{"-h"}, 0, 62}, {{"-?"}, 0, 62}, {{"/e", "/?"}, 0, 62}, {{"--version"}, 0, 1}, {{}, 2, 64}};
  for (const auto& c : cases) {
    RunResult run = renamed.run(c.args);
    EXPECT_EQ(run.status, c.status);
    Lines lines = crlfLines(run.out);
    ASSERT_EQ(lines.size(), c.lines);
    Lines named = {"nodeadmin /i:InputFilename [/o:OutputFilename]", "nodeadmin /e:OutputFilename"};
    EXPECT_EQ(c.lines == 1 ? lines : Lines(lines.end() - 60, lines.end() - 58),
              c.lines == 1 ? Lines{"Tarnwick Version: 1.01.0001"} : named);
    EXPECT_EQ(fs::exists(renamed.path("LOGS")) || fs::exists(renamed.path("Pelagor.db")), c.status == 2);
  }
  EXPECT_EQ(renamed.logText().find("nodeadmin Version: 1.1.1"), 2u + 122u);
}

TEST_F(RunSequenceTest, RepeatedOptionOrMissingInputStopsWithStatus2AndAnAbsoluteInputIsFound) {
  RunResult twice = folder.run({"/i:a.csv", "/I:b.csv"});
  EXPECT_EQ(twice.status, 2);
  EXPECT_EQ(twice.out, kBanner);
  EXPECT_EQ(twice.err,
            "[X] Command Line Argument Error\r\nThe command line arguments specified are invalid.\r\n"
            "You can not specify argument: I twice.\r\nPlease remove the duplicate arguments and try again.\r\n");
  EXPECT_FALSE(holds(folder.logText(), "Command Line Options:"));
  RunResult missing = folder.run({"-i", "missing.csv"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.out, kBanner + "Input File Not Found: missing.csv\r\nExiting.\r\n");
  // An absolute input path with a hyphen, typed as its own word, has its results in the current directory.
  platform::test::TempFolder data;
  fs::create_directories(data.path("with-hyphen"));
  std::string input = data.path("with-hyphen/nodes.csv");
  writeBytes(input, quotedLine(kColumns) + "\r\n");
  RunResult run = folder.run({"-i", input}, data.path());
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(holds(run.out, "Using Input File: " + input + "\r\nOutput file: nodes.out.csv\r\n"));
  EXPECT_TRUE(fs::exists(data.path("nodes.out.csv")));
}

// No output may be a file the program reads or keeps, however it is named: the run stops
// before its job, says so on the console and in the log, and the file and the nodes stay.
TEST_F(RunSequenceTest, OutputThatIsOneOfTheProgramsOwnFilesIsRefusedAndLeftAsItWas) {
  NodeDatabase(folder).addVeltro("7", "kept");
  writeBytes(folder.path("nodes.csv"), quotedLine(kColumns) + "\r\n");
  fs::create_hard_link(folder.path("nodes.csv"), folder.path("hard.csv"));
  fs::create_symlink(folder.path("Pelagor.db"), folder.path("link.csv"));
  fs::create_directory(folder.path("LOGS"));
  writeBytes(folder.path("LOGS/notes.txt"), "notes");
  const struct { std::vector<std::string> args; std::string output, what, input = "/dev/null"; } cases[] = {
      {{"/e:Pelagor.db"}, "Pelagor.db", "the node database"},
      {{"/e:Pelagor.db-wal"}, "Pelagor.db-wal", "the node database"},
      {{"/e:link.csv"}, "link.csv", "the node database"},
      {{"/e:libquillet.so"}, "libquillet.so", "a file of the program"},
      {{"/e:tarnwick"}, "tarnwick", "a file of the program"},
      {{"/e:README.HTM"}, "README.HTM", "a file of the program"},
      {{"/e:LOGS/notes.txt"}, "LOGS/notes.txt", "a file of the program"},
      {{"/i:nodes.csv", "/o:nodes.csv"}, "nodes.csv", "the input file"},
      {{"/i:nodes.csv", "/o:hard.csv"}, "hard.csv", "the input file"},
      {{"/i:-", "/o:hard.csv"}, "hard.csv", "the input file", folder.path("nodes.csv")},
  };
  for (const auto& c : cases) {
    std::string file = folder.path(c.output), before = readBytes(file);
    std::string message = "ERROR: Cannot write " + c.output + ": it is " + c.what + ".";
    RunResult run = folder.run(c.args, "", c.input);
    EXPECT_EQ(run.status, 2) << message;
    EXPECT_TRUE(run.out.ends_with(message + "\r\n")) << run.out;
    EXPECT_TRUE(holds(allLogs(folder), "[mdlMain]checkCommandLine)     " + message + "\r\n")) << message;
    EXPECT_EQ(readBytes(file), before) << message;
  }
  EXPECT_EQ(NodeDatabase(folder).rows("SELECT Name FROM Node"), std::vector<Row>{{"kept"}});
}

TEST_F(RunSequenceTest, WithoutTheReaderLibraryAnImportFailsWhileAnExportCompletes) {
  fs::remove(folder.path("libquillet.so"));
  writeBytes(folder.path("nodes.csv"), "Action,SerialNo\r\nD,1\r\n");
  RunResult exported = folder.run({"/e"});
  EXPECT_EQ(exported.status, 1);
  EXPECT_TRUE(holds(exported.out, "Total nodes exported: 0"));
  RunResult imported = folder.run({"/i:nodes.csv"});
  EXPECT_EQ(imported.status, 1);
  EXPECT_FALSE(holds(imported.out, "Processing Line"));
  std::string logs = allLogs(folder);
  EXPECT_TRUE(holds(logs, "[mdlMain]main)   Err.Number = 429 Err.Description = ActiveX component can't create object Line: 10"));
  EXPECT_TRUE(holds(logs, "[mdlProcess]importData)     Err.Number = 91 Err.Description = Object variable or With "
                          "block variable not set Line: 3"));
}

// A data folder that is empty or missing stops the run before anything is made (FaultTest: a log
// folder that cannot be made).
TEST_F(RunSequenceTest, UnusableDataFolderStopsBeforeAnyJob) {
  platform::test::TempFolder current;
  const std::pair<std::string, std::string> cases[] = {
      {"", "TARNWICK_HOME is set but empty: set it to a folder you may write, or unset it\r\n"},
      {"missing", "TARNWICK_HOME names no folder: " + current.path("missing") + "\r\n"}};
  for (const auto& [home, error] : cases) {
    platform::test::ScopedVariable dataFolder("TARNWICK_HOME", home);
    RunResult run = folder.run({"/e"}, current.path());
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out + run.err, "ERROR: " + error);
  }
  EXPECT_TRUE(fs::is_empty(current.path()));
  EXPECT_FALSE(fs::exists(folder.path("LOGS")) || fs::exists(folder.path("Pelagor.db")));
}

// Takes connections on 127.0.0.1 (the system completes them) and never answers.
struct SilentServer {
  SilentServer() {
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t length = sizeof address;
    auto* name = reinterpret_cast<sockaddr*>(&address);
    EXPECT_EQ(::bind(socket, name, length) | ::listen(socket, 16) | ::getsockname(socket, name, &length), 0);
    port = std::to_string(ntohs(address.sin_port));
  }
  ~SilentServer() { ::close(socket); }
  int socket = ::socket(AF_INET, SOCK_STREAM, 0);
  std::string port;
};

// The log names the data source in use. One that cannot be opened ends the
// run with the driver's message and status 2, within 30 seconds, and never
// in favour of a new embedded database.
TEST_F(RunSequenceTest, DataSourceIsNamedInTheLogOrEndsTheRunWhenItCannotBeOpened) {
  SilentServer silent;
  auto driver = [](const std::string& library) {  // an ODBC driver, wherever Debian put it
    std::string found;
    for (const auto& lib : fs::directory_iterator("/usr/lib")) {
      if (fs::exists(lib.path() / "odbc" / library)) found = lib.path() / "odbc" / library;
    }
    return found;
  };
  const struct {
    std::string folderName, odbcIni, failure;  // no failure: the export runs
    bool databaseIsFolder = false, iniUnreadable = false;
  } cases[] = {
      {"t x\" timeout=\"1", "", ""},
      {"", "", "unable to open database file", true},
      {"", "[Pelagor]\nDriver=/no/such/driver.so\n", "Can't open lib '/no/such/driver.so'"},
      {"", "[Other]\nDriver=x\n", "Cannot read the ODBC configuration file ", false, true},
      // Drivers that wait for a server's greeting give up after the login timeout.
      {"", "[Pelagor]\nDriver=" + driver("psqlodbcw.so") + "\nServername=127.0.0.1\nPort=" + silent.port + "\n",
       "timeout expired"},
      {"", "[Pelagor]\nDriver=" + driver("libmaodbc.so") + "\nServer=127.0.0.1\nPort=" + silent.port + "\n",
       "reading initial communication packet"},
  };
  for (const auto& c : cases) {
    if (c.odbcIni.starts_with("[Pelagor]\nDriver=\n")) GTEST_SKIP() << "an ODBC driver is not installed: " << c.failure;
    ProgramFolder program("tarnwick", c.folderName);
    std::string odbcIni = program.path("odbc.ini");
    writeBytes(odbcIni, c.odbcIni);
    platform::test::ScopedVariable odbcIniInUse("ODBCINI", odbcIni);
    if (c.databaseIsFolder) fs::create_directory(program.path("Pelagor.db"));
    RunResult run;
    if (c.iniUnreadable) {
      program.lockForUnprivilegedRun(odbcIni);
      fs::permissions(odbcIni, fs::perms::none);
      run = program.runUnprivileged({"/e"});
    } else {
      StartedRun started = program.start({"/e"});
      if (!waitUntil([&] { return started.finished(); }, std::chrono::seconds(30))) {
        ADD_FAILURE() << "still running after 30 s: " << c.failure;
        started.signal("KILL");
      }
      run = started.wait();
    }
    if (c.failure.empty()) {
      EXPECT_EQ(run.status, 0) << run.out;
      EXPECT_TRUE(holds(program.logText(), "[mdlMain]main)   Data source: embedded database " + program.path("Pelagor.db")));
      EXPECT_EQ(fs::status(program.path("Pelagor.db")).type(), fs::file_type::regular);
      EXPECT_EQ(std::distance(fs::directory_iterator(program.path("..")), fs::directory_iterator()), 1);
      continue;
    }
    const std::string errorLines = kBanner + "ERROR: Cannot open data source Pelagor.\r\n       ";
    EXPECT_EQ(run.status, 2) << c.failure;
    EXPECT_TRUE(run.out.starts_with(errorLines) && holds(run.out.substr(errorLines.size()), c.failure) &&
                crlfLines(run.out).size() == 4u) << run.out;
    EXPECT_EQ(fs::exists(program.path("Pelagor.db")), c.databaseIsFolder) << c.failure;
    EXPECT_FALSE(fs::exists(program.path("NodeExport.csv"))) << c.failure;
  }
}

}  // namespace
}  // namespace tarnwick::e2e
