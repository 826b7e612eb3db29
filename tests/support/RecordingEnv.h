// An Env for the program's unit tests: the program lives in a scratch folder,
// the clock and the disk report what the test sets, the standard streams and
// the debugger output are recorded, and ending the process throws instead.
#pragma once

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "frontend/StdOutput.h"
#include "logging/classLog.h"
#include "platform/Env.h"
#include "TestSupport.h"

namespace tarnwick::test {

using namespace std::chrono_literals;

struct ProcessEnded {
  int status;
};

// 6 December 2026 at the given time of day (UTC, which the tests run in).
inline platform::TimePoint dayAt(std::chrono::seconds timeOfDay) {
  using namespace std::chrono;
  return platform::TimePoint(sys_days{year{2026} / December / 6}.time_since_epoch() + timeOfDay);
}

// The CR LF terminated lines of `text`.
inline std::vector<std::string> crlfSplit(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

// A file that reads `readableLines` lines and then fails every read, also
// the look-ahead for its end, with error 75 as a read() on a failing disk does.
class FailingInput : public platform::TextStream {
 public:
  FailingInput(std::unique_ptr<platform::TextStream> file, int readableLines)
      : file_(std::move(file)), readsLeft_(readableLines) {}

  std::string readLine() override { return readable(1).readLine(); }
  bool atEndOfStream() override { return readable(0).atEndOfStream(); }
  bool lineWasCut() const override { return file_->lineWasCut(); }
  int32_t line() const override { return file_->line(); }
  uint64_t bytesRead() const override { return file_->bytesRead(); }
  uint64_t totalBytes() const override { return file_->totalBytes(); }
  void writeLine(const std::string& text) override { file_->writeLine(text); }
  platform::TextEncoding encoding() const override { return file_->encoding(); }
  void setEncoding(platform::TextEncoding encoding) override { file_->setEncoding(encoding); }
  void close() override { file_->close(); }

 private:
  platform::TextStream& readable(int reads) {
    if (readsLeft_ == 0) throw platform::Error::fromNumber(platform::err::kPathFileAccess);
    readsLeft_ -= reads;
    return *file_;
  }

  std::unique_ptr<platform::TextStream> file_;
  int readsLeft_;
};

class RecordingEnv : public platform::EnvWrapper {
 public:
  RecordingEnv() : EnvWrapper(platform::Env::Default()) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
  }

  std::string programPath() override { return folder.path("tarnwick"); }
  platform::TimePoint now() override { return clock; }
  platform::DiskSpace diskSpace(const std::string& path) override {
    if (diskFails) throw platform::Error(platform::err::kPathNotFound, "Path not found");
    return disk.total ? disk : target()->diskSpace(path);
  }
  std::unique_ptr<platform::TextStream> openTextFile(const std::string& path, platform::IOMode mode, bool create,
                                                     platform::TextEncoding encoding) override {
    if (filesFail) throw platform::Error::fromNumber(platform::err::kDiskFull);
    auto file = target()->openTextFile(path, mode, create, encoding);
    if (path != failingFile) return file;
    return std::make_unique<FailingInput>(std::move(file), readableLines);
  }
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
  std::string failingFile;  // its reads fail after `readableLines` lines
  int readableLines = 0;
  bool interactive = false;
  int waits = 0;
  std::string out;
  std::string err;
  std::vector<std::string> debugLines;
};

// Installs a RecordingEnv and starts every test with a fresh logger and run.
class ProgramTest : public ::testing::Test {
 protected:
  ProgramTest() {
    platform::setEnv(&env);
    resetLog();
  }
  ~ProgramTest() override {
    resetLog();
    platform::setEnv(nullptr);
  }

  // The lines of the run's log file, without their CR LF.
  std::vector<std::string> logLines() { return crlfSplit(platform::test::readBytes(Log().strLogFile())); }

  // The message part of a log line: what follows the 65-character prefix.
  static std::string messageOf(const std::string& line) { return line.size() > 65 ? line.substr(65) : ""; }
  // The messages of the last `count` log lines.
  std::vector<std::string> lastMessages(size_t count) {
    auto lines = logLines();
    std::vector<std::string> messages;
    for (auto it = lines.end() - std::min(count, lines.size()); it != lines.end(); ++it) messages.push_back(messageOf(*it));
    return messages;
  }

  RecordingEnv env;
  StdOutput console;  // prints to env.out
};

}  // namespace tarnwick::test
