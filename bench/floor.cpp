// The floor under `tarnwick /i:<file>` and `tarnwick /e:<file>`: the least a
// program has to do to leave the same files, rows, console and log bytes.
// run-floor.sh sets the program's times beside these.
//
//   floor import <file>   adds the nodes of <file> to Pelagor.db
//   floor export <file>   writes every node of Pelagor.db to <file>
//
// Run in the folder that holds Pelagor.db, like the program run from its own
// folder: the log goes to LOGS/ there, the result file <name>.out.csv to the
// current folder, console lines to standard output.
//
// The import does the program's database work with every statement prepared
// once: per line BEGIN IMMEDIATE, the existence SELECT, the Node row, the
// OctelNode or VPIMNode row, for an Octel node three DeliveryWindow rows, and
// COMMIT. Every log and result line is one write(2); the console, like the
// program's, is written line by line on a terminal and otherwise in 64 KiB
// blocks (at the latest when a print comes a second later). The export reads
// the Octel nodes and their windows with one LEFT JOIN query, the Veltro nodes
// with the program's query, and writes its file in 64 KiB blocks.
//
// It takes only what the runner generates: add lines of unquoted cells in the
// program's column order. It validates no value, and its log skips the
// retention check (its report line carries zeros).
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace {

const char* const kColumns[] = {"NodeType",
                                "Action",
                                "SerialNo",
                                "Name",
                                "VeltroServerName",
                                "VeltroSMTPSuffix",
                                "Codec",
                                "PhoneNo",
                                "Extension",
                                "DialSequence",
                                "NormalBeginTime",
                                "NormalEndTime",
                                "NormalInterval",
                                "UrgentBeginTime",
                                "UrgentEndTime",
                                "UrgentInterval",
                                "AdministrationBeginTime",
                                "AdministrationEndTime",
                                "AdministrationInterval"};
constexpr size_t kColumnCount = std::size(kColumns);
enum Column {
  kNodeType,
  kAction,
  kSerial,
  kName,
  kServerName,
  kSmtpSuffix,
  kCodec,
  kPhone,
  kExtension,
  kDial,
  kFirstWindow
};

void flushConsole();

[[noreturn]] void fail(const std::string& what) {
  flushConsole();
  std::fprintf(stderr, "floor: %s\n", what.c_str());
  std::exit(2);
}

void writeAll(int fd, std::string_view text) {
  while (!text.empty()) {
    ssize_t written = write(fd, text.data(), text.size());
    if (written < 0) fail("write failed");
    text.remove_prefix(static_cast<size_t>(written));
  }
}

std::string console;  // printed, not yet written
time_t consoleSince = 0;

void flushConsole() {
  std::string text;
  text.swap(console);
  writeAll(STDOUT_FILENO, text);
}

void print(std::string_view line = "") {
  static const bool terminal = isatty(STDOUT_FILENO) != 0;
  if (console.empty()) consoleSince = time(nullptr);
  console.append(line).append("\r\n");
  if (terminal || console.size() >= 64 * 1024 || time(nullptr) > consoleSince) flushConsole();
}

// "12/7/2026 12:44:00 AM"
std::string generalDate(time_t when) {
  tm t{};
  localtime_r(&when, &t);
  char text[40];
  std::snprintf(text, sizeof text, "%d/%d/%d %d:%02d:%02d %s", t.tm_mon + 1, t.tm_mday, t.tm_year + 1900,
                (t.tm_hour + 11) % 12 + 1, t.tm_min, t.tm_sec, t.tm_hour < 12 ? "AM" : "PM");
  return text;
}

// The program's log file: its header block and line layout, with procedure
// entry and exit traced; every line one write.
class Log {
 public:
  Log() {
    time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    char name[64];
    std::strftime(name, sizeof name, "LOGS/tarnwick_%Y%m%d_%H%M%S.LOG", &local);
    mkdir("LOGS", 0777);
    fd_ = open(name, O_WRONLY | O_CREAT | O_APPEND, 0666);
    if (fd_ < 0) fail(std::string("cannot open ") + name);
    local.tm_hour = local.tm_min = local.tm_sec = 0;
    midnight_ = mktime(&local);
    std::string stars(120, '*');
    writeAll(fd_,
             "\r\n" + stars + "\r\ntarnwick Version: 1.1.1   Started: " + generalDate(now) + "\r\n" + stars + "\r\n");
    info("[classLog]checkSizeOfLogs", "Removing logs older than " + generalDate(now - 30 * 86400) +
                                          " - Log Directory Size: 0. MB   0 MB Free   0 MB Total ");
  }

  void info(std::string_view proc, std::string_view text) { line("   Info", proc, text); }
  void verInfo(std::string_view proc, std::string_view text) { line("VerInfo", proc, text); }

  void enter(const std::string& proc) {
    info(proc, "Entering " + proc + "_0");
    starts_.push_back(secondsSinceMidnight());
  }

  void exit(const std::string& proc) {
    float start = starts_.back();
    float end = secondsSinceMidnight();
    starts_.pop_back();
    info(proc, "Exiting  " + proc + "_0 Start: " + shortest(start) + " End: " + shortest(end) +
                   " - Elapsed: " + elapsed(end - start));
  }

 private:
  void line(const char* level, std::string_view proc, std::string_view text) {
    time_t now = time(nullptr);
    if (now != second_) {
      second_ = now;
      tm local{};
      localtime_r(&now, &local);
      std::snprintf(clock_, sizeof clock_, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
    }
    line_.assign(clock_).append(" ").append(level).append(":(");
    line_.append(45 - proc.size(), ' ').append(proc).append(") ");
    line_.append(2 * starts_.size(), ' ').append(text).append("\r\n");
    writeAll(fd_, line_);
  }

  float secondsSinceMidnight() const {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<float>(now.tv_sec - midnight_) + static_cast<float>(now.tv_nsec) / 1e9f;
  }

  static std::string shortest(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.7g", value);
    return text;
  }

  // "###0.0#####"
  static std::string elapsed(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", value);
    std::string result = text;
    while (result.back() == '0' && result[result.size() - 2] != '.') result.pop_back();
    return result;
  }

  int fd_ = -1;
  time_t midnight_ = 0;
  time_t second_ = -1;
  char clock_[16] = "";
  std::string line_;
  std::vector<float> starts_;
};

std::string absolutePath(const std::string& file) {
  if (file.front() == '/') return file;
  char cwd[4096];
  if (!getcwd(cwd, sizeof cwd)) fail("no current folder");
  return std::string(cwd) + "/" + file;
}

// The start of every run: the program's banner and the log of its command line.
void startRun(Log& log, const char* option, const std::string& value) {
  log.enter("[mdlMain]main");
  log.info("[mdlMain]main", "Command Line Options:");
  log.info("[mdlMain]main", "Dumping dictionary...");
  log.info("[mdlMain]main", std::string(52, ' ') + option + "    " + value);
  log.info("[mdlMain]main", "Data source: embedded database " + absolutePath("Pelagor.db"));
  print("Tarnwick Version: 1.01.0001");
  print(std::string(60, '-'));
  log.enter("[mdlMain]checkCommandLine");
}

template <typename Cells>
std::string csvLine(const Cells& cells) {
  std::string line;
  for (std::string_view cell : cells) line.append("\"").append(cell).append("\",");
  line.pop_back();
  return line;
}

class Database {
 public:
  Database() {
    if (sqlite3_open("Pelagor.db", &db_) != SQLITE_OK) fail("cannot open Pelagor.db");
    for (const char* pragma : {"PRAGMA busy_timeout = 10000", "PRAGMA page_size = 1024", "PRAGMA journal_mode = WAL",
                               "PRAGMA synchronous = NORMAL"}) {
      if (sqlite3_exec(db_, pragma, nullptr, nullptr, nullptr) != SQLITE_OK) fail(sqlite3_errmsg(db_));
    }
  }
  // Closing checkpoints the WAL into the database file, as the program's exit does.
  ~Database() {
    for (sqlite3_stmt* statement : statements_) sqlite3_finalize(statement);
    sqlite3_close(db_);
  }
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  sqlite3_stmt* prepare(const char* sql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) != SQLITE_OK) {
      fail(sqlite3_errmsg(db_));
    }
    statements_.push_back(statement);
    return statement;
  }

  // Binds `values` (texts and integers) in order and steps once; true when
  // that gives a row.
  template <typename... Values>
  bool run(sqlite3_stmt* statement, Values... values) {
    int index = 0;
    (bind(statement, ++index, values), ...);
    int rc = sqlite3_step(statement);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) fail(sqlite3_errmsg(db_));
    sqlite3_reset(statement);
    return rc == SQLITE_ROW;
  }

 private:
  static void bind(sqlite3_stmt* statement, int index, std::string_view text) {
    sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
  }
  static void bind(sqlite3_stmt* statement, int index, int number) { sqlite3_bind_int(statement, index, number); }

  sqlite3* db_ = nullptr;
  std::vector<sqlite3_stmt*> statements_;
};

