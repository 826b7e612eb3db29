// End-to-end support: the built program and library copied into a fresh folder, runs of it as a user starts them, and
// the node database it uses.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "NodeInput.h"
#include "platform/db/Connection.h"

namespace tarnwick::e2e {

namespace fs = platform::test::fs;
using platform::test::readBytes;
using platform::test::writeBytes;

struct RunResult {
  int status = -1;  // the exit status; 128 + N after signal N
  std::string out, err;
};

// A run starts in the program folder unless told another, with `environment` added to ours.
struct RunOptions {
  std::string workingDir = "";
  std::string input = "/dev/null";  // its standard input, relative to its folder
  std::vector<std::pair<std::string, std::string>> environment = {};
  bool asNobody = false;  // as user nobody, whom permissions stop (they do not stop root)
};

// A run going on; killed unless waited for.
class StartedRun {
 public:
  StartedRun(pid_t pid, std::string output) : pid_(pid), output_(std::move(output)) {}
  StartedRun(StartedRun&& other) noexcept : pid_(std::exchange(other.pid_, -1)), output_(std::move(other.output_)) {}
  ~StartedRun();

  RunResult wait();
  std::string outputSoFar() const { return readBytes(output_ + "out"); }  // what it wrote to standard output
  void signal(int number) const;

 private:
  pid_t pid_;
  std::string output_;  // prefix of the files catching its standard output and error
  int status_ = -1;
};

// The program copied into a scratch folder, or into a folder of that name in it.
class ProgramFolder {
 public:
  explicit ProgramFolder(const std::string& programName = "tarnwick", const std::string& folderName = "");
  std::string path(const std::string& name = "") const;
  std::string program() const { return path(programName_); }
  StartedRun start(const std::vector<std::string>& args, const RunOptions& options = {}) const;
  RunResult run(const std::vector<std::string>& args, const RunOptions& options = {}) const {
    return start(args, options).wait();
  }
  // Hands the folder to user nobody, and `keptFile` to root, read-only to all.
  void handToNobody(const std::string& keptFile) const;
  // Every log file of the folder, one after another.
  std::string logText() const;

 private:
  platform::test::TempFolder folder_;
  std::string programName_, folderName_;
  mutable int runsStarted_ = 0;
};

// Polls `condition` until it holds or `timeout` has passed; the last answer.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = std::chrono::seconds(60));

// The node database of a program folder, as the program there resolves it.
struct NodeDatabase {
  explicit NodeDatabase(const ProgramFolder& folder);
  std::vector<Row> rows(const std::string& sql) { return rowsOf(connection, sql); }
  void clear();  // empties the five tables: a server keeps them between tests

  platform::test::ProgramAt programAt;
  platform::db::Connection connection;
};

// A program folder and its node database, emptied first.
class NodeFolderTest : public ::testing::Test {
 protected:
  NodeFolderTest() { db.clear(); }
  ProgramFolder folder;
  NodeDatabase db{folder};
};

// Empties the tables of a server, which every program folder shares.
void emptyServerDatabase();
// The data lines of a result file, without a last line cut off before its CR LF.
Lines resultLines(const std::string& path);

}  // namespace tarnwick::e2e
