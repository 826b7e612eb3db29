// The program as a user starts it: the banner, log and data source of a run, every way a run stops before its job, and
// a run without its reader library.
#include <sys/stat.h>
#include <unistd.h>

#include "ProgramRun.h"
#include "nodes/NodeSchema.h"

namespace tarnwick::e2e {
namespace {

const std::string kBanner = "Tarnwick Version: 1.01.0001\r\n" + std::string(60, '-') + "\r\n";

// A quote or blank in the program's folder changes nothing of the data source.
TEST(RunSequenceTest, ExportOnANewFolderCreatesTheDatabaseAndLogsHeaderAndDataSource) {
  emptyServerDatabase();
  ProgramFolder folder("tarnwick", "t x\" timeout=\"1");
  RunResult run = folder.run({"/e"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out + run.err, kBanner + "Export node data to: " + folder.path("NodeExport.csv") +
                                   "\r\nFinished exporting data.\r\n\r\nTotal nodes exported: 0\r\n\r\n");
  // The header block (classLogTest checks it whole) and the data source.
  const std::string log = folder.logText();
  EXPECT_TRUE(log.starts_with("\r\n" + std::string(120, '*') + "\r\ntarnwick Version: 1.1.1   Started: ")) << log;
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
  const std::string log = folder.logText();
  EXPECT_TRUE(holds(log, "[mdlMain]main)   Err.Number = 429 Err.Description = ActiveX component can't create object"));
  EXPECT_TRUE(holds(log,
                    "[mdlProcess]importData)     Err.Number = 91 Err.Description = Object variable or With "
                    "block variable not set Line: 3"));
}

// A run that must stop before its job, with status 2. `said` holds parts of its console text and `logged` a part of its
// log; "%" stands for the folder, in its environment too. ODBCINI is %/odbc.ini unless the case sets it.
struct StartupFailure {
  Lines args, said;
  RunOptions options = {};
  std::string logged = "";
  std::function<void(const ProgramFolder&)> setup = nullptr;
};

std::string inFolder(std::string text, const ProgramFolder& folder) {
  for (size_t at; (at = text.find('%')) != std::string::npos;) text.replace(at, 1, folder.path());
  return text;
}

// The type of everything below `folder`, and the size and write time of each file and link, but log folders and the
// database's journals.
std::map<std::string, std::string> snapshot(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it) {
    const std::string name = it->path().lexically_relative(folder).string();
    if (it->path().filename() == "LOGS") it.disable_recursion_pending();
    if (it->path().filename() == "LOGS" || name.ends_with("-wal") || name.ends_with("-shm")) continue;
    struct stat st {};
    lstat(it->path().c_str(), &st);
    files[name] = std::to_string(st.st_mode);  // a folder's entries are listed themselves
    if (!S_ISDIR(st.st_mode))
      files[name] += " " + std::to_string(st.st_size) + " " + std::to_string(st.st_mtim.tv_nsec);
  }
  return files;
}

// The files every case starts with, all user nobody's but kept.csv: inputs good and bad, earlier results, files of
// several kinds, links, data folders and ODBC settings that fail, and the embedded database holding one node.
void prepare(const ProgramFolder& folder) {
  auto write = [&](const std::string& name, const std::string& bytes) { writeBytes(folder.path(name), bytes); };
  write("nodes.csv", inputText({octel("A", "1")}));
  write("nodes.out.csv", "earlier results");
  for (const char* name : {"kept.csv", "secret.csv", "odbc.ini"}) write(name, "");
  write("long.csv", std::string(1024 * 1024 + 1, 'x') + "\r\n");
  write("noaction.csv", "NodeType,SerialNo\r\nO,1\r\n");
  write("noserial.csv", "NodeType,Action\r\nO,A\r\n");
  write("twice.csv", "Action,SerialNo,ACTION\r\n");
  std::string headings = "c1";  // more than the reader numbers
  for (int i = 2; i <= 40000; ++i) headings += ",c" + std::to_string(i);
  write("wide.csv", headings + "\r\n");
  write("nodriver.ini", "[Pelagor]\nDriver=/no/such/driver.so\n");
  for (const char* name : {"folder", "home", "dbhome/Pelagor.db"}) fs::create_directories(folder.path(name));
  write("home/LOGS", "");
  ASSERT_EQ(mkfifo(folder.path("fifo").c_str(), 0644), 0);
  fs::create_hard_link(folder.path("nodes.csv"), folder.path("hard.csv"));
  fs::create_symlink(folder.path("Pelagor.db"), folder.path("link.csv"));
  platform::db::Connection database;
  database.openSqliteFile(folder.path("Pelagor.db"), nodeSchema());
  addVeltro(database, "7", "kept");
  folder.handToNobody(folder.path("kept.csv"));
  fs::permissions(folder.path("secret.csv"), fs::perms::none);
  write("unreadable.ini", "");
  fs::permissions(folder.path("unreadable.ini"), fs::perms::none);
}

std::vector<StartupFailure> startupFailures() {
  const std::string mayNotWrite =
      " for writing.\r\n       Close any applications that may be using this file and try again or use a different "
      "filename.\r\n";
  const std::string noDataSource = kBanner + "ERROR: Cannot open data source Pelagor.\r\n       ";
  const RunOptions asNobody{.asNobody = true};
  auto ownFile = [](const std::string& output, const std::string& what) {
    const std::string message = "ERROR: Cannot write " + output + ": it is " + what + ".";
    return StartupFailure{{"/e:" + output}, {message + "\r\n"}, {}, "[mdlMain]checkCommandLine)     " + message};
  };
  auto home = [](const std::string& folder) { return RunOptions{.environment = {{"TARNWICK_HOME", folder}}}; };
  auto ini = [](const std::string& file) { return RunOptions{.environment = {{"ODBCINI", "%/" + file}}}; };
  return {
      // The usage screen for no job, both jobs or a result file alone; an unknown option named after it.
      {{}, {"tarnwick /i:InputFilename [/o:OutputFilename]\r\ntarnwick /e:OutputFilename\r\n"}},
      {{"/e", "/i:nodes.csv"}, {"tarnwick /e:OutputFilename\r\n", std::string(32, ' ') + "\r\n"}},
      {{"/o:x.csv"}, {"tarnwick /e:OutputFilename\r\n", std::string(32, ' ') + "\r\n"}},
      {{"/e", "-x"}, {"tarnwick /e:OutputFilename\r\n", std::string(32, ' ') + "\r\nERROR: Unknown option: x\r\n"}},
      {{"/e", "--dry"}, {std::string(32, ' ') + "\r\nERROR: Unknown option: dry\r\n"}},
      {{"/i:a.csv", "/I:b.csv"},
       {"[X] Command Line Argument Error\r\nThe command line arguments specified are invalid.\r\nYou can not specify "
        "argument: I twice.\r\nPlease remove the duplicate arguments and try again.\r\n"}},
      {{"-i", "missing.csv"}, {"Input File Not Found: missing.csv\r\nExiting.\r\n"}},
      // The data folder and its log folder.
      {{"/e"}, {"ERROR: TARNWICK_HOME is set but empty: set it to a folder you may write, or unset it\r\n"}, home("")},
      {{"/e"}, {"ERROR: TARNWICK_HOME names no folder: %/missing\r\n"}, home("missing")},
      {{"/e"}, {"ERROR: Cannot create log directory %/home/LOGS - "}, home("home")},
      {{"/e"},
       {"ERROR: Cannot create log directory %/LOGS - Permission denied\r\nSet TARNWICK_HOME to a folder you may "
        "write.\r\n"},
       asNobody,
       "",
       [](auto& f) { ASSERT_EQ(chown(f.path().c_str(), 0, 0), 0); }},
      // The data source, never replaced by the embedded database.
      {{"/e"}, {noDataSource, "unable to open database file"}, home("dbhome")},
      {{"/e"},
       {noDataSource, "Can't open lib '/no/such/driver.so'"},
       ini("nodriver.ini"),
       "[mdlMain]main)   Err.Number = -2147467259 "},
      {{"/e"},
       {noDataSource, "Cannot read the ODBC configuration file "},
       {.environment = {{"ODBCINI", "%/unreadable.ini"}}, .asNobody = true}},
      ownFile("Pelagor.db", "the node database"),
      ownFile("Pelagor.db-wal", "the node database"),
      ownFile("link.csv", "the node database"),
      ownFile("libquillet.so", "a file of the program"),
      {{"/e:LOGS/notes.txt"},
       {"ERROR: Cannot write LOGS/notes.txt: it is a file of the program.\r\n"},
       {},
       "",
       [](auto& f) { fs::create_directory(f.path("LOGS")), writeBytes(f.path("LOGS/notes.txt"), "notes"); }},
      {{"/i:nodes.csv", "/o:nodes.csv"}, {"ERROR: Cannot write nodes.csv: it is the input file.\r\n"}},
      {{"/i:nodes.csv", "/o:hard.csv"}, {"ERROR: Cannot write hard.csv: it is the input file.\r\n"}},
      {{"/i:-", "/o:hard.csv"}, {"ERROR: Cannot write hard.csv: it is the input file.\r\n"}, {.input = "nodes.csv"}},
      // Outputs and inputs that cannot be opened; folders, FIFOs and devices are never waited on.
      {{"/i:nodes.csv", "/o:missing/results.csv"},
       {"ERROR: Cannot open missing/results.csv for writing.\r\n       Path not found\r\n"}},
      {{"/i:nodes.csv", "/o:kept.csv"}, {"ERROR: Cannot open kept.csv" + mayNotWrite}, asNobody},
      {{"/e:kept.csv"}, {"ERROR: Cannot open kept.csv" + mayNotWrite}, asNobody},
      {{"/i:nodes.csv", "/o:folder"}, {"ERROR: Cannot write folder: it is a directory.\r\n"}},
      {{"/i:nodes.csv", "/o:fifo"}, {"ERROR: Cannot write fifo: it is a FIFO.\r\n"}},
      {{"/e:fifo"}, {"ERROR: Cannot write fifo: it is a FIFO.\r\n"}},
      {{"/e:/dev/null"}, {"ERROR: Cannot write /dev/null: it is a device.\r\n"}},
      {{"/i:fifo"}, {"ERROR: Cannot read fifo: it is a FIFO.\r\n"}},
      {{"/i:folder"}, {"ERROR: Cannot read folder: it is a directory.\r\n"}},
      {{"/i:secret.csv"}, {"ERROR: Cannot read secret.csv.\r\n       Permission denied\r\n"}, asNobody},
      // Inputs without a heading line or without a column every line needs.
      {{"/i:kept.csv"}, {"ERROR: The input file is empty.\r\n"}, {}, "ERROR: The input file is empty."},
      {{"/i:long.csv"}, {"ERROR: The input file has no line end in its first 1 MiB.\r\n"}},
      {{"/i:noaction.csv"}, {"ERROR: The input file has no Action column.\r\n"}},
      {{"/i:twice.csv"},
       {"ERROR: Cannot read twice.csv.\r\n       This key is already associated with an element of this "
        "collection\r\n"}},
      {{"/i:noserial.csv"}, {"ERROR: The input file has no SerialNo column.\r\n"}},
      {{"/i:wide.csv"}, {"ERROR: Cannot read wide.csv.\r\n       Overflow\r\n"}},
  };
}

TEST(RunSequenceTest, EveryStartupFailureEndsTheRunWithStatus2AndTouchesNoFile) {
  for (const StartupFailure& c : startupFailures()) {
    const ProgramFolder folder;
    prepare(folder);
    if (c.setup) c.setup(folder);
    const auto before = snapshot(folder.path());
    RunOptions options = c.options;
    options.environment.insert(options.environment.begin(), {"ODBCINI", "%/odbc.ini"});
    for (auto& variable : options.environment) variable.second = inFolder(variable.second, folder);
    SCOPED_TRACE(inFolder(c.said.back(), folder));
    RunResult run = folder.run(c.args, options);
    EXPECT_EQ(run.status, 2);
    for (const std::string& part : c.said) EXPECT_TRUE(holds(run.out + run.err, inFolder(part, folder))) << run.out;
    EXPECT_FALSE(holds(run.out, "Processing") || holds(run.out, "Total nodes")) << run.out;
    EXPECT_EQ(snapshot(folder.path()), before);
    EXPECT_TRUE(c.logged.empty() || holds(folder.logText(), inFolder(c.logged, folder)));
  }
}

// The screen is shown under the program's own name. --help and its short forms show it alone, --version the banner
// line: status 0, no log, no database.
TEST(RunSequenceTest, UsageUnderTheProgramsOwnNameAndHelpAndVersionWithoutLogOrDatabase) {
  ProgramFolder renamed("nodeadmin");
  const std::pair<Lines, size_t> cases[] = {{{"--help"}, 62}, {{"-?"}, 62}, {{"/e", "/?"}, 62}, {{"--version"}, 1}};
  for (const auto& [args, size] : cases) {
    RunResult run = renamed.run(args);
    EXPECT_EQ(run.status, 0);
    Lines lines = crlfLines(run.out);
    ASSERT_EQ(lines.size(), size);
    EXPECT_EQ(lines[size == 1 ? 0 : 3], size == 1 ? "Tarnwick Version: 1.01.0001" : "nodeadmin /e:OutputFilename");
  }
  EXPECT_FALSE(fs::exists(renamed.path("LOGS")) || fs::exists(renamed.path("Pelagor.db")));
  EXPECT_TRUE(holds(renamed.run({}).out, "nodeadmin /i:InputFilename [/o:OutputFilename]\r\nnodeadmin /e:"));
  EXPECT_TRUE(holds(renamed.logText(), "nodeadmin Version: 1.1.1"));
}

}  // namespace
}  // namespace tarnwick::e2e
