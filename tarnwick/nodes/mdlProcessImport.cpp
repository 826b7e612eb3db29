// mdlProcess: the import loop. Each line of the input is read, checked,
// handed to the node operation its Action names, and answered in the result
// file; the summary follows.
#include <algorithm>

#include "logging/RunOutcome.h"
#include "logging/classLog.h"
#include "mdlProcess.h"
#include "mdlProcessParts.h"
#include "platform/Paths.h"

namespace tarnwick {

using process::kOpenOutputStep;
using process::kUnit;
using quillet::Fields;
using Then = Procedure::Then;
using Failure = Procedure::Failure;

namespace {

constexpr int kOpenInputStep = 3;
constexpr int kBeginDryRunStep = 13;
constexpr int kEndDryRunStep = 14;
constexpr int kReadLineStep = 61;

std::string cannotReadText(const std::string& inputFile) { return "ERROR: Cannot read " + inputFile + "."; }

// Without its result file, without the input's headings, or, for a dry
// run, without the transaction that keeps it from storing anything, the
// import could account for no line: each failure ends the program before a
// line is read. A missing reader (error 91) was reported when the form was
// loaded and takes the common course.
void endIfImportCannotStart(ProgramObjects& objects, const Failure& failure, const std::string& inputFile,
                            const std::string& outputFileName) {
  process::endIfOutputCannotOpen(objects, failure, outputFileName);
  const platform::Error& error = failure.error;
  if (failure.line == kOpenInputStep && error.number() != platform::err::kObjectNotSet) {
    process::endWithoutJob(objects, cannotReadText(inputFile), process::descriptionLine(error));
  }
  if (failure.line == kBeginDryRunStep) {
    process::endWithoutJob(objects, "ERROR: Cannot start the dry run.", process::descriptionLine(error));
  }
}

// A dry run undoes everything it did before it reports: it never commits.
void undoDryRun(ProgramObjects& objects, const Procedure& p) {
  try {
    objects.connection.rollbackOuterTrans();
  } catch (const platform::Error& error) {
    p.logFailure({error, kEndDryRunStep});
  }
}

// Ends the program before any line is read, saying why in the log and on the console.
void endBeforeAnyLine(ProgramObjects& objects, const Procedure& p, const std::string& problem) {
  Log().log(problem, kError, p.tag());
  process::endWithoutJob(objects, problem);
}

// Opens the input through the reader and returns its headings. An input
// without a heading line (empty, or with no line end in its first 1 MiB),
// or without the two columns every line needs, ends the run here: before
// any line is read and before the result file is touched.
std::vector<std::string> openInput(ProgramObjects& objects, const Procedure& p, const std::string& inputFile) {
  quillet::IucQuillet& reader = objects.reader();
  reader.CSVFile(inputFile);
  std::vector<std::string> headings;
  try {
    headings = reader.OpenCSV(true, true);
  } catch (const platform::Error& error) {
    if (error.number() == platform::err::kInputPastEnd) endBeforeAnyLine(objects, p, "ERROR: The input file is empty.");
    if (!reader.lineWasCut()) throw;
  }
  if (reader.lineWasCut()) endBeforeAnyLine(objects, p, "ERROR: The input file has no line end in its first 1 MiB.");
  for (const char* column : {"Action", "SerialNo"}) {
    if (!process::hasColumn(reader, column)) {
      endBeforeAnyLine(objects, p, std::string("ERROR: The input file has no ") + column + " column.");
    }
  }
  return headings;
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
void refuseUnusableLine(const quillet::IucQuillet& reader, InputLine& line, size_t headingCount) {
  const Fields& values = *line.read;
  if (reader.lineWasCut()) {
    line.cut = true;
    line.fitted.assign(values.begin(),
                       values.begin() + static_cast<std::ptrdiff_t>(std::min(values.size(), headingCount)));
    line.fitted.resize(headingCount);
    line.fail("Line is longer than 1 MiB");
  } else if (holdsValueBeyond(values, headingCount)) {
    line.fail("Line has more values than the header");
  } else if (holdsNulCharacter(values)) {
    line.fail("Line holds a NUL character");
  }
}

void dispatch(ProgramObjects& objects, const std::string& action, InputLine& line) {
  NodeOutcome outcome;
  if (action == "a") {
    outcome = addNode(objects);
  } else if (action == "c") {
    outcome = changeNode(objects);
  } else if (action == "d") {
    outcome = deleteNode(objects);
  } else {
    line.fail("Invalid value in column: action");
    return;
  }
  if (outcome.code == kDone) {
    line.succeed();
  } else {
    line.fail(outcome.details);
  }
}

// The counts of one import.
struct ImportCounts {
  int32_t total = 0;
  int32_t successes = 0;
  int32_t failures = 0;
  int32_t unwrittenResults = 0;  // result lines the output file refused; the log holds them

  bool allWell() const { return failures == 0 && unwrittenResults == 0; }
};

// Counts the line and writes its result line; the line is then done with,
// and its console text, if held, is shown when it failed.
void writeResult(ProgramObjects& objects, InputLine& line, ImportCounts& counts) {
  objects.console.endLine(line.isError);
  ++(line.isError ? counts.failures : counts.successes);
  if (!writeOutput(objects, line.values(), line.isError, line.details)) ++counts.unwrittenResults;
  line.read = nullptr;
}

void reportTotals(IPrintTarget& console, const ImportCounts& counts, const std::string& tag, bool dryRun) {
  std::string summary = "Total nodes effected: " + std::to_string(counts.total) +
                        " Successful changes: " + std::to_string(counts.successes) +
                        " Errors: " + std::to_string(counts.failures);
  Log().log(summary, kInfo, tag);
  printLine(console, summary);
  if (dryRun) {
    const char* const kNothingStored = "Dry run: nothing was stored.";
    Log().log(kNothingStored, kInfo, tag);
    printLine(console, kNothingStored);
  }
  printLine(console);
}

void reportErrors(IPrintTarget& console, const ImportCounts& counts, const std::string& outputFileName) {
  if (counts.allWell()) return;
  printLine(console, "****************ERRORS ENCOUNTERED*****************");
  if (counts.unwrittenResults > 0) {
    printLine(console, "ERROR: " + std::to_string(counts.unwrittenResults) +
                           " result lines could not be written to the output file; the log file holds them.");
  }
  printLine(console,
            "Check the output file for more detailed error information: " + platform::absolutePathName(outputFileName));
}

// Stops the import at a signal, once the line before it is done and its
// result written.
bool importInterrupted(IPrintTarget& console, const Procedure& p, int32_t lineNumber) {
  if (platform::env()->interruptSignal() == 0) return false;
  std::string text = "Import interrupted after line " + std::to_string(lineNumber) +
                     "; the lines after it were not processed.";
  Log().log(text, kWarning, p.tag());
  printLine(console, text);
  return true;
}

}  // namespace

// The input is opened and its headings checked before the result file is
// opened, so an input that cannot be imported leaves an earlier result file
// as it was. A run-time failure while a line is in hand fails that line.
// A dry run works inside one transaction that it rolls back before its
// summary, so each line sees what the lines before it did, and nothing is
// stored. Its console text cannot wait for the end: while it runs, the
// embedded database's write lock is held with the console written to.
bool importData(ProgramObjects& objects, const std::string& inputFile, const std::string& outputFileName,
                const JobOptions& job) {
  Procedure p(kUnit, "importData");
  IPrintTarget& console = objects.console;
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
    endIfImportCannotStart(objects, failure, inputFile, outputFileName);
    if (failure.line == kReadLineStep) {
      printLine(console, cannotReadText(inputFile));
      printLine(console, process::descriptionLine(failure.error));
      moreLines = false;
    }
    line.fail(process::failureDetails(failure.error));
    return Then::NextStep;
  });
  p.onError(
      quillet::CSVMAN_ERROR_VALIDATIONFAILED,
      [&](const Failure&) {
        std::string text = process::lastValidationFailureText(objects.reader());
        Log().log(text, kError, p.tag());
        printLine(console, "    " + text);
        line.fail("Invalid value in column: " + platform::toText(objects.reader().LastInvalidColumn()));
        return Then::NextStep;
      },
      false);
  // A line too short to hold its Action value fails like a refused value: a
  // problem of the line, which never counts toward the error limit.
  p.onError(
      platform::err::kSubscriptOutOfRange,
      [&](const Failure& failure) {
        p.logFailure(failure);
        line.fail(process::failureDetails(failure.error));
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
    p.step(kOpenInputStep, [&] { headings = openInput(objects, p, inputFile); });
    p.step(4, [&] { setColumnRules(objects.reader()); });
    p.step(5, [&] { serialIndex = objects.reader().getColumnIndex("SerialNo"); });
    if (job.dryRun) p.step(kBeginDryRunStep, [&] { objects.connection.beginOuterTrans(); });
    p.step(kOpenOutputStep, [&] { process::openOutputFile(objects, outputFileName); });
    p.step(6, [&] {
      objects.outputFile->setEncoding(objects.reader().encoding());
      std::vector<std::string> titles = headings;
      titles.insert(titles.end(), {"Result", "Details"});
      writeOutput(objects, titles);
    });
    p.step(7, [&] {
      printLine(console);
      printLine(console, "Processing data...");
    });
    objects.console.startProgress();
    while (moreLines) {
      if (importInterrupted(console, p, lineNumber)) break;
      p.readWithDefault(60, moreLines, false, [&] { return !objects.reader().EOF_(); });
      if (!moreLines) break;
      line = InputLine{};
      p.step(kReadLineStep, [&] {
        line.read = &objects.reader().ReadLine();
        lineNumber = objects.reader().CurrentLine();
      });
      if (!line.read) break;
      ++counts.total;
      if (job.quiet) objects.console.holdLine();
      p.step(62, [&] {
        printLine(console, "  Processing Line: " + padRight(std::to_string(lineNumber), 4) +
                               " SerialNo = " + valueAt(*line.read, serialIndex));
      });
      if (!line.decided) p.step(63, [&] { refuseUnusableLine(objects.reader(), line, headings.size()); });
      std::string action;
      if (!line.decided) {
        p.step(64, [&] { action = process::lowerCase(process::lineValue(objects.reader(), "action")); });
      }
      if (!line.decided) p.step(65, [&] { dispatch(objects, action, line); });
      p.step(66, [&] {
        writeResult(objects, line, counts);
        objects.console.showProgress(counts.total, objects.reader().progress());
      });
    }
    objects.console.endProgress();
    p.step(8, [&] { objects.reader().CloseCSV(); });
    if (job.dryRun) undoDryRun(objects, p);
    p.step(9, [&] {
      printLine(console, "Finished processing data.");
      printLine(console);
    });
    p.step(10, [&] { reportTotals(console, counts, p.tag(), job.dryRun); });
    p.step(11, [&] { reportErrors(console, counts, outputFileName); });
    p.traceExit(12);
  });
  if (completed) return counts.allWell();
  // The error limit forced the import out: the line in hand still gets its
  // result, and the summary tells how far the import came.
  objects.console.endProgress();
  if (line.read) {
    line.fail(process::failureDetails(*p.forcedOutBy()));
    writeResult(objects, line, counts);
  }
  objects.console.endLine(true);
  if (job.dryRun) undoDryRun(objects, p);
  std::string stop = "Import stopped by the error limit after line " + std::to_string(lineNumber) +
                     "; the lines after it were not processed.";
  Log().log(stop, kError, p.tag());
  printLine(console, stop);
  printLine(console);
  reportTotals(console, counts, p.tag(), job.dryRun);
  reportErrors(console, counts, outputFileName);
  return false;
}

}  // namespace tarnwick
