// End-to-end support: a fresh program folder holding copies of the built
// program and library, runs of the program as a user would start it, and a
// look at the node database it used (the embedded file, or the server when
// the DSN "Pelagor" is defined).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/Database.h"
#include "platform/Env.h"
#include "platform/TestSupport.h"

namespace tarnwick::e2e {

namespace fs = platform::test::fs;
using platform::test::readBytes;
using platform::test::writeBytes;

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

using Row = std::vector<std::string>;

// The program copied into a scratch folder.
class ProgramFolder {
 public:
  explicit ProgramFolder(const std::string& programName = "tarnwick");

  std::string path(const std::string& name = "") const { return folder_.path(name); }
  std::string program() const { return path(programName_); }

  // Runs the program with `args` (shell words) in `workingDir` (the program
  // folder when empty), with standard input closed.
  RunResult run(const std::vector<std::string>& args, const std::string& workingDir = "") const;

  // Runs the program as the unprivileged user "nobody" (the tests run as
  // root, whom no permission stops); the folder is handed over to nobody
  // first, except `lockedFile`, which nobody may only read.
  void lockForUnprivilegedRun(const std::string& lockedFile) const;
  RunResult runUnprivileged(const std::vector<std::string>& args) const;

  // The text of the run's log file (there must be exactly one).
  std::string logText() const;

 private:
  RunResult runCommand(const std::string& launcher, const std::vector<std::string>& args,
                 const std::string& workingDir) const;

  platform::test::TempFolder folder_;
  std::string programName_;
};

// The node database of a program folder, seen through the record-set layer.
class NodeDatabase {
 public:
  explicit NodeDatabase(const ProgramFolder& folder);
  ~NodeDatabase();

  // Rows of `sql`, every value as text.
  std::vector<Row> rows(const std::string& sql);
  void execute(const std::string& sql, const std::vector<platform::Value>& params = {});

  // Deletes every row of the five tables (a server keeps them between tests).
  void clear();

  std::string engine() { return connection_->engine(); }

  // One Octel node with its three windows, and one Veltro node.
  void addOctel(const std::string& serial, const std::string& name, bool withWindows = true);
  void addVeltro(const std::string& serial, const std::string& name, int codec = 307);

 private:
  class FolderEnv;
  std::unique_ptr<FolderEnv> env_;
  std::unique_ptr<platform::db::Connection> connection_;
};

// Splits text at CR LF; the text must end with one.
std::vector<std::string> crlfLines(const std::string& text);

// The log's lines, each logged line without its time of day (its first 8
// characters); the header block stays as it is.
std::vector<std::string> logLinesWithoutTime(const std::string& logText);

}  // namespace tarnwick::e2e
