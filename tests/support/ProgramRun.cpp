#include "ProgramRun.h"

#include <cstdlib>
#include <thread>
#include <utility>

namespace tarnwick::e2e {
std::string shellQuoted(const std::string& word) {
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

namespace {

// How many rows of `table` (with `condition`) belong to the node n.
std::string rowsOf(const std::string& table, const std::string& condition = "") {
  return "(SELECT COUNT(*) FROM " + table + " k WHERE k.SerialNo = n.SerialNo" + condition + ")";
}

// `octel` for an Octel node n, `veltro` for a Veltro one.
std::string byKind(int octel, int veltro) {
  return "(CASE WHEN n.ServerType = 1 THEN " + std::to_string(octel) + " ELSE " + std::to_string(veltro) + " END)";
}

std::string withoutNode(const std::string& table) {
  return " UNION ALL SELECT SerialNo FROM " + table + " WHERE SerialNo NOT IN (SELECT SerialNo FROM Node)";
}

}  // namespace

ProgramFolder::ProgramFolder(const std::string& programName, const std::string& folderName)
    : programName_(programName), folderName_(folderName) {
  const std::string built = TARNWICK_PROGRAM_DIR;
  fs::create_directories(path());
  fs::copy_file(built + "/tarnwick", program());
  for (const char* file : {"libquillet.so", "README.HTM"}) fs::copy_file(built + "/" + file, path(file));
}

RunResult ProgramFolder::run(const std::vector<std::string>& args, const std::string& workingDir,
                             const std::string& input) const {
  return startCommand(shellQuoted(program()), args, workingDir, input).wait();
}

StartedRun ProgramFolder::start(const std::vector<std::string>& args, const std::string& workingDir) const {
  return startCommand(shellQuoted(program()), args, workingDir);
}

void ProgramFolder::lockForUnprivilegedRun(const std::string& lockedFile) const {
  std::string command = "chown -R nobody:nogroup " + shellQuoted(path()) + " && chown root:root " +
                        shellQuoted(lockedFile) + " && chmod 0444 " + shellQuoted(lockedFile);
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

RunResult ProgramFolder::runUnprivileged(const std::vector<std::string>& args) const {
  std::string asNobody =
      "$(if [ \"$(id -u)\" = 0 ]; then echo setpriv --reuid=nobody --regid=nogroup --clear-groups; fi) ";
  return startCommand(asNobody + shellQuoted(program()), args, "").wait();
}

// The shell runs the program with its output caught in files beside the
// folder, then records the exit status; its own output pipe stays empty. A
// small shell in between records the program's process id and becomes it.
StartedRun ProgramFolder::startCommand(const std::string& launcher, const std::vector<std::string>& args,
                                       const std::string& workingDir, const std::string& input) const {
  std::string scratch = folder_.path() + "." + std::to_string(++runsStarted_) + ".";
  std::string command = "cd " + shellQuoted(workingDir.empty() ? path() : workingDir) +
                        " && sh -c 'echo $$ >\"$0.new\" && mv \"$0.new\" \"$0\" && exec \"$@\"' " +
                        shellQuoted(scratch + "pid") + " " + launcher;
  for (const auto& arg : args) command += " " + shellQuoted(arg);
  command += " >" + shellQuoted(scratch + "out") + " 2>" + shellQuoted(scratch + "err") + " <" + shellQuoted(input) +
             "; echo $? >" + shellQuoted(scratch + "status");
  FILE* shell = popen(command.c_str(), "r");
  EXPECT_NE(shell, nullptr) << command;
  return StartedRun(shell, scratch);
}

StartedRun::StartedRun(StartedRun&& other) noexcept
    : shell_(std::exchange(other.shell_, nullptr)), scratch_(std::move(other.scratch_)) {}

StartedRun::~StartedRun() { if (shell_) pclose(shell_); }

RunResult StartedRun::wait() {
  if (!shell_) return {};
  EXPECT_EQ(pclose(std::exchange(shell_, nullptr)), 0) << "the shell around the run failed";
  RunResult result{std::stoi(readBytes(scratch_ + "status")), readBytes(scratch_ + "out"), readBytes(scratch_ + "err")};
  for (const char* name : {"out", "err", "status", "pid"}) fs::remove(scratch_ + name);
  return result;
}

bool StartedRun::finished() const { return fs::exists(scratch_ + "status"); }

std::string StartedRun::outputSoFar() const { return readBytes(scratch_ + "out"); }

void StartedRun::signal(const std::string& name) {
  EXPECT_TRUE(waitUntil([&] { return fs::exists(scratch_ + "pid"); })) << "the program did not start";
  std::string pid = readBytes(scratch_ + "pid");
  std::string command = "kill -" + name + " " + pid.substr(0, pid.find('\n')) + " 2>/dev/null";
  (void)std::system(command.c_str());  // a program that has ended already needs no signal
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

std::string ProgramFolder::logText() const {
  EXPECT_EQ(std::distance(fs::directory_iterator(path("LOGS")), fs::directory_iterator()), 1);
  return allLogs(*this);
}

std::string allLogs(const ProgramFolder& folder) {
  std::string text;
  for (const auto& entry : fs::directory_iterator(folder.path("LOGS"))) text += readBytes(entry.path().string());
  return text;
}

// The data source resolves as it does for the program in `folder`.
NodeDatabase::NodeDatabase(const ProgramFolder& folder)
    : env_(std::make_unique<platform::test::ProgramAt>(folder.program())),
      connection_(std::make_unique<platform::db::Connection>()) {
  connection_->setConnectionString("Data Source=Pelagor");
  connection_->open(nodeSchema());
}

std::vector<Row> NodeDatabase::rows(const std::string& sql) { return rowsOf(*connection_, sql); }

void NodeDatabase::execute(const std::string& sql, const std::vector<platform::Value>& params) {
  connection_->execute(sql, params);
}

void NodeDatabase::clear() {
  for (std::string table : {"DeliveryWindow", "OctelNode", "VPIMNode", "Directory", "Node"}) execute("DELETE FROM " + table);
}

void NodeDatabase::addOctel(const std::string& serial, const std::string& name, bool withWindows) {
  e2e::addOctel(*connection_, serial, name, withWindows);
}

void NodeDatabase::addVeltro(const std::string& serial, const std::string& name, int codec) {
  e2e::addVeltro(*connection_, serial, name, codec);
}

void emptyServerDatabase() {
  ProgramFolder probe;
  if (NodeDatabase db(probe); db.engine() != "sqlite3") db.clear();
}

Lines crlfLines(const std::string& text) {
  Lines lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  EXPECT_EQ(start, text.size()) << "text does not end in CR LF";
  return lines;
}

Lines resultLines(const std::string& path) {
  std::string text = readBytes(path);
  size_t end = text.rfind("\r\n");
  Lines lines = crlfLines(text.substr(0, end == std::string::npos ? 0 : end + 2));
  if (!lines.empty()) lines.erase(lines.begin());
  return lines;
}

std::map<std::string, std::string> storedNodes(NodeDatabase& db) {
  std::map<std::string, std::string> nodes;
  for (const auto& row : db.rows("SELECT Node.SerialNo, Name, DomainName, ProxyDomain FROM Node "
                                 "LEFT JOIN VPIMNode ON Node.SerialNo = VPIMNode.SerialNo")) {
    nodes[row[0]] = row[1] + "|" + row[2] + "|" + row[3];
  }
  return nodes;
}

std::string storedAs(const NodeLine& line) {
  return line.name + "|" + (line.nodeType == "V" ? line.serverName + "|" + line.smtpSuffix : "|");
}

std::vector<Row> brokenNodes(NodeDatabase& db) {
  std::string notWhole = "n.ServerType NOT IN (1, 2) OR " + rowsOf("OctelNode") + " <> " + byKind(1, 0) + " OR " +
                         rowsOf("VPIMNode") + " <> " + byKind(0, 1) + " OR " + rowsOf("DeliveryWindow") + " <> " +
                         byKind(3, 0);
  for (const char* type : {"0", "1", "2"}) {
    notWhole += " OR " + rowsOf("DeliveryWindow", std::string(" AND MessageType = ") + type) + " <> " + byKind(1, 0);
  }
  return db.rows("SELECT n.SerialNo FROM Node n WHERE " + notWhole + withoutNode("OctelNode") +
                 withoutNode("VPIMNode") + withoutNode("DeliveryWindow"));
}

Lines logLinesWithoutTime(const std::string& logText) {
  Lines lines = crlfLines(logText);
  for (auto& line : lines) if (line.size() > 8 && line[2] == ':' && line[5] == ':') line.erase(0, 8);
  return lines;
}

}  // namespace tarnwick::e2e
