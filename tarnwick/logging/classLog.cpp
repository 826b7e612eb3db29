#include "classLog.h"

#include <charconv>
#include <cmath>

#include "platform/Error.h"
#include "platform/Locale.h"
#include "platform/Paths.h"
#include "platform/ProgramInfo.h"
#include "platform/Text.h"
#include "platform/Value.h"
#include "platform/db/Recordset.h"

namespace tarnwick {

namespace {

// The level names right-aligned in their field of 7.
const char* const kLevelFields[] = {"   Info", "Warning", "  ERROR", "VerInfo"};
const char* const kNoLevelField = "       ";
constexpr size_t kProcWidth = 45;
constexpr size_t kHeaderRuleWidth = 120;
constexpr size_t kDumpRuleWidth = 80;
constexpr size_t kFieldNameWidth = 32;
constexpr size_t kParameterNameWidth = 31;
constexpr size_t kKeyWidth = 53;
const std::string kColumnGap(4, ' ');
const std::string kSizeTag = "[classLog]checkSizeOfLogs";
const std::string kBlankProc(20, ' ');  // stands for an empty procedure name

std::string padLeft(const std::string& text, size_t width) {
  size_t length = platform::utf8Length(text);
  return length >= width ? text : std::string(width - length, ' ') + text;
}

std::string padRight(const std::string& text, size_t width) {
  size_t length = platform::utf8Length(text);
  return length >= width ? text : text + std::string(width - length, ' ');
}

// Two digits, with a leading zero below 10.
void appendTwoDigits(std::string& out, int n) {
  out += static_cast<char>('0' + n / 10 % 10);
  out += static_cast<char>('0' + n % 10);
}

// `value` in decimal: with `precision` digits after the point (fixed), or
// with at most `precision` significant digits (general, as printf's %g
// writes them). Unlike printf it writes a "." whatever the locale's numbers
// use.
std::string numberText(double value, std::chars_format format, int precision) {
  char buf[400];  // room for any double written in full
  return std::string(buf, std::to_chars(buf, buf + sizeof buf, value, format, precision).ptr);
}

// A number with at least `minFraction` and at most `maxFraction` decimals,
// always with its decimal point ("##0.#" writes 50 as "50.").
std::string formatDecimal(double value, int minFraction, int maxFraction) {
  std::string text = numberText(value, std::chars_format::fixed, maxFraction);
  size_t keep = text.find('.') + 1 + static_cast<size_t>(minFraction);
  while (text.size() > keep && text.back() == '0') text.pop_back();
  bool roundsToZero = text.find_first_not_of("-0.") == std::string::npos;
  if (roundsToZero && text.front() == '-') text.erase(0, 1);
  return text;
}

// A single-precision number in its shortest form: up to seven significant
// digits, never with an exponent.
std::string formatSingle(float value) {
  std::string text = numberText(value, std::chars_format::general, 7);
  if (text.find('e') == std::string::npos) return text;
  text = numberText(value, std::chars_format::fixed, 12);
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text;
}

// "tag_N", the name of entry N of a procedure.
std::string entryKey(const std::string& strProc, int entry) { return strProc + "_" + std::to_string(entry); }

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
  std::string stamp = std::to_string(t.year);
  for (int field : {t.month, t.day}) appendTwoDigits(stamp, field);
  stamp += '_';
  for (int field : {t.hour, t.minute, t.second}) appendTwoDigits(stamp, field);
  return platform::joinPath(strLogDir_, programName_ + "_" + stamp + ".LOG");
}

// The mirror text and the line are built in buffers kept from call to call.
void classLog::log(const std::string& strLineToLog, int32_t nLevel, const std::string& strProc) {
  if (nLevel == kError) loggedError_ = true;
  mirror_.assign(programName_).append(":(").append(strProc).append(") ").append(strLineToLog);
  platform::env()->debugOutput(mirror_);
  bool written = nLevel == kVerInfo ? nVerbosity_ == 2 : nLevel == kInfo ? nVerbosity_ >= 2 : true;
  if (written) logToFile(strLineToLog, nLevel, strProc);
}

// The local time is worked out from the clock once per second.
void classLog::readClock() {
  const platform::TimePoint now = platform::env()->now();
  const auto second = std::chrono::floor<std::chrono::seconds>(now);
  if (second != clockSecond_ || timeOfDay_.empty()) {
    const platform::LocalTime t = platform::toLocalTime(second);
    timeOfDay_.clear();
    appendTwoDigits(timeOfDay_, t.hour);
    timeOfDay_ += ':';
    appendTwoDigits(timeOfDay_, t.minute);
    timeOfDay_ += ':';
    appendTwoDigits(timeOfDay_, t.second);
    midnightToSecond_ = t.secondsSinceMidnight;
    clockSecond_ = second;
  }
  fractionOfSecond_ = std::chrono::duration<double>(now - second).count();
}

float classLog::secondsSinceMidnight() {
  readClock();
  return static_cast<float>(midnightToSecond_ + fractionOfSecond_);
}

void classLog::formatLine(const std::string& message, int32_t nLevel, const std::string& strProc) {
  readClock();
  const char* level = nLevel >= kInfo && nLevel <= kVerInfo ? kLevelFields[nLevel] : kNoLevelField;
  const std::string_view proc = strProc.empty() ? std::string_view(kBlankProc)
                                                : std::string_view(strProc).substr(0, kProcWidth);
  const size_t procLength = platform::utf8Length(proc);
  line_.assign(timeOfDay_).append(" ").append(level).append(":(");
  if (procLength < kProcWidth) line_.append(kProcWidth - procLength, ' ');
  line_.append(proc).append(") ").append(strIndent_).append(message);
}

void classLog::openLogFile() {
  stream_ = platform::env()->openTextFile(strLogFile_, platform::IOMode::ForAppending, true,
                                          platform::TextEncoding::Cp1252);
  std::string rule(kHeaderRuleWidth, '*');
  std::string version = std::to_string(platform::versionMajor()) + "." + std::to_string(platform::versionMinor()) +
                        "." + std::to_string(platform::versionRevision());
  stream_->writeLine("");
  stream_->writeLine(rule);
  stream_->writeLine(programName_ + " Version: " + version +
                     "   Started: " + platform::formatGeneralDateTime(platform::env()->now()));
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
      formatLine(*message, nLevel, strProc);
      stream_->writeLine(line_);
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

// The open entries of a tag are numbered from 0 and closed last in, first
// out, so a tag's start times form a stack: entry N is the Nth from the bottom.
void classLog::enterProc(const std::string& strProc) {
  try {
    float start = secondsSinceMidnight();
    std::vector<float>& starts = dictProcStart_[strProc];
    starts.push_back(start);
    log("Entering " + entryKey(strProc, static_cast<int>(starts.size()) - 1), kInfo, strProc);
    setDepth(nDepth_ + 1);
  } catch (const platform::Error& e) {
    log(errorLine(e), kError, "enterProc");
  }
}

void classLog::exitProc(const std::string& strProc) {
  auto open = dictProcStart_.find(strProc);
  const bool entered = open != dictProcStart_.end() && !open->second.empty();
  float end = secondsSinceMidnight();
  setDepth(nDepth_ - 1);
  std::string message = "Exiting  " + entryKey(strProc, entered ? static_cast<int>(open->second.size()) - 1 : -1);
  if (entered) {
    float start = open->second.back();
    message += " Start: " + formatSingle(start) + " End: " + formatSingle(end) +
               " - Elapsed: " + formatDecimal(static_cast<double>(end - start), 1, 6);
    open->second.pop_back();
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
      log(padRight(name, kFieldNameWidth) + kColumnGap + platform::toText(rsDump->field(name)), kVerInfo, strProcedure);
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
