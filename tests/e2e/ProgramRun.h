// End-to-end support: the built program and library copied into a fresh
// folder, runs of it as a user starts them, and the node database it used.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "NodeInput.h"
#include "platform/Database.h"
#include "platform/Env.h"
#include "platform/TestSupport.h"

namespace tarnwick::e2e {

namespace fs = platform::test::fs;
using platform::test::readBytes;
using platform::test::writeBytes;
using Row = std::vector<std::string>;

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

// A run going on in the background until waited for.
class StartedRun {
 public:
  StartedRun(FILE* shell, std::string scratch) : shell_(shell), scratch_(std::move(scratch)) {}
  StartedRun(StartedRun&& other) noexcept;
  ~StartedRun();

  // Waits for the run to end; its exit status and output.
  RunResult wait();
  // Sends the signal named `name` ("KILL", "STOP", "CONT") to the program;
  // its status after signal N is 128 + N.
  void signal(const std::string& name);

 private:
  FILE* shell_;
  std::string scratch_;  // prefix of the files catching its output and process id
};

// The program copied into a scratch folder.
class ProgramFolder {
 public:
  explicit ProgramFolder(const std::string& programName = "tarnwick");

  std::string path(const std::string& name = "") const { return folder_.path(name); }
  std::string program() const { return path(programName_); }

  // Runs the program with `args` (shell words) in `workingDir` (the program
  // folder when empty), standard input closed; start() returns at once.
  RunResult run(const std::vector<std::string>& args, const std::string& workingDir = "") const;
  StartedRun start(const std::vector<std::string>& args, const std::string& workingDir = "") const;

  // Hands the folder to the unprivileged user "nobody" (the tests run as
  // root, whom no permission stops), except `lockedFile`, which nobody may
  // only read; runUnprivileged() then runs the program as nobody.
  void lockForUnprivilegedRun(const std::string& lockedFile) const;
  RunResult runUnprivileged(const std::vector<std::string>& args) const;

  // The text of the run's log file (there must be exactly one).
  std::string logText() const;

 private:
  StartedRun startCommand(const std::string& launcher, const std::vector<std::string>& args,
                          const std::string& workingDir) const;

  platform::test::TempFolder folder_;
  std::string programName_;
  mutable int runsStarted_ = 0;
};

// Polls `condition` until it holds or `timeout` has passed; the last answer.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = std::chrono::seconds(60));

// The node database of a program folder, seen through the record-set layer.
class NodeDatabase {
 public:
  explicit NodeDatabase(const ProgramFolder& folder);

  // Rows of `sql`, every value as text.
  std::vector<Row> rows(const std::string& sql);
  void execute(const std::string& sql, const std::vector<platform::Value>& params = {});
  // Deletes every row of the five tables (a server keeps them between tests).
  void clear();
  std::string engine() { return connection_->engine(); }

  // One Octel node (with its three windows), one Veltro node.
  void addOctel(const std::string& serial, const std::string& name, bool withWindows = true);
  void addVeltro(const std::string& serial, const std::string& name, int codec = 307);

 private:
  std::unique_ptr<platform::test::ProgramAt> env_;
  std::unique_ptr<platform::db::Connection> connection_;
};

// Empties the tables of a server, which every program folder shares.
void emptyServerDatabase();

// Splits text at CR LF; the text must end with one.
Lines crlfLines(const std::string& text);

// The data lines of the result file at `path`; a last line cut off before
// its CR LF is left out.
Lines resultLines(const std::string& path);

// "Name|DomainName|ProxyDomain" of every stored node by serial number, and
// that of the node a successful add or change of `line` leaves.
std::map<std::string, std::string> storedNodes(NodeDatabase& db);
std::string storedAs(const NodeLine& line);

// Serial numbers of nodes that are not whole (an Octel node has one OctelNode
// row and windows of types 0, 1 and 2; a Veltro node one VPIMNode row only)
// and of kind or window rows without their Node row.
std::vector<Row> brokenNodes(NodeDatabase& db);

// The log's lines, each logged line without its time of day.
Lines logLinesWithoutTime(const std::string& logText);

// Every log file of the folder, one after another.
std::string allLogs(const ProgramFolder& folder);

}  // namespace tarnwick::e2e
