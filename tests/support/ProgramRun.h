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
#include "nodes/NodeSchema.h"
#include "platform/Env.h"
#include "TestSupport.h"
#include "platform/db/Recordset.h"

namespace tarnwick::e2e {

namespace fs = platform::test::fs;
using platform::test::readBytes;
using platform::test::writeBytes;

struct RunResult {
  int status = -1;
  std::string out, err;
};

// A run going on in the background until waited for.
class StartedRun {
 public:
  StartedRun(FILE* shell, std::string scratch) : shell_(shell), scratch_(std::move(scratch)) {}
  StartedRun(StartedRun&& other) noexcept;
  ~StartedRun();

  RunResult wait();
  bool finished() const;
  std::string outputSoFar() const;  // what it has written to standard output
  // Sends signal `name` ("KILL", "STOP", "CONT"); the status after signal N is 128 + N.
  void signal(const std::string& name);

 private:
  FILE* shell_;
  std::string scratch_;  // prefix of the files catching its output and process id
};

// The program copied into a scratch folder, or into a folder of that name in it.
class ProgramFolder {
 public:
  explicit ProgramFolder(const std::string& programName = "tarnwick", const std::string& folderName = "");

  std::string path(const std::string& name = "") const { return folder_.path(joinedName(name)); }
  std::string program() const { return path(programName_); }
  // Runs the program with `args` in `workingDir` (default: the folder), standard input from `input`
  // (start(): closed); start() returns at once.
  RunResult run(const std::vector<std::string>& args, const std::string& workingDir = "",
                const std::string& input = "/dev/null") const;
  StartedRun start(const std::vector<std::string>& args, const std::string& workingDir = "") const;

  // Hands the folder to "nobody" (root ignores permissions), `lockedFile` read-only;
  // runUnprivileged() then runs the program as nobody.
  void lockForUnprivilegedRun(const std::string& lockedFile) const;
  RunResult runUnprivileged(const std::vector<std::string>& args) const;

  // The text of the only log file.
  std::string logText() const;

 private:
  StartedRun startCommand(const std::string& launcher, const std::vector<std::string>& args,
                          const std::string& workingDir, const std::string& input = "/dev/null") const;

  std::string joinedName(const std::string& name) const {
    return folderName_.empty() || name.empty() ? folderName_ + name : folderName_ + "/" + name;
  }

  platform::test::TempFolder folder_;
  std::string programName_;
  std::string folderName_;
  mutable int runsStarted_ = 0;
};

// `word` quoted for the shell.
std::string shellQuoted(const std::string& word);

// Polls `condition` until it holds or `timeout` has passed; the last answer.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = std::chrono::seconds(60));

// The node database of a program folder, seen through the record-set layer.
class NodeDatabase {
 public:
  explicit NodeDatabase(const ProgramFolder& folder);

  std::vector<Row> rows(const std::string& sql);
  void execute(const std::string& sql, const std::vector<platform::Value>& params = {});
  void clear();  // empties the five tables (a server keeps them between tests)
  std::string engine() { return connection_->engine(); }
  std::string interval() { return connection_->quotedName("Interval"); }  // a reserved word on MariaDB

  // One Octel node (with its three windows) or Veltro node.
  void addOctel(const std::string& serial, const std::string& name, bool withWindows = true);
  void addVeltro(const std::string& serial, const std::string& name, int codec = 307);

 private:
  std::unique_ptr<platform::test::ProgramAt> env_;
  std::unique_ptr<platform::db::Connection> connection_;
};

// Empties the tables of a server, which every program folder shares.
void emptyServerDatabase();
// Splits text that ends in CR LF at CR LF.
Lines crlfLines(const std::string& text);
// The data lines of a result file, without a last line cut off before its CR LF.
Lines resultLines(const std::string& path);

// "Name|DomainName|ProxyDomain" of every stored node by serial, and of the node `line` leaves.
std::map<std::string, std::string> storedNodes(NodeDatabase& db);
std::string storedAs(const NodeLine& line);

// Serials of nodes not whole (Octel: one OctelNode row, windows 0, 1, 2; Veltro: one VPIMNode row)
// and of kind or window rows without their Node row.
std::vector<Row> brokenNodes(NodeDatabase& db);

Lines logLinesWithoutTime(const std::string& logText);
// Every log file of the folder, one after another.
std::string allLogs(const ProgramFolder& folder);

}  // namespace tarnwick::e2e
