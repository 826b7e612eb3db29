// classLog: the one logger of a run. It writes the run's log file in "LOGS"
// in the data folder, mirrors every message to the debugger output, traces
// procedure entry and exit with indentation and elapsed time, dumps data
// objects, and prunes old logs when it is created.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/Env.h"
#include "platform/Error.h"
#include "platform/KeyedTable.h"

namespace platform::db {
class Recordset;
struct Command;
}  // namespace platform::db

namespace tarnwick {

enum LogLevel : int32_t { kInfo = 0, kWarning = 1, kError = 2, kVerInfo = 3 };

class classLog {
 public:
  // Creates the log directory if needed and prunes old logs; the retention
  // report is the first line of the new log. Throws platform::Error when the
  // log directory can neither be found nor created.
  classLog();
  ~classLog();

  const std::string& strLogFile() const { return strLogFile_; }
  // The path takes effect at the next opening; an open file stays in use.
  void strLogFile(const std::string& vData) { strLogFile_ = vData; }
  const std::string& strLogDir() const { return strLogDir_; }

  // Sends one message: always to the debugger output, then to the file.
  void log(const std::string& strLineToLog, int32_t nLevel = kInfo, const std::string& strProc = "");

  // True only inside a development host; a built program answers false.
  bool DebugMode() const { return false; }

  // Each row from the current one to the end, one line per field (level 3).
  // Leaves `rsDump` at its end. Nothing when it has no current row.
  void dumpRecordsets(platform::db::Recordset* rsDump, const std::string& strProcedure);

  // Every entry in insertion order (level 0); failures are skipped silently.
  void dumpDictionary(const platform::KeyedTable<std::string>& dictDump, const std::string& strProcedure);

  // The statement and each parameter (level 3).
  void dumpCommandObject(const platform::db::Command& oCommand, const std::string& strProcedure);

  void enterProc(const std::string& strProc);
  void exitProc(const std::string& strProc);

  // Closes the current file; the next line starts a new file and header.
  void closeLog();

  int32_t depth() const { return nDepth_; }

  // True once a message of level 2 (ERROR) was sent: a run-time failure
  // was reported, and the run's exit status says so.
  bool loggedError() const { return loggedError_; }

 private:
  void logToFile(const std::string& strLineToLog, int32_t nLevel, const std::string& strProc);
  void openLogFile();
  // The log line of `message` into line_.
  void formatLine(const std::string& message, int32_t nLevel, const std::string& strProc);
  void readClock();
  float secondsSinceMidnight();
  std::string makeLogFileName();
  void checkSizeOfLogs();
  void reportFailure(const std::string& tag, const platform::Error& error);
  void setDepth(int32_t depth);

  const std::string programName_;
  std::string strLogFile_;
  std::string strLogDir_;
  int32_t nVerbosity_ = 2;
  std::unique_ptr<platform::TextStream> stream_;
  int32_t nDepth_ = 0;
  std::string strIndent_;
  // The start times of each tag's open entries, entry 0 first (seconds
  // since local midnight).
  std::unordered_map<std::string, std::vector<float>> dictProcStart_;
  bool reportingWriteFailure_ = false;
  bool toldStandardError_ = false;
  bool loggedError_ = false;
  // The local time of the second last read from the clock.
  std::chrono::time_point<platform::Clock, std::chrono::seconds> clockSecond_;
  std::string timeOfDay_;        // "Hh:Nn:Ss"
  double midnightToSecond_ = 0;  // seconds from local midnight to it
  double fractionOfSecond_ = 0;  // of the clock's last reading past it
  std::string line_;             // the log line last built
  std::string mirror_;           // the debugger output last sent
};

// The standard error text: "Err.Number = N Err.Description = D".
std::string errorLine(const platform::Error& error);

// The run's logger, created on first use.
classLog& Log();

// Drops the run's logger so that the next Log() creates a new one (tests).
void resetLog();

}  // namespace tarnwick
