// Import and export of the built program on the embedded database, beside
// the sqlite3 shell doing the same work in bulk. Prints seconds, lines per
// second and peak memory of every run.
//
//   bench_import_export [import-lines ...]   (default: 100000 1000000)
//
// With TARNWICK_BENCH_ODBCINI naming an odbc.ini that defines the data
// source "Pelagor" (a PostgreSQL or MariaDB server holding the tables of
// schema/pelagor.sql), the program runs on that server instead: the tables
// are emptied and seeded through unixODBC's isql, and the sqlite3 shell is
// left out.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Measure {
  double seconds;
  long peakKb;
};

// Runs `command` through the shell and measures its wall time and peak RSS.
Measure run(const std::string& command) {
  auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) {
    std::fprintf(stderr, "command failed (%d): %s\n", WEXITSTATUS(status), command.c_str());
    std::exit(1);
  }
  return {seconds, usage.ru_maxrss};
}

const char* const kHeader =
    "NodeType,Action,SerialNo,Name,VeltroServerName,VeltroSMTPSuffix,Codec,PhoneNo,Extension,DialSequence,"
    "NormalBeginTime,NormalEndTime,NormalInterval,UrgentBeginTime,UrgentEndTime,UrgentInterval,"
    "AdministrationBeginTime,AdministrationEndTime,AdministrationInterval\r\n";

// 70% Octel adds, 20% Veltro adds, 5% changes and 5% deletes of nodes added
// earlier in the file.
void writeImportFile(const std::string& path, long lines) {
  std::ofstream out(path, std::ios::binary);
  out << kHeader;
  long serial = 100000;
  for (long i = 0; i < lines; ++i) {
    long slot = i % 20;
    long earlier = 100000 + (i / 20) * 19;  // a node added by the previous block
    if (slot < 14) {
      out << "O,A," << serial++ << ",Node " << i << ",,,,5551234,22,9P,08:30,5:00 pm,15,7:00AM,23:00,5,,,240\r\n";
    } else if (slot < 18) {
      out << "V,A," << serial++ << ",Veltro " << i << ",vmsrv1,maildomain,G711,,,,,,,,,,,,\r\n";
    } else if (slot == 18) {
      out << "O,C," << earlier + 1 << ",Changed,,,,555,1,N,1:00AM,2:00AM,30,,,,,,\r\n";
    } else {
      out << "O,D," << earlier + 2 << ",,,,,,,,,,,,,,,,\r\n";
    }
    if (slot == 17) serial += 1;  // keep serials aligned with `earlier`
  }
}

std::string quoted(const std::string& path) { return "'" + path + "'"; }

const char* const kEmptyTables =
    "DELETE FROM DeliveryWindow;\nDELETE FROM OctelNode;\nDELETE FROM VPIMNode;\nDELETE FROM Directory;\n"
    "DELETE FROM Node;\n";

class Workspace {
 public:
  // `onServer`: the program finds the data source Pelagor (ODBCINI is set).
  Workspace(const std::string& programDir, bool onServer)
      : dir_(fs::temp_directory_path() / ("tarnwick-bench-" + std::to_string(getpid()))), onServer_(onServer) {
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    for (const char* file : {"tarnwick", "libquillet.so", "README.HTM"})
      fs::copy_file(programDir + "/" + file, dir_ / file);
  }
  ~Workspace() { fs::remove_all(dir_); }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  bool onServer() const { return onServer_; }
  const char* engine() const { return onServer_ ? "server" : "embedded"; }

  void freshDatabase() {
    fs::remove_all(dir_ / "LOGS");
    if (onServer_) {
      runSql("empty.sql", kEmptyTables);
      return;
    }
    for (const char* name : {"Pelagor.db", "Pelagor.db-wal", "Pelagor.db-shm"}) fs::remove(dir_ / name);
    run("cd " + quoted(dir_.string()) + " && ./tarnwick /e:empty.csv >/dev/null");
  }

  // Runs `statements` (one a line) on the program's database, through the
  // sqlite3 shell or isql; returns the measure.
  Measure runSql(const std::string& fileName, const std::string& statements) const {
    std::ofstream(path(fileName)) << statements;
    std::string tool = onServer_ ? "isql -b Pelagor >/dev/null" : "sqlite3 " + quoted(path("Pelagor.db"));
    return run(tool + " < " + quoted(path(fileName)));
  }