std::vector<std::string_view> splitCells(std::string_view line) {
  std::vector<std::string_view> cells;
  for (size_t start = 0;;) {
    size_t comma = line.find(',', start);
    cells.push_back(line.substr(start, comma - start));
    if (comma == std::string_view::npos) return cells;
    start = comma + 1;
  }
}

std::string_view windowTime(std::string_view cell, bool isBegin) {
  if (cell.empty()) return isBegin ? "12:00AM" : "11:59PM";
  if (cell.front() == '0') cell.remove_prefix(1);
  return cell;
}

int codecOf(std::string_view codec) {
  if (codec == "G711" || codec == "g711") return 7;
  if (codec.empty() || codec == "G729" || codec == "g729") return 307;
  fail("unknown codec");
}

bool readLine(std::ifstream& in, std::string& line) {
  if (!std::getline(in, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

void importNodes(const std::string& file) {
  Log log;
  std::string base = file.substr(file.rfind('/') + 1);
  std::string resultName = base.substr(0, base.rfind('.')) + ".out.csv";
  startRun(log, "i", file);
  log.info("[mdlMain]checkCommandLine", "Using input file: " + file + " Writing results to: " + resultName);
  print("Using Input File: " + file);
  print("Output file: " + resultName);
  log.exit("[mdlMain]checkCommandLine");
  log.enter("[mdlProcess]importData");

  Database db;
  sqlite3_stmt* begin = db.prepare("BEGIN IMMEDIATE");
  sqlite3_stmt* commit = db.prepare("COMMIT");
  sqlite3_stmt* exists = db.prepare("SELECT * FROM Node WHERE SerialNo = ?");
  sqlite3_stmt* octelNode = db.prepare("INSERT INTO Node (SerialNo, Name, ServerType) VALUES (?, ?, ?)");
  sqlite3_stmt* veltroNode = db.prepare(
      "INSERT INTO Node (SerialNo, Name, ServerType, DefaultCodec) VALUES (?, ?, ?, ?)");
  sqlite3_stmt* octel = db.prepare(
      "INSERT INTO OctelNode (SerialNo, PhoneNo, Ext, DialingSequence) VALUES (?, ?, ?, ?)");
  sqlite3_stmt* veltro = db.prepare("INSERT INTO VPIMNode (SerialNo, DomainName, ProxyDomain) VALUES (?, ?, ?)");
  sqlite3_stmt* window = db.prepare(
      "INSERT INTO DeliveryWindow (WindowID, MessageType, SerialNo, BeginTime, EndTime, Interval) "
      "VALUES (?, ?, ?, ?, ?, ?)");
  sqlite3_stmt* windowDefaultInterval = db.prepare(
      "INSERT INTO DeliveryWindow (WindowID, MessageType, SerialNo, BeginTime, EndTime) VALUES (?, ?, ?, ?, ?)");

  int result = open(resultName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  std::ifstream in(file, std::ios::binary);
  if (result < 0 || !in) fail("cannot open " + resultName + " or " + file);
  std::string text;
  readLine(in, text);
  std::vector<std::string_view> header = splitCells(text);
  if (header != std::vector<std::string_view>(std::begin(kColumns), std::end(kColumns))) fail("unexpected header");
  header.insert(header.end(), {"Result", "Details"});
  std::string line = csvLine(header);
  writeAll(result, line + "\r\n");
  log.verInfo("[mdlProcess]writeOutput", line);
  print();
  print("Processing data...");

  int lineNumber = 1;
  int total = 0;
  while (readLine(in, text)) {
    std::vector<std::string_view> cells = splitCells(text);
    if (cells.size() != kColumnCount || (cells[kAction] != "A" && cells[kAction] != "a")) {
      fail("line " + std::to_string(lineNumber + 1) + " is not an add of 19 cells");
    }
    std::string number = std::to_string(++lineNumber);
    number.resize(std::max<size_t>(number.size(), 4), ' ');
    std::string_view serial = cells[kSerial];
    print("  Processing Line: " + number + " SerialNo = " + std::string(serial));
    ++total;
    log.enter("[mdlProcess]addNode");
    print("    Adding Node #" + std::string(serial));
    db.run(begin);
    if (db.run(exists, serial)) fail("node " + std::string(serial) + " exists");
    if (cells[kNodeType] == "O" || cells[kNodeType] == "o") {
      db.run(octelNode, serial, cells[kName], 1);
      db.run(octel, serial, cells[kPhone], cells[kExtension], cells[kDial].empty() ? "N" : cells[kDial]);
      for (int type = 0; type < 3; ++type) {
        const std::string_view* cell = &cells[kFirstWindow + 3 * type];
        std::string_view beginTime = windowTime(cell[0], true);
        std::string_view endTime = windowTime(cell[1], false);
        if (cell[2].empty()) {
          db.run(windowDefaultInterval, type, type, serial, beginTime, endTime);
        } else {
          db.run(window, type, type, serial, beginTime, endTime, cell[2]);
        }
      }
    } else if (cells[kNodeType] == "V" || cells[kNodeType] == "v") {
      db.run(veltroNode, serial, cells[kName], 2, codecOf(cells[kCodec]));
      db.run(veltro, serial, cells[kServerName], cells[kSmtpSuffix]);
    } else {
      fail("unknown node type");
    }
    db.run(commit);
    log.exit("[mdlProcess]addNode");
    line = csvLine(cells) + ",\"Successful\",\"\"";
    writeAll(result, line + "\r\n");
    log.verInfo("[mdlProcess]writeOutput", line);
  }
  print("Finished processing data.");
  print();
  std::string summary = "Total nodes effected: " + std::to_string(total) +
                        " Successful changes: " + std::to_string(total) + " Errors: 0";
  log.info("[mdlProcess]importData", summary);
  print(summary);
  print();
  log.exit("[mdlProcess]importData");
  log.exit("[mdlMain]main");
}

std::string cellText(sqlite3_stmt* row, int column) {
  const unsigned char* text = sqlite3_column_text(row, column);
  return text ? std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(sqlite3_column_bytes(row, column)))
              : std::string();
}

const char* const kOctelNodes =
    "SELECT Node.SerialNo, Node.Name, OctelNode.PhoneNo, OctelNode.Ext, OctelNode.DialingSequence, "
    "w0.BeginTime, w0.EndTime, w0.Interval, w1.BeginTime, w1.EndTime, w1.Interval, "
    "w2.BeginTime, w2.EndTime, w2.Interval "
    "FROM Node INNER JOIN OctelNode ON Node.SerialNo = OctelNode.SerialNo "
    "LEFT JOIN DeliveryWindow w0 ON w0.SerialNo = Node.SerialNo AND w0.MessageType = 0 "
    "LEFT JOIN DeliveryWindow w1 ON w1.SerialNo = Node.SerialNo AND w1.MessageType = 1 "
    "LEFT JOIN DeliveryWindow w2 ON w2.SerialNo = Node.SerialNo AND w2.MessageType = 2 "
    "WHERE Node.ServerType = 1";

const char* const kVeltroNodes =
    "SELECT Node.SerialNo, Node.Name, VPIMNode.DomainName, VPIMNode.ProxyDomain, Node.DefaultCodec "
    "FROM Node INNER JOIN VPIMNode ON Node.SerialNo = VPIMNode.SerialNo WHERE Node.ServerType = 2";

// A 24-hour time is stored without its leading zero ("8:30"); the export
// writes it with it.
std::string windowCell(std::string stored) {
  auto digit = [&](size_t i) { return std::isdigit(static_cast<unsigned char>(stored[i])) != 0; };
  bool oneDigitHour = stored.size() == 4 && digit(0) && stored[1] == ':' && digit(2) && digit(3);
  return oneDigitHour ? "0" + stored : stored;
}

// The 19 export cells of an Octel or a Veltro node on the current row.
std::vector<std::string> octelCells(sqlite3_stmt* row) {
  std::vector<std::string> cells = {"O", "", cellText(row, 0), cellText(row, 1), "",
                                    "",  "", cellText(row, 2), cellText(row, 3), cellText(row, 4)};
  for (int column = 5; column < 14; ++column) cells.push_back(windowCell(cellText(row, column)));
  return cells;
}

std::vector<std::string> veltroCells(sqlite3_stmt* row) {
  std::string codec = cellText(row, 4);
  std::vector<std::string> cells = {"V",
                                    "",
                                    cellText(row, 0),
                                    cellText(row, 1),
                                    cellText(row, 2),
                                    cellText(row, 3),
                                    codec == "7"     ? "G711"
                                    : codec == "307" ? "G729"
                                                     : ""};
  cells.resize(kColumnCount);
  return cells;
}

void exportNodes(const std::string& file) {
  Log log;
  startRun(log, "e", file);
  log.info("[mdlMain]checkCommandLine", "Export node data to: " + file);
  print("Export node data to: " + file);
  log.exit("[mdlMain]checkCommandLine");
  log.enter("[mdlProcess]exportData");

  Database db;
  int out = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (out < 0) fail("cannot open " + file);
  std::string block;
  auto writeNodeLine = [&](const auto& cells) {
    std::string line = csvLine(cells);
    block.append(line).append("\r\n");
    if (block.size() >= 64 * 1024) {
      writeAll(out, block);
      block.clear();
    }
    log.verInfo("[mdlProcess]writeOutput", line);
  };
  writeNodeLine(std::vector<std::string_view>(std::begin(kColumns), std::end(kColumns)));
  int count = 0;
  const struct {
    const char* query;
    const char* label;
    std::vector<std::string> (*cells)(sqlite3_stmt*);
  } kinds[] = {{kOctelNodes, "  Octel Node ", octelCells}, {kVeltroNodes, "  Veltro Node ", veltroCells}};
  for (const auto& kind : kinds) {
    sqlite3_stmt* nodes = db.prepare(kind.query);
    int rc;
    while ((rc = sqlite3_step(nodes)) == SQLITE_ROW) {
      std::vector<std::string> cells = kind.cells(nodes);
      std::string label = kind.label + cells[kName] + " - #" + cells[kSerial];
      print(label);
      log.verInfo("[mdlProcess]exportData", label);
      writeNodeLine(cells);
      ++count;
    }
    if (rc != SQLITE_DONE) fail("export query failed");
  }
  writeAll(out, block);
  close(out);
  print("Finished exporting data.");
  print();
  std::string total = "Total nodes exported: " + std::to_string(count);
  log.info("[mdlProcess]exportData", total);
  print(total);
  print();
  log.exit("[mdlProcess]exportData");
  log.exit("[mdlMain]main");
}

}  // namespace

int main(int argc, char** argv) {
  std::string job = argc == 3 ? argv[1] : "";
  if (job == "import") {
    importNodes(argv[2]);
  } else if (job == "export") {
    exportNodes(argv[2]);
  } else {
    std::fprintf(stderr, "usage: floor import <file> | floor export <file>\n");
    return 2;
  }
  flushConsole();
  return 0;
}
