// The program as a user starts it: the banner, log and data source of a run,
// every way a run stops before its job, and a run without its reader library.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "ProgramRun.h"
#include "nodes/NodeSchema.h"

namespace tarnwick::e2e {
namespace {

const std::string kBanner = "Tarnwick Version: 1.01.0001\r\n" + std::string(60, '-') + "\r\n";

// A quote or blank in the program's folder changes nothing of the data source.
TEST(RunSequenceTest, ExportOnANewFolderCreatesTheDatabaseAndLogsHeaderRetentionAndMain) {
  emptyServerDatabase();
  ProgramFolder folder("tarnwick", "t x\" timeout=\"1");
  RunResult run = folder.run({"/e"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, kBanner + "Export node data to: " + folder.path("NodeExport.csv") +
                         "\r\nFinished exporting data.\r\n\r\nTotal nodes exported: 0\r\n\r\n");
  EXPECT_EQ(run.err, "");
  // The header block (classLogTest checks it whole), main's trace and the data source.
  const std::string log = folder.logText(), mainTag = "    Info:(                                [mdlMain]main) ";
  EXPECT_TRUE(log.starts_with("\r\n" + std::string(120, '*') + "\r\ntarnwick Version: 1.1.1   Started: ")) << log;
  EXPECT_TRUE(holds(log, mainTag + "Entering [mdlMain]main_0\r\n") &&
              holds(log, mainTag + "Exiting  [mdlMain]main_0 Start: "));
  const bool embedded = NodeDatabase(folder).connection.engine() == "sqlite3";
  EXPECT_TRUE(holds(log, "[mdlMain]main)   Data source: " + (embedded ? "embedded database " + folder.path("Pelagor.db")
                                                                      : "ODBC data source Pelagor, driver ")));
}

TEST(RunSequenceTest, WithoutTheReaderLibraryAnImportFailsWhileAnExportCompletes) {
  emptyServerDatabase();
  ProgramFolder folder;
  fs::remove(folder.path("libquillet.so"));
  writeBytes(folder.path("nodes.csv"), "Action,SerialNo\r\nD,1\r\n");
  RunResult exported = folder.run({"/e"}), imported = folder.run({"/i:nodes.csv"});
  EXPECT_EQ((std::vector<int>{exported.status, imported.status}), (std::vector<int>{1, 1}));
  EXPECT_TRUE(holds(exported.out, "Total nodes exported: 0"));
  EXPECT_FALSE(holds(imported.out, "Processing Line"));
  EXPECT_TRUE(holds(folder.logText(),
                    "[mdlMain]main)   Err.Number = 429 Err.Description = ActiveX component can't "
                    "create object Line: 10"));
  EXPECT_TRUE(holds(folder.logText(),
                    "[mdlProcess]importData)     Err.Number = 91 Err.Description = Object variable "
                    "or With block variable not set Line: 3"));
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

// An ODBC driver library wherever Debian put it; empty when not installed.
std::string odbcDriver(const std::string& library) {
  for (const auto& lib : fs::directory_iterator("/usr/lib")) {
    if (fs::exists(lib.path() / "odbc" / library)) return (lib.path() / "odbc" / library).string();
  }
  return "";
}

// A run that must stop before its job, with status 2. `said` holds parts of
// its console text and `logged` a part of its log; "%" stands for the folder.
struct StartupFailure {
  std::vector<std::string> args;
  Lines said;
  std::function<void(const ProgramFolder&)> setup = nullptr;
  RunOptions options = {};  // ODBCINI is added to its environment
  std::string logged = "";
  std::string program = "tarnwick";
};

std::string inFolder(std::string text, const ProgramFolder& folder) {
  for (size_t at; (at = text.find('%')) != std::string::npos;) text.replace(at, 1, folder.path());
  return text;
}

// Type, size and time of every file, link and folder below `folder` but the
// log folder and the database's journals.
std::map<std::string, std::string> snapshot(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it) {
    std::string name = it->path().lexically_relative(folder).string();
    if (name == "LOGS") it.disable_recursion_pending();
    if (name == "LOGS" || name.ends_with("-wal") || name.ends_with("-shm")) continue;
    struct stat st {};
    lstat(it->path().c_str(), &st);
    files[name] = std::to_string(st.st_mode) + " " + std::to_string(st.st_size) + " " +
                  std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
  }
  return files;
}

// The files every case starts with: an input, earlier results, files of
// several kinds and links, and the embedded database holding one node.
void prepare(const ProgramFolder& folder) {
  writeBytes(folder.path("nodes.csv"), inputText({octel("A", "1")}));
  writeBytes(folder.path("nodes.out.csv"), "earlier results");
  for (const char* name : {"kept.csv", "secret.csv", "odbc.ini"}) writeBytes(folder.path(name), "");
  fs::permissions(folder.path("secret.csv"), fs::perms::none);
  fs::create_directory(folder.path("folder"));
  ASSERT_EQ(mkfifo(folder.path("fifo").c_str(), 0644), 0);
  fs::create_hard_link(folder.path("nodes.csv"), folder.path("hard.csv"));
  fs::create_symlink(folder.path("Pelagor.db"), folder.path("link.csv"));
  platform::db::Connection database;
  database.openSqliteFile(folder.path("Pelagor.db"), nodeSchema());
  addVeltro(database, "7", "kept");
}

std::vector<StartupFailure> startupFailures(const SilentServer& silent) {
  const std::string mayNotWrite =
      " for writing.\r\n       Close any applications that may be using this file and try "
      "again or use a different filename.\r\n";
  const std::string noDataSource = kBanner + "ERROR: Cannot open data source Pelagor.\r\n       ";
  auto ini = [](const std::string& text) {
    return [text](const ProgramFolder& f) { writeBytes(f.path("odbc.ini"), text); };
  };
  auto ownFile = [](const std::string& output, const std::string& what) {
    const std::string message = "ERROR: Cannot write " + output + ": it is " + what + ".";
    return StartupFailure{{"/e:" + output}, {message + "\r\n"}, nullptr, {}, "[mdlMain]checkCommandLine)     " + message};
  };
  std::vector<StartupFailure> cases = {
      {{},
       {"nodeadmin /i:InputFilename [/o:OutputFilename]\r\nnodeadmin /e:OutputFilename\r\n"},
       nullptr,
       {},
       "nodeadmin Version: 1.1.1",
       "nodeadmin"},
      {{"/i:a.csv", "/I:b.csv"},
       {"[X] Command Line Argument Error\r\nThe command line arguments specified are invalid.\r\nYou can not specify "
        "argument: I twice.\r\nPlease remove the duplicate arguments and try again.\r\n"}},
      {{"-i", "missing.csv"}, {"Input File Not Found: missing.csv\r\nExiting.\r\n"}},
      // The data folder: set but empty or missing, then the log folder in it.
      {{"/e"},
       {"ERROR: TARNWICK_HOME is set but empty: set it to a folder you may write, or unset it\r\n"},
       nullptr,
       {.environment = {{"TARNWICK_HOME", ""}}}},
      {{"/e"}, {"ERROR: TARNWICK_HOME names no folder: %/missing\r\n"}, nullptr, {.environment = {{"TARNWICK_HOME", "missing"}}}},
      // The log folder: a file where it belongs, or one the user may not create.
      {{"/e"}, {"ERROR: Cannot create log directory %/LOGS - "}, [](auto& f) { writeBytes(f.path("LOGS"), ""); }},
      {{"/e"},
       {"ERROR: Cannot create log directory %/LOGS - Permission denied\r\nSet TARNWICK_HOME to a folder you may write.\r\n"},
       nullptr,
       {.asNobody = true}},
      // The data source, never replaced by the embedded database.
      {{"/e"},
       {noDataSource, "unable to open database file"},
       [](auto& f) { fs::remove(f.path("Pelagor.db")), fs::create_directory(f.path("Pelagor.db")); }},
      {{"/e"},
       {noDataSource, "Can't open lib '/no/such/driver.so'"},
       ini("[Pelagor]\nDriver=/no/such/driver.so\n"),
       {},
       "[mdlMain]main)   Err.Number = -2147467259 "},
      {{"/e"},
       {noDataSource, "Cannot read the ODBC configuration file "},
       [](auto& f) {
         f.handToNobody(f.path("odbc.ini"));
         fs::permissions(f.path("odbc.ini"), fs::perms::none);
       },
       {.asNobody = true}},
      ownFile("Pelagor.db", "the node database"),
      ownFile("Pelagor.db-wal", "the node database"),
      ownFile("link.csv", "the node database"),
      ownFile("libquillet.so", "a file of the program"),
      ownFile("tarnwick", "a file of the program"),
      ownFile("README.HTM", "a file of the program"),
      {{"/e:LOGS/notes.txt"},
       {"ERROR: Cannot write LOGS/notes.txt: it is a file of the program.\r\n"},
       [](auto& f) { fs::create_directory(f.path("LOGS")), writeBytes(f.path("LOGS/notes.txt"), "notes"); }},
      {{"/i:nodes.csv", "/o:nodes.csv"}, {"ERROR: Cannot write nodes.csv: it is the input file.\r\n"}},
      {{"/i:nodes.csv", "/o:hard.csv"}, {"ERROR: Cannot write hard.csv: it is the input file.\r\n"}},
      {{"/i:-", "/o:hard.csv"}, {"ERROR: Cannot write hard.csv: it is the input file.\r\n"}, nullptr, {.input = "nodes.csv"}},
      // Outputs and inputs that cannot be opened; folders, FIFOs and devices are never waited on.
      {{"/i:nodes.csv", "/o:missing/results.csv"},
       {"ERROR: Cannot open missing/results.csv for writing.\r\n       Path not found\r\n"}},
      {{"/i:nodes.csv", "/o:kept.csv"},
       {"ERROR: Cannot open kept.csv" + mayNotWrite},
       [](auto& f) { f.handToNobody(f.path("kept.csv")); },
       {.asNobody = true}},
      {{"/e:kept.csv"},
       {"ERROR: Cannot open kept.csv" + mayNotWrite},
       [](auto& f) { f.handToNobody(f.path("kept.csv")); },
       {.asNobody = true}},
      {{"/i:nodes.csv", "/o:folder"}, {"ERROR: Cannot write folder: it is a directory.\r\n"}},
      {{"/i:nodes.csv", "/o:fifo"}, {"ERROR: Cannot write fifo: it is a FIFO.\r\n"}},
      {{"/e:fifo"}, {"ERROR: Cannot write fifo: it is a FIFO.\r\n"}},
      {{"/e:/dev/null"}, {"ERROR: Cannot write /dev/null: it is a device.\r\n"}},
      {{"/i:fifo"}, {"ERROR: Cannot read fifo: it is a FIFO.\r\n"}},
      {{"/i:folder"}, {"ERROR: Cannot read folder: it is a directory.\r\n"}},
      {{"/i:secret.csv"},
       {"ERROR: Cannot read secret.csv.\r\n       Permission denied\r\n"},
       [](auto& f) { f.handToNobody(f.path("kept.csv")); },
       {.asNobody = true}},
      // Inputs without a heading line or without a column every line needs.
      {{"/i:kept.csv"}, {"ERROR: The input file is empty.\r\n"}, nullptr, {}, "ERROR: The input file is empty."},
      {{"/i:nodes.csv"},
       {"ERROR: The input file has no line end in its first 1 MiB.\r\n"},
       [](auto& f) { writeBytes(f.path("nodes.csv"), std::string(1024 * 1024 + 1, 'x') + "\r\n"); }},
      {{"/i:nodes.csv"},
       {"ERROR: The input file has no Action column.\r\n"},
       [](auto& f) { writeBytes(f.path("nodes.csv"), "NodeType,SerialNo\r\nO,1\r\n"); },
       {},
       "ERROR: The input file has no Action column."},
      {{"/i:nodes.csv"},
       {"ERROR: Cannot read nodes.csv.\r\n       This key is already associated with an element of this "
        "collection\r\n"},
       [](auto& f) { writeBytes(f.path("nodes.csv"), "Action,SerialNo,ACTION\r\n"); }},
      {{"/i:nodes.csv"},
       {"ERROR: The input file has no SerialNo column.\r\n"},
       [](auto& f) { writeBytes(f.path("nodes.csv"), "NodeType,Action\r\nO,A\r\n"); }},
      {{"/i:nodes.csv"},
       {"ERROR: Cannot read nodes.csv.\r\n       Overflow\r\n"},
       [](auto& f) {
         std::string headings = "c1";  // more than the reader numbers
         for (int i = 2; i <= 40000; ++i) headings += ",c" + std::to_string(i);
         writeBytes(f.path("nodes.csv"), headings + "\r\n");
       }},
  };
  // Drivers that wait for a server's greeting give up after the login timeout.
  const std::pair<std::string, std::string> silentServers[] = {
      {"Driver=" + odbcDriver("psqlodbcw.so") + "\nServername=127.0.0.1\n", "timeout expired"},
      {"Driver=" + odbcDriver("libmaodbc.so") + "\nServer=127.0.0.1\n", "reading initial communication packet"}};
  for (const auto& [settings, failure] : silentServers) {
    if (settings.starts_with("Driver=\n")) continue;  // the driver is not installed
    cases.push_back({{"/e"}, {noDataSource, failure}, ini("[Pelagor]\n" + settings + "Port=" + silent.port + "\n")});
  }
  return cases;
}

// The cases run side by side: drivers waiting for a server take seconds.
TEST(RunSequenceTest, EveryStartupFailureEndsTheRunWithStatus2AndTouchesNoFile) {
  SilentServer silent;
  const std::vector<StartupFailure> cases = startupFailures(silent);
  std::vector<std::unique_ptr<ProgramFolder>> folders;
  std::vector<std::map<std::string, std::string>> before;
  std::vector<StartedRun> runs;
  for (const StartupFailure& c : cases) {
    const ProgramFolder& folder = *folders.emplace_back(std::make_unique<ProgramFolder>(c.program));
    prepare(folder);
    if (c.setup) c.setup(folder);
    before.push_back(snapshot(folder.path()));
    RunOptions options = c.options;
    options.environment.emplace_back("ODBCINI", folder.path("odbc.ini"));
    runs.push_back(folder.start(c.args, options));
  }
  for (size_t i = 0; i < cases.size(); ++i) {
    const ProgramFolder& folder = *folders[i];
    SCOPED_TRACE(inFolder(cases[i].said.back(), folder));
    RunResult run = runs[i].wait(std::chrono::seconds(30));
    EXPECT_EQ(run.status, 2);
    for (const std::string& part : cases[i].said)
      EXPECT_TRUE(holds(run.out + run.err, inFolder(part, folder))) << run.out + run.err;
    EXPECT_FALSE(holds(run.out, "Processing") || holds(run.out, "Total nodes")) << run.out;
    EXPECT_EQ(snapshot(folder.path()), before[i]);
    if (!cases[i].logged.empty()) {
      EXPECT_TRUE(holds(folder.logText(), inFolder(cases[i].logged, folder)));
    }
  }
}

// --help and its short forms show the screen alone, --version the banner line: status 0, no log, no database.
TEST(RunSequenceTest, HelpAndVersionAnswerWithoutLogOrDatabase) {
  ProgramFolder renamed("nodeadmin");
  const std::pair<Lines, size_t> cases[] = {{{"--help"}, 59}, {{"-?"}, 59}, {{"/e", "/?"}, 59}, {{"--version"}, 1}};
  for (const auto& [args, size] : cases) {
    RunResult run = renamed.run(args);
    EXPECT_EQ(run.status, 0);
    Lines lines = crlfLines(run.out);
    ASSERT_EQ(lines.size(), size);
    EXPECT_EQ(lines[size == 1 ? 0 : 3], size == 1 ? "Tarnwick Version: 1.01.0001" : "nodeadmin /e:OutputFilename");
  }
  EXPECT_FALSE(fs::exists(renamed.path("LOGS")) || fs::exists(renamed.path("Pelagor.db")));
}

// TARNWICK_HOME holds the logs, the database and the default export of a user who may not write the program folder.
TEST(RunSequenceTest, DataFolderHoldsWhatTheRunWrites) {
  emptyServerDatabase();
  ProgramFolder folder;
  platform::test::TempFolder home;
  fs::permissions(home.path(), fs::perms::all);
  const RunOptions asNobody{.environment = {{"TARNWICK_HOME", home.path()}}, .asNobody = true};
  EXPECT_EQ(folder.run({"/e"}, asNobody).status, 0);
  EXPECT_TRUE(holds(folder.run({"/e:" + home.path("Pelagor.db")}, asNobody).out, "it is the node database."));
  const bool embedded = NodeDatabase(folder).connection.engine() == "sqlite3";
  for (const char* name : {"LOGS", "NodeExport.csv", embedded ? "Pelagor.db" : "LOGS"}) {
    EXPECT_TRUE(fs::exists(home.path(name))) << name;
  }
}

}  // namespace
}  // namespace tarnwick::e2e
