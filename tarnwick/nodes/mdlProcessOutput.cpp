// mdlProcess: the run's output file, its opening, and the line writer that
// writes the result file and the export file.
#include "logging/RunOutcome.h"
#include "logging/classLog.h"
#include "mdlProcess.h"
#include "mdlProcessParts.h"

namespace tarnwick {

using process::kUnit;

namespace {
const char* const kCannotOpenAdvice =
    "       Close any applications that may be using this file and try again or use a different filename.";
}  // namespace

std::string process::failureDetails(const platform::Error& error) {
  if (error.number() == platform::err::kSubscriptOutOfRange) return error.description();
  return "Run-time error " + std::to_string(error.number()) + ": " + error.description();
}

std::string process::descriptionLine(const platform::Error& error) { return "       " + error.description(); }

void process::endWithoutJob(ProgramObjects& objects, const std::string& problem, const std::string& advice) {
  printLine(objects.console, problem);
  if (!advice.empty()) printLine(objects.console, advice);
  platform::env()->exitProcess(RunOutcome::kNoJobRan);
}

void process::openOutputFile(ProgramObjects& objects, const std::string& fileName) {
  objects.outputFile = platform::env()->openExclusiveTextFile(fileName, platform::TextEncoding::Cp1252);
}

platform::ReplacementFile* process::openExportFile(ProgramObjects& objects, const std::string& fileName,
                                                   platform::TextEncoding encoding) {
  auto file = platform::env()->openReplacementFile(fileName, encoding);
  platform::ReplacementFile* exportFile = file.get();
  objects.outputFile = std::move(file);
  return exportFile;
}

// A file another program holds, or that we may not write, comes with
// advice; one that another run writes is named so; any other failure comes
// with its description.
void process::endIfOutputCannotOpen(ProgramObjects& objects, const Procedure::Failure& failure,
                                    const std::string& fileName) {
  if (failure.line != kOpenOutputStep) return;
  if (failure.error.number() == platform::err::kFileAlreadyOpen) {
    endWithoutJob(objects, "ERROR: " + fileName + " is being written by another run.");
  }
  bool denied = failure.error.number() == platform::err::kPermissionDenied;
  endWithoutJob(objects, "ERROR: Cannot open " + fileName + " for writing.",
                denied ? kCannotOpenAdvice : descriptionLine(failure.error));
}

bool writeOutput(ProgramObjects& objects, const std::vector<std::string>& values, std::optional<bool> isError,
                 const std::optional<std::string>& details) {
  Procedure p(kUnit, "writeOutput", Procedure::Tracing::Off);
  bool written = false;
  p.run([&] {
    std::string line;
    p.step(1, [&] {
      size_t length = details ? details->size() + 16 : 16;  // the quotes and commas, the outcome
      for (const auto& value : values) length += value.size() + 3;
      line.reserve(length);
      for (const auto& value : values) line.append("\"").append(value).append("\",");
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
      if (!objects.outputFile) platform::raise(platform::err::kObjectNotSet);
      objects.outputFile->writeLine(line);
      written = true;
    });
    p.step(6, [&] { Log().log(line, kVerInfo, p.tag()); });
  });
  return written;
}

}  // namespace tarnwick
