// Input of the reliability tests: node requests under the 19 column
// headings, written as a user's CSV file is, and the result lines they get.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace tarnwick::reliability {

// The 19 headings in the order the export writes them.
const std::vector<std::string>& columnNames();

// One input line. Cells that the request does not set stay empty.
struct NodeLine {
  std::string nodeType, action, serial, name, serverName, smtpSuffix, codec, phone, extension, dialSequence;
  // Begin time, end time and interval of the normal, urgent and administration windows.
  std::array<std::string, 9> windows;

  // The 19 cells in heading order.
  std::vector<std::string> values() const;
};

// A complete Octel or Veltro request that every rule accepts.
NodeLine octelLine(const std::string& action, const std::string& serial, const std::string& name);
NodeLine veltroLine(const std::string& action, const std::string& serial, const std::string& name);

// `count` adds of new nodes, Octel and Veltro in turn, serial numbers 1 to count.
std::vector<NodeLine> mixedAdds(int count);

// "v1","v2",... as the program itself quotes fields.
std::string quotedLine(const std::vector<std::string>& values);

// The headings and `lines`, each line ended by CR LF.
std::string inputText(const std::vector<NodeLine>& lines);

// The result line the import writes for `values`.
std::string resultLine(const std::vector<std::string>& values, const std::string& outcome,
                       const std::string& details = "");

}  // namespace tarnwick::reliability