 private:
  fs::path dir_;
  bool onServer_;
};

// Lines of the file at `path`.
long lineCount(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  long lines = 0;
  for (std::string line; std::getline(in, line);) ++lines;
  return lines;
}

void report(const char* what, long lines, const Measure& m) {
  std::printf("%-44s %9ld lines %8.2f s %10.0f lines/s %7.1f MB peak\n", what, lines, m.seconds, lines / m.seconds,
              m.peakKb / 1024.0);
}

const char* const kShellImport = R"(
.mode csv
.import %s Input
CREATE INDEX InputSerial ON Input (SerialNo, Action);
BEGIN;
INSERT INTO Node (SerialNo, Name, ServerType, DefaultCodec)
  SELECT SerialNo, Name, CASE NodeType WHEN 'O' THEN 1 ELSE 2 END, CASE NodeType WHEN 'V' THEN 7 END
  FROM Input WHERE Action = 'A';
INSERT INTO OctelNode SELECT SerialNo, PhoneNo, Extension, DialSequence FROM Input WHERE Action = 'A' AND NodeType = 'O';
INSERT INTO VPIMNode SELECT SerialNo, VeltroServerName, VeltroSMTPSuffix FROM Input WHERE Action = 'A' AND NodeType = 'V';
INSERT INTO DeliveryWindow SELECT 0, 0, SerialNo, NormalBeginTime, NormalEndTime, NormalInterval FROM Input WHERE Action = 'A' AND NodeType = 'O';
INSERT INTO DeliveryWindow SELECT 1, 1, SerialNo, UrgentBeginTime, UrgentEndTime, UrgentInterval FROM Input WHERE Action = 'A' AND NodeType = 'O';
INSERT INTO DeliveryWindow SELECT 2, 2, SerialNo, AdministrationBeginTime, AdministrationEndTime, AdministrationInterval FROM Input WHERE Action = 'A' AND NodeType = 'O';
UPDATE Node SET Name = (SELECT Name FROM Input WHERE Input.SerialNo = Node.SerialNo AND Action = 'C')
  WHERE SerialNo IN (SELECT SerialNo FROM Input WHERE Action = 'C');
DELETE FROM DeliveryWindow WHERE SerialNo IN (SELECT SerialNo FROM Input WHERE Action = 'D');
DELETE FROM OctelNode WHERE SerialNo IN (SELECT SerialNo FROM Input WHERE Action = 'D');
DELETE FROM Node WHERE SerialNo IN (SELECT SerialNo FROM Input WHERE Action = 'D');
DROP TABLE Input;
COMMIT;
)";

void benchImport(Workspace& ws, long lines) {
  std::string input = ws.path("in.csv");
  writeImportFile(input, lines);
  ws.freshDatabase();
  Measure program = run("cd " + quoted(ws.path("")) + " && ./tarnwick /i:in.csv >/dev/null");
  report(("import " + std::string(ws.engine()) + ", tarnwick /i (" + std::to_string(lines) + ")").c_str(), lines,
         program);
  if (ws.onServer()) return;
  ws.freshDatabase();
  char script[4096];
  std::snprintf(script, sizeof script, kShellImport, input.c_str());
  Measure shell = ws.runSql("import.sql", script);
  report("import, sqlite3 shell in one transaction", lines, shell);
  std::printf("%-44s %8.1fx\n", "import ratio tarnwick / sqlite3", program.seconds / shell.seconds);
}

