// mdlProcess: the import and the export of nodes, the result file writer,
// the input columns and their rules, and the delivery windows. Every
// procedure works with the ProgramObjects that the entry sequence hands it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ProgramObjects.h"

namespace tarnwick {

// The result code of addNode, changeNode and deleteNode.
enum NodeResult : int32_t {
  kDone = 0,
  kSerialNotFound = 1,
  kSerialExists = 2,
  kInvalidNodeType = 3,
  kInvalidCodec = 4,
  kValueFailedValidation = 5,
  kStoppedByFailure = 6,
};

// What a node operation did with its line: the result code, and the details
// its result line carries (empty after success).
struct NodeOutcome {
  int32_t code = kDone;
  std::string details;
};

// What the command line asks of a job beyond its files.
struct JobOptions {
  bool dryRun = false;      // the import checks and reports every line as usual and stores nothing
  bool quiet = false;       // the console shows failed lines only, not every line or node
  bool utf8Export = false;  // the export is written as UTF-8 with the byte-order mark
};

// The 19 input columns in their canonical order (the export's header).
std::vector<std::string> getColumnNames();

// Sets every input column's pattern on `reader`.
void setColumnRules(quillet::IucQuillet& reader);

// Writes one line of the run's output file: every value in double quotes,
// then "Error" or "Successful" when `isError` is given, then `details` when
// given. Returns false when the line did not reach the file.
bool writeOutput(ProgramObjects& objects, const std::vector<std::string>& values,
                 std::optional<bool> isError = std::nullopt, const std::optional<std::string>& details = std::nullopt);

// A window time as stored: empty begins at "12:00AM" and ends at "11:59PM";
// one leading "0" is dropped.
std::string formatWindowTime(const std::string& text, bool isBegin);

// Writes every node to `fileName` in the import's column layout.
void exportData(ProgramObjects& objects, const std::string& fileName, const JobOptions& job = {});

// Applies every line of `inputFile` and writes the results to `outputFile`,
// in the input's encoding. Returns false when a line failed or its result
// line could not be written.
bool importData(ProgramObjects& objects, const std::string& inputFile, const std::string& outputFile,
                const JobOptions& job = {});

// The operations of one input line; each reads its values from the reader.
NodeOutcome addNode(ProgramObjects& objects);
NodeOutcome changeNode(ProgramObjects& objects);
NodeOutcome deleteNode(ProgramObjects& objects);

}  // namespace tarnwick
