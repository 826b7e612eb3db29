#include "mdlMain.h"

#include <cstdio>
#include <optional>

#include "StdOutput.h"
#include "frmUsage.h"
#include "logging/Procedure.h"
#include "logging/RunOutcome.h"
#include "logging/classLog.h"
#include "nodes/NodeSchema.h"
#include "nodes/mdlProcess.h"
#include "platform/ComponentLoader.h"
#include "platform/Env.h"
#include "platform/Paths.h"
#include "platform/ProgramInfo.h"
#include "platform/Text.h"

namespace tarnwick {

namespace {

const char* const kDataSource = "Pelagor";

std::string bannerLine() {
  char version[32];
  std::snprintf(version, sizeof version, "%d.%02d.%04d", platform::versionMajor(), platform::versionMinor(),
                platform::versionRevision());
  return platform::productName() + " Version: " + version;
}

// Help and version are answered before anything is opened or written.
std::optional<int> answerWithoutRun(const std::string& argumentText) {
  const Options wanted = scanCommandLine(argumentText);
  if (!wanted.exists("help") && !wanted.exists("version")) return std::nullopt;
  StdOutput console;
  wanted.exists("help") ? showUsage(console) : printLine(console, bannerLine());
  return RunOutcome::kSuccess;
}

// The logger is created before anything else, in the data folder; without a
// log directory the program cannot run its job.
bool startLog() {
  platform::Env* env = platform::env();
  std::string logDir;
  try {
    logDir = platform::joinPath(platform::dataFolder(), "LOGS");
    Log();
    return true;
  } catch (const platform::Error& e) {  // without logDir: the data folder itself is unusable
    std::string text = logDir.empty() ? e.description()
                                      : "Cannot create log directory " + logDir + " - " + e.description();
    if (!logDir.empty() && !env->variable(platform::kDataFolderVariable)) {
      text += "\r\nSet TARNWICK_HOME to a folder you may write.";
    }
    env->writeStdErr(platform::toConsoleCharset("ERROR: " + text + "\r\n"));
    return false;
  }
}

// What a path names when it is no file a run can read or write; "" for a
// regular file or none.
std::string specialKind(platform::FileKind kind) {
  switch (kind) {
    case platform::FileKind::Directory: return "a directory";
    case platform::FileKind::Fifo: return "a FIFO";
    case platform::FileKind::Device: return "a device";
    case platform::FileKind::Other: return "a special file";
    default: return "";
  }
}

// What `output` is when the run must not write it: one of the files the
// program itself reads or keeps (`input` is the import's input, empty for an
// export), or no regular file. Empty when the run may write it.
std::string protectedOutput(const std::string& output, const std::string& input) {
  platform::Env* env = platform::env();
  const platform::FileIdentity target = env->identifyFile(output);
  if (std::string kind = specialKind(target.kind); !kind.empty()) return kind;
  const std::string database = platform::db::embeddedDatabaseFile(kDataSource);
  const struct {
    std::string path;
    const char* what;
  } ownFiles[] = {
      {input == platform::kStandardInput ? platform::kStandardInputFile : input, "the input file"},
      {database, "the node database"},
      {database + "-wal", "the node database"},
      {database + "-shm", "the node database"},
      {env->programPath(), "a file of the program"},
      {platform::componentLibraryFile(frmUsage::kReaderComponent), "a file of the program"},
      {platform::joinPath(platform::programFolder(), "README.HTM"), "a file of the program"},
  };
  for (const auto& file : ownFiles) {
    if (!file.path.empty() && target.sameFileAs(env->identifyFile(file.path))) return file.what;
  }
  const platform::FileIdentity folder = env->identifyFile(platform::parentFolderName(target.resolvedPath));
  return folder.sameFileAs(env->identifyFile(Log().strLogDir())) ? "a file of the program" : "";
}

// Why the run stops before its job: on the console and in the log.
void refuse(const Procedure& p, IPrintTarget& console, const std::string& text) {
  printLine(console, text);
  Log().log(text, kError, p.tag());
}

// Stops the run when it must not write `output`.
bool outputRefused(const Procedure& p, IPrintTarget& console, const std::string& output, const std::string& input) {
  std::string what = protectedOutput(output, input);
  if (!what.empty()) refuse(p, console, "ERROR: Cannot write " + output + ": it is " + what + ".");
  return !what.empty();
}

// The options that shape a job: /n (a dry run), /q (quiet) and /u (a UTF-8 export).
JobOptions jobOptions(const Options& options) {
  return {options.exists("n"), options.exists("q"), options.exists("u")};
}

}  // namespace

void openConnection(platform::db::Connection& connection, bool forDryRun) {
  connection.setConnectionString(std::string("Data Source=") + kDataSource);
  connection.open(nodeSchema(), forDryRun);
}

int main(const std::string& argumentText) {
  if (std::optional<int> status = answerWithoutRun(argumentText)) return *status;
  if (!startLog()) return RunOutcome::kNoJobRan;
  StdOutput console;
  ProgramObjects objects(console);
  Procedure p("mdlMain", "main");
  Options options;
  bool connected = false;
  int32_t mode = kNothingToDo;
  bool jobRan = false;
  bool linesFailed = false;
  // Forced out by the error limit, the run ends at once as well: the status
  // tells what was done by then.
  p.run([&] {
    p.step(5, [&] { printLine(console, bannerLine()); });
    p.step(6, [&] { printLine(console, std::string(60, '-')); });
    p.step(7, [&] { options = parseCommandLine(argumentText); });
    p.step(8, [&] { Log().log("Command Line Options:", kInfo, p.tag()); });
    p.step(9, [&] { Log().dumpDictionary(options, p.tag()); });
    p.step(10, [&] { frmUsage::Load(objects); });
    p.step(11, [&] {
      try {
        openConnection(objects.connection, jobOptions(options).dryRun);
        connected = true;
        Log().log("Data source: " + objects.connection.dataSourceDescription(), kInfo, p.tag());
      } catch (const platform::Error& e) {
        p.logFailure({e, 11});
        printLine(console, std::string("ERROR: Cannot open data source ") + kDataSource + ".");
        printLine(console, "       " + e.description());
      }
    });
    if (connected) p.step(12, [&] { mode = checkCommandLine(options, console); });
    if (mode == kExport) {
      p.step(15, [&] {
        jobRan = true;
        exportData(objects, options.item("e"), jobOptions(options));
      });
    } else if (mode == kImport) {
      p.step(17, [&] {
        jobRan = true;
        linesFailed = !importData(objects, options.item("i"), options.item("o"), jobOptions(options));
      });
    }
    p.step(19, [&] { frmUsage::Unload(objects); });
    p.traceExit(20);
  });
  return RunOutcome::exitStatus(jobRan, linesFailed || Log().loggedError());
}

int32_t checkCommandLine(Options& options, IPrintTarget& console) {
  Procedure p("mdlMain", "checkCommandLine");
  int32_t mode = kNothingToDo;
  p.run([&] {
    bool invalid = false;
    std::optional<std::string> unknown;
    p.step(5, [&] {
      unknown = unknownOption(options);
      invalid = unknown || options.exists("e") == options.exists("i");
    });
    p.step(6, [&] {
      if (!invalid) return;
      showUsage(console);
      if (unknown) refuse(p, console, "ERROR: Unknown option: " + *unknown);
      p.leave();
    });
    if (options.exists("e")) {
      p.step(10, [&] { mode = kExport; });
      p.step(12, [&] {
        std::string& path = options.item("e");
        if (path.empty()) path = platform::joinPath(platform::dataFolder(), "NodeExport.csv");
      });
      p.step(18, [&] { printLine(console, "Export node data to: " + options.item("e")); });
      p.step(19, [&] { Log().log("Export node data to: " + options.item("e"), kInfo, p.tag()); });
      p.step(20, [&] {
        if (outputRefused(p, console, options.item("e"), "")) mode = kNothingToDo;
      });
    } else if (options.exists("i")) {
      bool found = false;
      p.step(26, [&] {
        const std::string& input = options.item("i");
        found = input == platform::kStandardInput || platform::env()->fileExists(input);
      });
      if (found) {
        p.step(27, [&] { printLine(console, "Using Input File: " + options.item("i")); });
        p.step(28, [&] { mode = kImport; });
        p.step(36, [&] {
          if (options.exists("o")) return;
          const std::string input = options.item("i");
          options.add("o", (input == platform::kStandardInput ? "stdin" : platform::baseName(input)) + ".out.csv");
        });
        p.step(38, [&] { printLine(console, "Output file: " + options.item("o")); });
        p.step(39, [&] {
          Log().log("Using input file: " + options.item("i") + " Writing results to: " + options.item("o"), kInfo,
                    p.tag());
        });
        p.step(40, [&] {
          if (outputRefused(p, console, options.item("o"), options.item("i"))) mode = kNothingToDo;
        });
      } else {
        p.step(30, [&] {
          const std::string& input = options.item("i");
          std::string kind = specialKind(platform::env()->identifyFile(input).kind);
          kind.empty() ? printLine(console, "Input File Not Found: " + input)
                       : refuse(p, console, "ERROR: Cannot read " + input + ": it is " + kind + ".");
        });
        p.step(31, [&] { printLine(console, "Exiting."); });
      }
    }
    p.traceExit(41);
  });
  return mode;
}

void showUsage(IPrintTarget& console) {
  const std::string name = platform::programName();
  const std::string lines[] = {
      "Usage: ",
      "",
      name + " /i:InputFilename [/o:OutputFilename]",
      name + " /e:OutputFilename",
      "",
      "Import Options:",
      "   /i:InputFilename      Import Adds/Changes/Deletes from InputFilename",
      "   /o:OutputFilename     Write results to OutputFilename (Optional)",
      "                           If not specified one will be created based on InputFilename",
      "",
      "Export Options:",
      "   /e:OutputFilename     Export Nodes to Outputfilename",
      "                           Outputfilename is optional, if not specified NodeExport.csv will be used",
      "",
      "Other Options:",
      "   /i:-                  Import from standard input; results go to stdin.out.csv unless /o is given",
      "   /n, --dry-run         Import as usual, with every check and result, but store nothing",
      "   /q, --quiet           Show only the lines that fail, the summary and any errors, not every line or node",
      "   /u                    Export as UTF-8, for names the Windows-1252 code page cannot hold",
      "   --help, -h, -?, /?    Show this screen",
      "   --version             Show the program's version",
      "",
      "Environment:",
      "   TARNWICK_HOME         The folder for LOGS, Pelagor.db and the default NodeExport.csv",
      "                           If not set, the program's folder is used",
      "",
      " Column Headers",
      "  The following column headers are expected in the input file.  Please see the included README.HTM for more",
      "  information regarding the possible values and requirements for each column.",
      "     Column                     Possible",
      "     Header                     Values            Description",
      "     ------------------------   ---------------   -----------------------------------------------------",
      "     NodeType                   O                 Octel Node",
      "                                V                 Veltro Node",
      "     Action                     A                 Add Node",
      "                                C                 Change Node",
      "                                D                 Delete Node",
      "     SerialNo                   1-4294967295      Node's Serial Number",
      "     Name                       text              Node's Name",
      "     VeltroServerName           text              Veltro's Server Name",
      "     VeltroSMTPSuffix           text              Veltro's SMTP Domain Name",
      "     Codec                      G711              G711 Codec",
      "                                G729              G729 Codec",
      "     PhoneNo                    (0-9,*,#)         Octel Node Phone Number",
      "     Extension                  (0-9,*,#)         Octel Node Extension",
      "     DialSequence               (0-9,*,#,N,P,X)   Octel Node Dial Sequence",
      "     NormalBeginTime            see README.HTM    Normal Delivery Begin Time",
      "     NormalEndTime              see README.HTM    Normal Delivery End Time",
      "     NormalInterval             1-240             Normal Delivery Interval",
      "     UrgentBeginTime            see README.HTM    Urgent Delivery Begin Time",
      "     UrgentEndTime              see README.HTM    Urgent Delivery End Time",
      "     UrgentInterval             1-240             Urgent Delivery Interval",
      "     AdministrationBeginTime    see README.HTM    Administration Delivery Begin Time",
      "     AdministrationEndTime      see README.HTM    Administration Delivery End Time",
      "     AdministrationInterval     1-240             Administration Delivery Interval",
      "",
      "  The best way to generate the correct column headers is to use the /e command line option which will create",
      "  the NodeExport.csv file in the current directory with the column headers for you.  This command works even",
      "  on a system without Strandel data.",
      "",
      "  NOTE: All columns are required to be present in the input file.",
      "                                ",
  };
  for (const auto& line : lines) printLine(console, line);
}

}  // namespace tarnwick
