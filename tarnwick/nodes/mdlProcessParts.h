// What the files of unit mdlProcess share: the import driver
// (mdlProcess.cpp), the node operations (mdlProcessNodes.cpp) and the export
// (mdlProcessExport.cpp).
#pragma once

#include <string>

#include "logging/Procedure.h"
#include "platform/Env.h"
#include "platform/Error.h"

namespace tarnwick::process {

inline constexpr const char* kUnit = "mdlProcess";

// The statement number of opening the output file, in the import and the export.
inline constexpr int kOpenOutputStep = 2;

std::string lowerCase(std::string text);

// The value of `column` on the reader's current line. A line that ends
// before the column fails with Error 9, "Line has no value for column: "
// and the column as asked.
std::string lineValue(const std::string& column);

// The details of a line that a run-time failure ended.
std::string failureDetails(const platform::Error& error);

std::string validationFailureText(const std::string& value, const std::string& column);

// The details that the last node operation left for its result line.
const std::string& lastOperationDetails();

// Opens `fileName` as the run's output file, emptied once this run alone
// writes it: the import's result file.
void openOutputFile(const std::string& fileName);

// Opens the export's output file: the text that replaces `fileName` once the
// export is complete.
platform::ReplacementFile* openExportFile(const std::string& fileName);

// When `failure` is the output file's opening, ends the program with the
// console lines that say why; no job starts without its output file.
void endIfOutputCannotOpen(const Procedure::Failure& failure, const std::string& fileName);

}  // namespace tarnwick::process
