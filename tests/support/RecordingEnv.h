// An Env for the program's unit tests: the program lives in a scratch folder, the clock and the disk report what the
// test sets, the standard streams and the debugger output are recorded, and ending the process throws.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "frontend/StdOutput.h"
#include "logging/classLog.h"
#include "platform/Env.h"

namespace tarnwick::test {

using namespace std::chrono_literals;
using platform::test::crlfLines;
using platform::test::holds;
using platform::test::Lines;

struct ProcessEnded {
  int status;
};

// 6 December 2026 at the given time of day (UTC, which the tests run in).
platform::TimePoint dayAt(std::chrono::seconds timeOfDay);

class RecordingEnv : public platform::EnvWrapper {
 public:
  RecordingEnv();

  std::string programPath() override { return folder.path("tarnwick"); }
  platform::TimePoint now() override { return clock; }
  platform::DiskSpace diskSpace(const std::string& path) override;
  std::unique_ptr<platform::TextStream> openTextFile(const std::string& path, platform::IOMode mode, bool create,
                                                     platform::TextEncoding encoding) override;
  void debugOutput(const std::string& text) override { debugLines.push_back(text); }
  void writeStdOut(const std::string& bytes) override { out += bytes; }
  void writeStdErr(const std::string& bytes) override { err += bytes; }
  bool isInteractive() override { return interactive; }
  void waitForEnter() override { ++waits; }
  [[noreturn]] void exitProcess(int status) override { throw ProcessEnded{status}; }

  std::string logDir() const { return folder.path("LOGS"); }

  platform::test::TempFolder folder;
  platform::TimePoint clock = dayAt(3min);
  platform::DiskSpace disk;  // the real disk while total is 0
  bool diskFails = false;
  bool filesFail = false;  // every file open fails as on a full disk
  bool interactive = false;
  int waits = 0;
  std::string out;
  std::string err;
  std::vector<std::string> debugLines;
};

// Installs a RecordingEnv and starts every test with a fresh logger.
class ProgramTest : public ::testing::Test {
 protected:
  ProgramTest();
  ~ProgramTest() override;

  // The lines of the run's log file, without their CR LF.
  Lines logLines();
  // The messages of the last `count` log lines: what follows their 65-character prefix.
  Lines lastMessages(size_t count);

  RecordingEnv env;
  StdOutput console;  // prints to env.out
};

}  // namespace tarnwick::test
