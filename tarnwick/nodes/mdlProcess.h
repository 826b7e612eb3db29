// mdlProcess: the import and the export of nodes, the result file writer,
// the input columns and their rules, and the delivery windows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

// What addNode, changeNode and deleteNode return.
enum NodeResult : int32_t {
  kDone = 0,
  kSerialNotFound = 1,
  kSerialExists = 2,
  kInvalidNodeType = 3,
  kInvalidCodec = 4,
  kValueFailedValidation = 5,
  kStoppedByFailure = 6,
};

// The 19 input columns in their canonical order (the export's header).
std::vector<std::string> getColumnNames();

// Sets every input column's pattern on the reader.
void setColumnRules();

// Writes one line of the run's output file: every value in double quotes,
// then "Error" or "Successful" when `isError` is given, then `details` when
// given. Returns false when the line did not reach the file.
bool writeOutput(const std::vector<std::string>& values, std::optional<bool> isError = std::nullopt,
                 const std::optional<std::string>& details = std::nullopt);

// A window time as stored: empty begins at "12:00AM" and ends at "11:59PM";
// one leading "0" is dropped.
std::string formatWindowTime(const std::string& text, bool isBegin);

// Writes every node to `fileName` in the import's column layout.
void exportData(const std::string& fileName);

// Applies every line of `inputFile` and writes the results to `outputFile`.
void importData(const std::string& inputFile, const std::string& outputFile);

// The operations of one input line; each reads its values from the reader.
int32_t addNode();
int32_t changeNode();
int32_t deleteNode();

}  // namespace tarnwick
