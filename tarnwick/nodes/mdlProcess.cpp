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

// Ends the program before its job touches anything, with two console lines.
void endWithoutJob(const std::string& problem, const std::string& advice) {
  printLine(problem);
  printLine(advice);
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

// The tables cannot keep a NUL inside a text: it would cut the value short.
bool holdsNulCharacter(const std::vector<std::string>& values) {
  return std::any_of(values.begin(), values.end(),
                     [](const std::string& value) { return value.find('\0') != std::string::npos; });
}

std::string lastValidationFailureText() {
  return process::validationFailureText(platform::toText(reader().LastInvalidValue()),
                                        platform::toText(reader().LastInvalidColumn()));
}

std::string padRight(std::string text, size_t width) {
  if (text.size() < width) text.resize(width, ' ');
  return text;
}

std::string valueAt(const std::vector<std::string>& values, int index) {
  return index >= 1 && static_cast<size_t>(index) <= values.size() ? values[static_cast<size_t>(index) - 1] : "";
}

// The outcome of one input line, set anew for every line.
struct LineOutcome {
  bool decided = false;
  bool isError = false;
  std::string details;

  void succeed() { decided = true; }
  void fail(const std::string& text) {
    decided = true;
    isError = true;
    details = text;
  }
};

std::string detailsFor(int32_t code) {
  switch (code) {
    case kSerialNotFound: return "Node with this serial number not found in Node Table";
    case kSerialExists: return "Node with this serial number already exists in Node Table";
    default: return process::lastOperationDetails();
  }
}

void dispatch(const std::string& action, LineOutcome& line) {
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

}  // namespace

std::string process::lowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

std::string process::runTimeErrorDetails(const platform::Error& error) {
  return "Run-time error " + std::to_string(error.number()) + ": " + error.description();
}

std::string process::validationFailureText(const std::string& value, const std::string& column) {
  return "Value failed data validation checks.  Value = " + value + " Column = " + column;
}

void process::openOutputFile(const std::string& fileName) {
  outputFile() = platform::env()->openTextFile(fileName, platform::IOMode::ForWriting, true,
                                               platform::TextEncoding::Cp1252);
}

// A file another program holds, or that we may not write, comes with
// advice; any other failure with its description.
void process::endIfOutputCannotOpen(const Failure& failure, const std::string& fileName) {
  if (failure.line != kOpenOutputStep) return;
  bool denied = failure.error.number() == platform::err::kPermissionDenied;
  endWithoutJob("ERROR: Cannot open " + fileName + " for writing.",
                denied ? kCannotOpenAdvice : descriptionLine(failure.error));
}

std::vector<std::string> getColumnNames() {
  std::vector<std::string> names;
  for (const auto& column : kInputColumns) names.emplace_back(column.name);
  return names;
}

void setColumnRules() {
  for (const auto& column : kInputColumns) reader().setColumnValidation(column.name, column.pattern);
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

void importData(const std::string& inputFile, const std::string& outputFileName) {
  Procedure p(kUnit, "importData");
  int32_t total = 0;
  int32_t successes = 0;
  int32_t failures = 0;
  int32_t unwrittenResults = 0;  // result lines the output file refused; the log holds them
  size_t headingCount = 0;
  int serialIndex = 0;
  bool moreLines = true;
  LineOutcome line;
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
      quillet::CSVMAN_ERROR_COLUMNNOTFOUND,
      [&](const Failure& failure) {
        p.logFailure(failure);
        line.fail(process::runTimeErrorDetails(failure.error));
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
  p.run([&] {
    p.step(kOpenOutputStep, [&] { process::openOutputFile(outputFileName); });
    p.step(kOpenInputStep, [&] {
      reader().CSVFile(inputFile);
      std::vector<std::string> header = reader().OpenCSV(true, true);
      headingCount = header.size();
      if (reader().isUtf8()) outputFile()->setEncoding(platform::TextEncoding::Utf8WithMark);
      header.insert(header.end(), {"Result", "Details"});
      writeOutput(header);
    });
    p.step(4, [] { setColumnRules(); });
    p.step(5, [&] { serialIndex = reader().getColumnIndex("SerialNo"); });
    p.step(6, [] {
      printLine();
      printLine("Processing data...");
    });
    while (moreLines) {
      p.step(60, [&] {
        moreLines = false;
        moreLines = !reader().EOF_();
      });
      if (!moreLines) break;
      line = LineOutcome{};
      std::vector<std::string> values;
      p.step(kReadLineStep, [&] { values = reader().ReadLine(); });
      if (!moreLines) break;
      p.step(62, [&] {
        printLine("  Processing Line: " + padRight(std::to_string(reader().CurrentLine()), 4) +
                  " SerialNo = " + valueAt(values, serialIndex));
      });
      ++total;
      if (values.size() < headingCount) {
        line.fail("Line has fewer values than the header");
      } else if (holdsNulCharacter(values)) {
        line.fail("Line holds a NUL character");
      }
      std::string action;
      if (!line.decided) p.step(64, [&] { action = process::lowerCase(reader().getValue("action")); });
      if (!line.decided) p.step(65, [&] { dispatch(action, line); });
      if (line.isError) {
        ++failures;
      } else {
        ++successes;
      }
      p.step(66, [&] {
        if (!writeOutput(values, line.isError, line.details)) ++unwrittenResults;
      });
    }
    p.step(7, [] { reader().CloseCSV(); });
    p.step(8, [] {
      printLine("Finished processing data.");
      printLine();
    });
    p.step(9, [&] {
      std::string summary = "Total nodes effected: " + std::to_string(total) + " Successful changes: " +
                            std::to_string(successes) + " Errors: " + std::to_string(failures);
      Log().log(summary, kInfo, p.tag());
      printLine(summary);
      printLine();
    });
    p.step(10, [&] {
      if (failures == 0 && unwrittenResults == 0) return;
      RunOutcome::noteFailure();
      printLine("****************ERRORS ENCOUNTERED*****************");
      if (unwrittenResults > 0) {
        printLine("ERROR: " + std::to_string(unwrittenResults) +
                  " result lines could not be written to the output file; the log file holds them.");
      }
      printLine("Check the output file for more detailed error information: " +
                platform::absolutePathName(outputFileName));
    });
    p.traceExit(11);
  });
}

}  // namespace tarnwick
