#include "classLog.h"

#include <cmath>
#include <cstdio>

#include "platform/Error.h"
#include "platform/Locale.h"
#include "platform/Paths.h"
#include "platform/ProgramInfo.h"
#include "platform/Text.h"
#include "platform/db/Recordset.h"
#include "platform/Value.h"

namespace tarnwick {

namespace {

const char* const kLevelNames[] = {"Info", "Warning", "ERROR", "VerInfo"};
constexpr size_t kLevelWidth = 7;
constexpr size_t kProcWidth = 45;
constexpr size_t kHeaderRuleWidth = 120;
constexpr size_t kDumpRuleWidth = 80;
constexpr size_t kFieldNameWidth = 32;
constexpr size_t kParameterNameWidth = 31;
constexpr size_t kKeyWidth = 53;
const std::string kColumnGap(4, ' ');
const std::string kSizeTag = "[classLog]checkSizeOfLogs";

std::string padLeft(const std::string& text, size_t width) {
  size_t length = platform::utf8Length(text);
  return length >= width ? text : std::string(width - length, ' ') + text;
}

std::string padRight(const std::string& text, size_t width) {
  size_t length = platform::utf8Length(text);
  return length >= width ? text : text + std::string(width - length, ' ');
}

std::string twoDigits(int n) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02d", n);
  return buf;
}

// A number with at least `minFraction` and at most `maxFraction` decimals,
// always with its decimal point ("##0.#" writes 50 as "50.").
std::string formatDecimal(double value, int minFraction, int maxFraction) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", maxFraction, value);
  std::string text = buf;
  size_t keep = text.find('.') + 1 + static_cast<size_t>(minFraction);
  while (text.size() > keep && text.back() == '0') text.pop_back();
  bool roundsToZero = text.find_first_not_of("-0.") == std::string::npos;
  if (roundsToZero && text.front() == '-') text.erase(0, 1);
  return text;
}

// A single-precision number in its shortest form: up to seven significant
// digits, never with an exponent.
std::string formatSingle(float value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.7g", static_cast<double>(value));
  std::string text = buf;
  if (text.find('e') == std::string::npos) return text;
  std::snprintf(buf, sizeof buf, "%.12f", static_cast<double>(value));
  text = buf;
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text;
}

float secondsSinceMidnight() {
  return static_cast<float>(platform::toLocalTime(platform::env()->now()).secondsSinceMidnight);
}

std::string entryKey(const std::string& strProc, int16_t entry) { return strProc + "_" + std::to_string(entry); }

// A log file of `program`, named as makeLogFileName names them:
// <program>_yyyymmdd_HhNnSs.LOG.
bool isLogOf(const std::string& program, const std::string& name) {
  const std::string prefix = program + "_";
  const std::string_view shape = "00000000_000000.LOG";  // 0 stands for any digit
  if (name.size() != prefix.size() + shape.size() || !name.starts_with(prefix)) return false;
  for (size_t i = 0; i < shape.size(); ++i) {
    const char c = name[prefix.size() + i];
    if (shape[i] == '0' ? (c < '0' || c > '9') : c != shape[i]) return false;
  }
  return true;
}

}  // namespace

std::string errorLine(const platform::Error& error) {
  return "Err.Number = " + std::to_string(error.number()) + " Err.Description = " + error.description();
}

classLog::classLog() : programName_(platform::programName()) {
  strLogFile_ = makeLogFileName();
  nVerbosity_ = 2;
  checkSizeOfLogs();
}

classLog::~classLog() = default;

std::string classLog::makeLogFileName() {
  strLogDir_ = platform::joinPath(platform::dataFolder(), "LOGS");
  if (!platform::env()->folderExists(strLogDir_)) platform::env()->createFolder(strLogDir_);
  platform::LocalTime t = platform::toLocalTime(platform::env()->now());
  std::string stamp = std::to_string(t.year) + twoDigits(t.month) + twoDigits(t.day) + "_" + twoDigits(t.hour) +
                      twoDigits(t.minute) + twoDigits(t.second);
  return platform::joinPath(strLogDir_, programName_ + "_" + stamp + ".LOG");
}

void classLog::log(const std::string& strLineToLog, int32_t nLevel, const std::string& strProc) {
  if (nLevel == kError) loggedError_ = true;
  platform::env()->debugOutput(programName_ + ":(" + strProc + ") " + strLineToLog);
  bool written = nLevel == kVerInfo ? nVerbosity_ == 2 : nLevel == kInfo ? nVerbosity_ >= 2 : true;
  if (written) logToFile(strLineToLog, nLevel, strProc);
}

