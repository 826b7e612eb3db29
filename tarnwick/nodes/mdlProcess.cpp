// mdlProcess: the import driver, the result file writer and the input
// columns' rules. The node operations are in mdlProcessNodes.cpp, the
// export in mdlProcessExport.cpp.
#include "mdlProcess.h"

#include <algorithm>
#include <cctype>
#include <memory>

#include "InputColumns.h"
#include "ProgramObjects.h"
#include "frontend/StdOutput.h"
#include "logging/RunOutcome.h"
#include "logging/classLog.h"
#include "mdlProcessParts.h"
#include "platform/Env.h"
#include "platform/Paths.h"

namespace tarnwick {

using process::kOpenOutputStep;
using process::kUnit;
using quillet::Fields;
using Then = Procedure::Then;
using Failure = Procedure::Failure;

namespace {

const char* const kCannotOpenAdvice =
    "       Close any applications that may be using this file and try again or use a different filename.";

// The run's one output file: the import's result file or the export file.
std::unique_ptr<platform::TextStream>& outputFile() {
  static std::unique_ptr<platform::TextStream> stream;
  return stream;
}

// Ends the program before its job touches anything, with its console lines.
void endWithoutJob(const std::string& problem, const std::string& advice = "") {
  printLine(problem);
  if (!advice.empty()) printLine(advice);
  platform::env()->exitProcess(RunOutcome::kNoJobRan);
}

constexpr int kOpenInputStep = 3;
constexpr int kReadLineStep = 61;

std::string cannotReadText(const std::string& inputFile) { return "ERROR: Cannot read " + inputFile + "."; }

std::string descriptionLine(const platform::Error& error) { return "       " + error.description(); }

// Without its result file, or without the input's headings, the import could
// account for no line: either failure ends the program before a line is
// read. A missing reader (error 91) was reported when the form was loaded and
// takes the common course.
void endIfImportCannotStart(const Failure& failure, const std::string& inputFile, const std::string& outputFileName) {
  process::endIfOutputCannotOpen(failure, outputFileName);
  const platform::Error& error = failure.error;
  if (failure.line == kOpenInputStep && error.number() != platform::err::kObjectNotSet) {
    endWithoutJob(cannotReadText(inputFile), descriptionLine(error));
  }
}

// Ends the program before any line is read, saying why in the log and on the console.
void endBeforeAnyLine(const Procedure& p, const std::string& problem) {
  Log().log(problem, kError, p.tag());
  printLine(problem);
  platform::env()->exitProcess(RunOutcome::kNoJobRan);
}

bool hasColumn(const std::string& column) {
  try {
    reader().getColumnIndex(column);
    return true;
  } catch (const platform::Error& error) {
    if (error.number() != quillet::CSVMAN_ERROR_COLUMNNOTFOUND) throw;
    return false;
  }
}

// Opens the input through the reader and returns its headings. An input
// without a heading line (empty, or with no line end in its first 1 MiB),
// or without the two columns every line needs, ends the run here: before
// any line is read and before the result file is touched.
std::vector<std::string> openInput(const Procedure& p, const std::string& inputFile) {
  reader().CSVFile(inputFile);
  std::vector<std::string> headings;
  try {
    headings = reader().OpenCSV(true, true);
  } catch (const platform::Error& error) {
    if (error.number() == platform::err::kInputPastEnd) endBeforeAnyLine(p, "ERROR: The input file is empty.");
    if (!reader().lineWasCut()) throw;
  }
  if (reader().lineWasCut()) endBeforeAnyLine(p, "ERROR: The input file has no line end in its first 1 MiB.");
  for (const char* column : {"Action", "SerialNo"}) {
    if (!hasColumn(column)) endBeforeAnyLine(p, std::string("ERROR: The input file has no ") + column + " column.");
  }
  return headings;
}

std::string lastValidationFailureText() {
  return process::validationFailureText(platform::toText(reader().LastInvalidValue()),
                                        platform::toText(reader().LastInvalidColumn()));
}

std::string padRight(std::string text, size_t width) {
  if (text.size() < width) text.resize(width, ' ');
  return text;
}

std::string valueAt(const Fields& values, int index) {
  return index >= 1 && static_cast<size_t>(index) <= values.size() ? values[static_cast<size_t>(index) - 1] : "";
}

// The input line in hand and its outcome, set anew for every line.
struct InputLine {
  const Fields* read = nullptr;  // as the reader holds it; null once its result is written
  bool cut = false;              // longer than 1 MiB: `fitted` stands for its values
  Fields fitted;
  bool decided = false;
  bool isError = false;
  std::string details;