// One statement a line, in SQL that every engine reads (isql runs each
// line): the numbers up to a million, made from a table of the ten digits,
// give the serial numbers of each kind.
const char* const kSeed =
    "CREATE TABLE BenchDigits (d INTEGER);\n"
    "INSERT INTO BenchDigits VALUES (0), (1), (2), (3), (4), (5), (6), (7), (8), (9);\n"
    "CREATE TABLE BenchNumbers (i INTEGER);\n"
    "INSERT INTO BenchNumbers SELECT 1 + a.d + 10 * b.d + 100 * c.d + 1000 * e.d + 10000 * f.d + 100000 * g.d "
    "FROM BenchDigits a, BenchDigits b, BenchDigits c, BenchDigits e, BenchDigits f, BenchDigits g;\n"
    "INSERT INTO Node SELECT CAST(1000000 + i AS VARCHAR(10)), 'Octel', 1, NULL FROM BenchNumbers WHERE i <= %ld;\n"
    "INSERT INTO OctelNode SELECT SerialNo, '5551234', '22', 'N' FROM Node WHERE ServerType = 1;\n"
    "INSERT INTO DeliveryWindow SELECT 0, 0, SerialNo, '12:00AM', '11:59PM', '30' FROM Node WHERE ServerType = 1;\n"
    "INSERT INTO DeliveryWindow SELECT 1, 1, SerialNo, '8:00AM', '5:00PM', '5' FROM Node WHERE ServerType = 1;\n"
    "INSERT INTO DeliveryWindow SELECT 2, 2, SerialNo, '12:00AM', '11:59PM', '60' FROM Node WHERE ServerType = 1;\n"
    "INSERT INTO Node SELECT CAST(3000000 + i AS VARCHAR(10)), 'Veltro', 2, 307 FROM BenchNumbers WHERE i <= %ld;\n"
    "INSERT INTO VPIMNode SELECT SerialNo, 'vmsrv1', 'maildomain' FROM Node WHERE ServerType = 2;\n"
    "DROP TABLE BenchNumbers;\n"
    "DROP TABLE BenchDigits;\n";

const char* const kShellExport = R"(
.headers off
.mode csv
.output %s
SELECT 'O', '', n.SerialNo, n.Name, '', '', '', o.PhoneNo, o.Ext, o.DialingSequence,
  w0.BeginTime, w0.EndTime, w0.Interval, w1.BeginTime, w1.EndTime, w1.Interval, w2.BeginTime, w2.EndTime, w2.Interval
FROM Node n JOIN OctelNode o ON n.SerialNo = o.SerialNo
  LEFT JOIN DeliveryWindow w0 ON w0.SerialNo = n.SerialNo AND w0.MessageType = 0
  LEFT JOIN DeliveryWindow w1 ON w1.SerialNo = n.SerialNo AND w1.MessageType = 1
  LEFT JOIN DeliveryWindow w2 ON w2.SerialNo = n.SerialNo AND w2.MessageType = 2
WHERE n.ServerType = 1
UNION ALL
SELECT 'V', '', n.SerialNo, n.Name, v.DomainName, v.ProxyDomain, CASE n.DefaultCodec WHEN 7 THEN 'G711' WHEN 307 THEN 'G729' ELSE '' END,
  '', '', '', '', '', '', '', '', '', '', '', ''
FROM Node n JOIN VPIMNode v ON n.SerialNo = v.SerialNo WHERE n.ServerType = 2;
)";

void benchExport(Workspace& ws, long perKind) {
  ws.freshDatabase();
  char seed[4096];
  std::snprintf(seed, sizeof seed, kSeed, perKind, perKind);
  ws.runSql("seed.sql", seed);
  Measure program = run("cd " + quoted(ws.path("")) + " && ./tarnwick /e:out.csv >/dev/null");
  if (lineCount(ws.path("out.csv")) != 2 * perKind + 1) {
    std::fprintf(stderr, "the export holds %ld lines, not %ld: seeding failed\n", lineCount(ws.path("out.csv")),
                 2 * perKind + 1);
    std::exit(1);
  }
  report(("export " + std::string(ws.engine()) + ", tarnwick /e").c_str(), 2 * perKind, program);
  if (ws.onServer()) return;
  char script[4096];
  std::snprintf(script, sizeof script, kShellExport, ws.path("shell.csv").c_str());
  Measure shell = ws.runSql("export.sql", script);
  report("export, sqlite3 shell with one query", 2 * perKind, shell);
  std::printf("%-44s %8.1fx\n", "export ratio tarnwick / sqlite3", program.seconds / shell.seconds);
}

}  // namespace

int main(int argc, char** argv) {
  const char* serverOdbcIni = std::getenv("TARNWICK_BENCH_ODBCINI");
  if (serverOdbcIni) setenv("ODBCINI", serverOdbcIni, 1);
  Workspace ws(TARNWICK_PROGRAM_DIR, serverOdbcIni != nullptr);
  benchExport(ws, 100000);
  std::vector<long> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::stol(argv[i]));
  if (sizes.empty()) sizes = {100000, 1000000};
  for (long lines : sizes) benchImport(ws, lines);
  return 0;
}