// "Hh:Nn:Ss", worked out again only when the second changes.
const std::string& classLog::timeOfDay() {
  auto now = std::chrono::time_point_cast<std::chrono::seconds>(platform::env()->now());
  if (now != timeOfDaySecond_ || timeOfDay_.empty()) {
    platform::LocalTime t = platform::toLocalTime(now);
    timeOfDay_ = twoDigits(t.hour) + ":" + twoDigits(t.minute) + ":" + twoDigits(t.second);
    timeOfDaySecond_ = now;
  }
  return timeOfDay_;
}

std::string classLog::formatLine(const std::string& message, int32_t nLevel, const std::string& strProc) {
  const char* levelName = nLevel >= kInfo && nLevel <= kVerInfo ? kLevelNames[nLevel] : "";
  std::string proc = strProc.empty() ? std::string(20, ' ') : strProc.substr(0, kProcWidth);
  return timeOfDay() + " " + padLeft(levelName, kLevelWidth) + ":(" + padLeft(proc, kProcWidth) + ") " + strIndent_ +
         message;
}

void classLog::openLogFile() {
  stream_ = platform::env()->openTextFile(strLogFile_, platform::IOMode::ForAppending, true,
                                          platform::TextEncoding::Cp1252);
  std::string rule(kHeaderRuleWidth, '*');
  std::string version = std::to_string(platform::versionMajor()) + "." + std::to_string(platform::versionMinor()) +
                        "." + std::to_string(platform::versionRevision());
  stream_->writeLine("");
  stream_->writeLine(rule);
  stream_->writeLine(programName_ + " Version: " + version + "   Started: " +
                     platform::formatGeneralDateTime(platform::env()->now()));
  stream_->writeLine(rule);
}

// A character the file cannot hold cuts the message just before it; any
// other failure is reported once through the log itself and the line dropped.
// The message is copied only when it has to be cut: a result line may be megabytes long.
void classLog::logToFile(const std::string& strLineToLog, int32_t nLevel, const std::string& strProc) {
  std::string cut;
  const std::string* message = &strLineToLog;
  for (;;) {
    try {
      if (!stream_) openLogFile();
      stream_->writeLine(formatLine(*message, nLevel, strProc));
      return;
    } catch (const platform::Error& e) {
      if (e.number() != platform::err::kInvalidArgument || message->empty()) {
        reportFailure("logToFile", e);
        return;
      }
      std::string encodable;
      platform::tryEncodeCp1252(*message, encodable);
      cut = encodable.size() < message->size() ? platform::decodeCp1252(encodable)
                                               : message->substr(0, message->size() - 1);
      message = &cut;
    }
  }
}

// The first failure also goes to standard error, since the log itself may
// be where nothing can be written any more.
void classLog::reportFailure(const std::string& tag, const platform::Error& error) {
  if (!toldStandardError_) {
    toldStandardError_ = true;
    platform::env()->writeStdErr(platform::toConsoleCharset("ERROR: Cannot write to log file " + strLogFile_ + " - " +
                                                            error.description() + "\r\n"));
  }
  if (reportingWriteFailure_) return;
  reportingWriteFailure_ = true;
  log(errorLine(error), kError, tag);
  reportingWriteFailure_ = false;
}

void classLog::setDepth(int32_t depth) {
  nDepth_ = depth < 0 ? 0 : depth;
  strIndent_.assign(static_cast<size_t>(nDepth_) * 2, ' ');
}

void classLog::enterProc(const std::string& strProc) {
  try {
    float start = secondsSinceMidnight();
    int16_t entry = 0;
    while (dictProcStart_.exists(entryKey(strProc, entry))) ++entry;
    dictProcStart_.add(entryKey(strProc, entry), start);
    log("Entering " + entryKey(strProc, entry), kInfo, strProc);
    setDepth(nDepth_ + 1);
  } catch (const platform::Error& e) {
    log(errorLine(e), kError, "enterProc");
  }
}

void classLog::exitProc(const std::string& strProc) {
  int16_t entry = 0;
  while (dictProcStart_.exists(entryKey(strProc, entry))) ++entry;
  --entry;
  float end = secondsSinceMidnight();
  setDepth(nDepth_ - 1);
  std::string key = entryKey(strProc, entry);
  std::string message = "Exiting  " + key;
  if (dictProcStart_.exists(key)) {
    float start = dictProcStart_.item(key);
    message += " Start: " + formatSingle(start) + " End: " + formatSingle(end) +
               " - Elapsed: " + formatDecimal(static_cast<double>(end - start), 1, 6);
    dictProcStart_.remove(key);
  }
  log(message, kInfo, strProc);
}

