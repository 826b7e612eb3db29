// What the files of unit mdlProcess share: the import loop
// (mdlProcessImport.cpp), the node operations (mdlProcessNodes.cpp), the
// export (mdlProcessExport.cpp), the result writer (mdlProcessOutput.cpp),
// the input columns (mdlProcessColumns.cpp) and the delivery windows
// (mdlProcessWindows.cpp).
#pragma once

#include <string>

#include "NodeTables.h"
#include "ProgramObjects.h"
#include "logging/Procedure.h"
#include "platform/Env.h"
#include "platform/Error.h"
#include "platform/Value.h"

namespace tarnwick::process {

inline constexpr const char* kUnit = "mdlProcess";

// The statement number of opening the output file, in the import and the export.
inline constexpr int kOpenOutputStep = 2;

// The input columns.
std::string lowerCase(std::string text);

// The value of `column` on the reader's current line. A line that ends
// before the column fails with Error 9, "Line has no value for column: "
// and the column as asked.
std::string lineValue(quillet::IucQuillet& reader, const std::string& column);

// True when the input's headings name `column`.
bool hasColumn(quillet::IucQuillet& reader, const std::string& column);

std::string validationFailureText(const std::string& value, const std::string& column);

// The text of the reader's last refused value, as validationFailureText words it.
std::string lastValidationFailureText(const quillet::IucQuillet& reader);

// The output file.

// The details of a line that a run-time failure ended.
std::string failureDetails(const platform::Error& error);

// The console line under an error message that gives its description.
std::string descriptionLine(const platform::Error& error);

// Ends the program before its job touches anything, with its console lines.
void endWithoutJob(ProgramObjects& objects, const std::string& problem, const std::string& advice = "");

// Opens `fileName` as the run's output file, emptied once this run alone
// writes it: the import's result file.
void openOutputFile(ProgramObjects& objects, const std::string& fileName);

// Opens the export's output file in `encoding`: the text that replaces
// `fileName` once the export is complete.
platform::ReplacementFile* openExportFile(ProgramObjects& objects, const std::string& fileName,
                                          platform::TextEncoding encoding);

// When `failure` is the output file's opening, ends the program with the
// console lines that say why; no job starts without its output file.
void endIfOutputCannotOpen(ProgramObjects& objects, const Procedure::Failure& failure, const std::string& fileName);

// The delivery windows.

// Three new window rows of the current line's node, written with one batch update.
void addWindows(const NodeTables& tables, quillet::IucQuillet& reader);

// The node's three stored window rows, found by message type and changed to
// the current line's values; a missing row fails.
void changeWindows(const NodeTables& tables, quillet::IucQuillet& reader, const std::string& serial);

// A stored window value as the export writes it.
std::string windowCell(const platform::Value& stored);

}  // namespace tarnwick::process