  const Fields& values() const { return cut ? fitted : *read; }
  void succeed() { decided = true; }
  void fail(const std::string& text) {
    decided = true;
    isError = true;
    details = text;
  }
};

// The tables cannot keep a NUL inside a text: it would cut the value short.
bool holdsNulCharacter(const Fields& values) {
  return std::any_of(values.begin(), values.end(),
                     [](const std::string& value) { return value.find('\0') != std::string::npos; });
}

// A value past the header's count shifted the line's values (an unquoted
// comma); empty ones at the end are harmless.
bool holdsValueBeyond(const Fields& values, size_t headingCount) {
  return values.size() > headingCount &&
         std::any_of(values.begin() + static_cast<std::ptrdiff_t>(headingCount), values.end(),
                     [](const std::string& value) { return !value.empty(); });
}

// Refuses a line that no operation may read. A line cut at 1 MiB keeps the
// header's count of values for its result line.
void refuseUnusableLine(InputLine& line, size_t headingCount) {
  const Fields& values = *line.read;
  if (reader().lineWasCut()) {
    line.cut = true;
    line.fitted.assign(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(std::min(values.size(), headingCount)));
    line.fitted.resize(headingCount);
    line.fail("Line is longer than 1 MiB");
  } else if (holdsValueBeyond(values, headingCount)) {
    line.fail("Line has more values than the header");
  } else if (holdsNulCharacter(values)) {
    line.fail("Line holds a NUL character");
  }
}

std::string detailsFor(int32_t code) {
  switch (code) {
    case kSerialNotFound: return "Node with this serial number not found in Node Table";
    case kSerialExists: return "Node with this serial number already exists in Node Table";
    default: return process::lastOperationDetails();
  }
}

void dispatch(const std::string& action, InputLine& line) {
  int32_t code = kDone;
  if (action == "a") {
    code = addNode();
  } else if (action == "c") {
    code = changeNode();
  } else if (action == "d") {
    code = deleteNode();
  } else {
    line.fail("Invalid value in column: action");
    return;
  }
  if (code == kDone) {
    line.succeed();
  } else {
    line.fail(detailsFor(code));
  }
}

// The counts of one import.
struct ImportCounts {
  int32_t total = 0;
  int32_t successes = 0;
  int32_t failures = 0;
  int32_t unwrittenResults = 0;  // result lines the output file refused; the log holds them
};

// Counts the line and writes its result line; the line is then done with.
void writeResult(InputLine& line, ImportCounts& counts) {
  ++(line.isError ? counts.failures : counts.successes);
  if (!writeOutput(line.values(), line.isError, line.details)) ++counts.unwrittenResults;
  line.read = nullptr;
}

void reportTotals(const ImportCounts& counts, const std::string& tag) {
  std::string summary = "Total nodes effected: " + std::to_string(counts.total) + " Successful changes: " +
                        std::to_string(counts.successes) + " Errors: " + std::to_string(counts.failures);
  Log().log(summary, kInfo, tag);
  printLine(summary);
  printLine();
}

void reportErrors(const ImportCounts& counts, const std::string& outputFileName) {
  if (counts.failures == 0 && counts.unwrittenResults == 0) return;
  RunOutcome::noteFailure();
  printLine("****************ERRORS ENCOUNTERED*****************");
  if (counts.unwrittenResults > 0) {
    printLine("ERROR: " + std::to_string(counts.unwrittenResults) +
              " result lines could not be written to the output file; the log file holds them.");
  }
  printLine("Check the output file for more detailed error information: " +
            platform::absolutePathName(outputFileName));
}

// Stops the import at a signal, once the line before it is done and its
// result written.
bool importInterrupted(const Procedure& p, int32_t lineNumber) {
  if (platform::env()->interruptSignal() == 0) return false;
  std::string text = "Import interrupted after line " + std::to_string(lineNumber) +
                     "; the lines after it were not processed.";
  Log().log(text, kWarning, p.tag());
  printLine(text);
  return true;
}

}  // namespace

std::string process::lowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

std::string process::lineValue(const std::string& column) {
  try {
    return reader().getValue(column);
  } catch (const platform::Error& error) {
    if (error.number() != platform::err::kSubscriptOutOfRange) throw;
    throw platform::Error(error.number(), "Line has no value for column: " + column);
  }
}

std::string process::failureDetails(const platform::Error& error) {
  if (error.number() == platform::err::kSubscriptOutOfRange) return error.description();
  return "Run-time error " + std::to_string(error.number()) + ": " + error.description();
}

std::string process::validationFailureText(const std::string& value, const std::string& column) {
  return "Value failed data validation checks.  Value = " + value + " Column = " + column;
}

void process::openOutputFile(const std::string& fileName) {
  outputFile() = platform::env()->openExclusiveTextFile(fileName, platform::TextEncoding::Cp1252);
}

platform::ReplacementFile* process::openExportFile(const std::string& fileName) {
  auto file = platform::env()->openReplacementFile(fileName, platform::TextEncoding::Cp1252);
  platform::ReplacementFile* exportFile = file.get();
  outputFile() = std::move(file);
  return exportFile;
}

// A file another program holds, or that we may not write, comes with
// advice; one that another run writes is named so; any other failure comes
// with its description.
void process::endIfOutputCannotOpen(const Failure& failure, const std::string& fileName) {
  if (failure.line != kOpenOutputStep) return;
  if (failure.error.number() == platform::err::kFileAlreadyOpen) {
    endWithoutJob("ERROR: " + fileName + " is being written by another run.");
  }
  bool denied = failure.error.number() == platform::err::kPermissionDenied;
  endWithoutJob("ERROR: Cannot open " + fileName + " for writing.",
                denied ? kCannotOpenAdvice : descriptionLine(failure.error));
}

std::vector<std::string> getColumnNames() {
  std::vector<std::string> names;
  for (const auto& column : kInputColumns) names.emplace_back(column.name);
  return names;
}

// A column missing from the input does not keep the others unchecked: every
// column present gets its rule, and then the first missing one is reported.
void setColumnRules() {
  std::optional<platform::Error> missing;
  for (const auto& column : kInputColumns) {
    try {
      reader().setColumnValidation(column.name, column.pattern);
    } catch (const platform::Error& error) {
      if (error.number() != quillet::CSVMAN_ERROR_COLUMNNOTFOUND) throw;
      if (!missing) missing = error;
    }
  }
  if (missing) throw *missing;
}

bool writeOutput(const std::vector<std::string>& values, std::optional<bool> isError,
                 const std::optional<std::string>& details) {
  Procedure p(kUnit, "writeOutput", Procedure::Tracing::Off);
  bool written = false;
  p.run([&] {
    std::string line;
    p.step(1, [&] {
      for (const auto& value : values) line += "\"" + value + "\",";
    });
    p.step(2, [&] {
      if (line.empty()) platform::raise(platform::err::kInvalidArgument);
      line.pop_back();
    });
    p.step(3, [&] {
      if (isError) line += std::string(",\"") + (*isError ? "Error" : "Successful") + "\"";
    });
    p.step(4, [&] {
      if (details) line += ",\"" + *details + "\"";
    });
    p.step(5, [&] {
      if (!outputFile()) platform::raise(platform::err::kObjectNotSet);
      outputFile()->writeLine(line);
      written = true;
    });
    p.step(6, [&] { Log().log(line, kVerInfo, p.tag()); });
  });
  return written;
}

// The input is opened and its headings checked before the result file is
// opened, so an input that cannot be imported leaves an earlier result file
// as it was. A run-time failure while a line is in hand fails that line.
void importData(const std::string& inputFile, const std::string& outputFileName) {
  Procedure p(kUnit, "importData");
  ImportCounts counts;
  std::vector<std::string> headings;
  int serialIndex = 0;
  int32_t lineNumber = 1;  // the file line last read
  bool moreLines = true;
  InputLine line;
  // Besides the files that keep the import from starting, a line that cannot
  // be read ends the loop: the lines before it keep their results, and the
  // summary follows.
  p.onOtherErrors([&](const Failure& failure) {
    p.logFailure(failure);
    endIfImportCannotStart(failure, inputFile, outputFileName);
    if (failure.line == kReadLineStep) {
      printLine(cannotReadText(inputFile));
      printLine(descriptionLine(failure.error));
      moreLines = false;
    }
    line.fail(process::failureDetails(failure.error));
    return Then::NextStep;
  });
  p.onError(
      quillet::CSVMAN_ERROR_VALIDATIONFAILED,
      [&](const Failure&) {
        std::string text = lastValidationFailureText();
        Log().log(text, kError, p.tag());
        printLine("    " + text);
        line.fail("Invalid value in column: " + platform::toText(reader().LastInvalidColumn()));
        return Then::NextStep;
      },
      false);
  p.onError(
      platform::err::kInputPastEnd,
      [&](const Failure&) {
        moreLines = false;
        return Then::NextStep;
      },
      false);
  bool completed = p.run([&] {
    p.step(kOpenInputStep, [&] { headings = openInput(p, inputFile); });
    p.step(4, [] { setColumnRules(); });
    p.step(5, [&] { serialIndex = reader().getColumnIndex("SerialNo"); });
    p.step(kOpenOutputStep, [&] { process::openOutputFile(outputFileName); });
    p.step(6, [&] {
      if (reader().isUtf8()) outputFile()->setEncoding(platform::TextEncoding::Utf8WithMark);
      std::vector<std::string> titles = headings;
      titles.insert(titles.end(), {"Result", "Details"});
      writeOutput(titles);
    });
    p.step(7, [] {
      printLine();
      printLine("Processing data...");
    });
    while (moreLines) {
      if (importInterrupted(p, lineNumber)) break;
      p.step(60, [&] {
        moreLines = false;
        moreLines = !reader().EOF_();
      });
      if (!moreLines) break;
      line = InputLine{};
      p.step(kReadLineStep, [&] {
        line.read = &reader().ReadLine();
        lineNumber = reader().CurrentLine();
      });
      if (!line.read) break;
      ++counts.total;
      p.step(62, [&] {
        printLine("  Processing Line: " + padRight(std::to_string(lineNumber), 4) +
                  " SerialNo = " + valueAt(*line.read, serialIndex));
      });
      if (!line.decided) p.step(63, [&] { refuseUnusableLine(line, headings.size()); });
      std::string action;
      if (!line.decided) p.step(64, [&] { action = process::lowerCase(process::lineValue("action")); });
      if (!line.decided) p.step(65, [&] { dispatch(action, line); });
      p.step(66, [&] { writeResult(line, counts); });
    }
    p.step(8, [] { reader().CloseCSV(); });
    p.step(9, [] {
      printLine("Finished processing data.");
      printLine();
    });
    p.step(10, [&] { reportTotals(counts, p.tag()); });
    p.step(11, [&] { reportErrors(counts, outputFileName); });
    p.traceExit(12);
  });
  if (completed) return;
  // The error limit forced the import out: the line in hand still gets its
  // result, and the summary tells how far the import came.
  if (line.read) {
    line.fail(process::failureDetails(*p.forcedOutBy()));
    writeResult(line, counts);
  }
  std::string stop = "Import stopped by the error limit after line " + std::to_string(lineNumber) +
                     "; the lines after it were not processed.";
  Log().log(stop, kError, p.tag());
  printLine(stop);
  printLine();
  reportTotals(counts, p.tag());
  reportErrors(counts, outputFileName);
}

}  // namespace tarnwick