void classLog::dumpRecordsets(platform::db::Recordset* rsDump, const std::string& strProcedure) {
  if (rsDump == nullptr || !rsDump->isOpen() || rsDump->bof() || rsDump->eof()) return;
  std::string stars(kDumpRuleWidth, '*');
  log(stars, kVerInfo, strProcedure);
  log("Object Recordset Dump", kVerInfo, strProcedure);
  log(stars, kVerInfo, strProcedure);
  while (!rsDump->eof()) {
    int count = rsDump->fieldCount();
    for (int i = 0; i < count; ++i) {
      std::string name = rsDump->fieldName(i);
      log(padRight(name, kFieldNameWidth) + kColumnGap + platform::toText(rsDump->field(name)), kVerInfo,
          strProcedure);
    }
    rsDump->moveNext();
    log(std::string(kDumpRuleWidth, '-'), kVerInfo, strProcedure);
  }
}

void classLog::dumpDictionary(const platform::KeyedTable<std::string>& dictDump, const std::string& strProcedure) {
  log("Dumping dictionary...", kInfo, strProcedure);
  for (const auto& [key, value] : dictDump) {
    log(padLeft(key, kKeyWidth) + kColumnGap + value, kInfo, strProcedure);
  }
}

void classLog::dumpCommandObject(const platform::db::Command& oCommand, const std::string& strProcedure) {
  std::string stars(kDumpRuleWidth, '*');
  log(stars, kVerInfo, strProcedure);
  log("Command Object Dump: " + oCommand.commandText, kVerInfo, strProcedure);
  log(stars, kVerInfo, strProcedure);
  for (const auto& [name, value] : oCommand.parameters) {
    log(padRight(name, kParameterNameWidth) + kColumnGap + platform::toText(value), kVerInfo, strProcedure);
  }
  log(stars, kVerInfo, strProcedure);
}

void classLog::closeLog() {
  if (stream_) stream_->close();
  stream_.reset();
  strLogFile_ = makeLogFileName();
}

// Retention: 30 days with more than 500 MB free to us, 10 below 100 MB, else
// 14. Only this program's own logs are pruned, never a link or any other file
// that happens to be there. Each failing step is logged and the next one runs.
void classLog::checkSizeOfLogs() {
  auto reportError = [this](const platform::Error& e) { log(errorLine(e), kError, kSizeTag); };
  int16_t retentionDays = 14;
  platform::DiskSpace space;
  try {
    space = platform::env()->diskSpace(strLogDir_);
  } catch (const platform::Error& e) {
    reportError(e);
  }
  if (space.freeToCaller > 500000000ULL) {
    retentionDays = 30;
  } else if (space.freeToCaller < 100000000ULL) {
    retentionDays = 10;
  }
  platform::TimePoint cutOff = platform::subtractDays(platform::env()->now(), retentionDays);
  uint64_t directorySize = 0;
  try {
    directorySize = platform::env()->folderSize(strLogDir_);
  } catch (const platform::Error& e) {
    reportError(e);
  }
  auto wholeMegabytes = [](uint64_t bytes) { return static_cast<uint64_t>(std::llround(bytes / 1e6)); };
  log("Removing logs older than " + platform::formatGeneralDateTime(cutOff) +
          " - Log Directory Size: " + formatDecimal(directorySize / 1e6, 0, 1) + " MB   " +
          platform::formatGrouped(wholeMegabytes(space.freeToCaller)) + " MB Free   " +
          platform::formatGrouped(wholeMegabytes(space.total)) + " MB Total ",
      kInfo, kSizeTag);
  std::vector<platform::FileEntry> files;
  try {
    files = platform::env()->filesIn(strLogDir_);
  } catch (const platform::Error& e) {
    reportError(e);
  }
  for (const auto& file : files) {
    if (!isLogOf(programName_, file.name) || file.lastModified >= cutOff) continue;
    try {
      platform::env()->deleteFile(file.path);
    } catch (const platform::Error& e) {
      reportError(e);
    }
  }
}

namespace {
std::unique_ptr<classLog>& logInstance() {
  static std::unique_ptr<classLog> instance;
  return instance;
}
}  // namespace

classLog& Log() {
  auto& instance = logInstance();
  if (!instance) instance = std::make_unique<classLog>();
  return *instance;
}

void resetLog() { logInstance().reset(); }

}  // namespace tarnwick
