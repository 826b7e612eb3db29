// Node requests under the 19 column headings as a user's CSV file holds them,
// the result lines the import writes for them, and the node tables as the
// tests fill and read them.
#pragma once

#include <array>
#include <map>
#include <string>
#include <vector>

#include "platform/db/Connection.h"

namespace tarnwick::e2e {

using Lines = std::vector<std::string>;
using Row = std::vector<std::string>;

// The 19 column headings of the import and export files, in order.
extern const Lines kColumns;

// One input line. Cells that the request does not set stay empty.
struct NodeLine {
  std::string nodeType, action, serial, name, serverName, smtpSuffix, codec, phone, extension, dialSequence;
  // Begin time, end time and interval of the normal, urgent and administration windows.
  std::array<std::string, 9> windows;

  Lines values() const;  // the 19 cells in heading order
};

// A complete Octel or Veltro request that every rule accepts.
NodeLine octelLine(const std::string& action, const std::string& serial, const std::string& name);
NodeLine veltroLine(const std::string& action, const std::string& serial, const std::string& name);

// The 19 cells of an Octel line named North or a Veltro line named South,
// with the cells named in `changed` replaced.
using Cells = std::map<std::string, std::string>;
Lines octel(const std::string& action, const std::string& serial, const Cells& changed = {});
Lines veltro(const std::string& action, const std::string& serial, const Cells& changed = {});

// `count` adds of new nodes, Octel and Veltro in turn, serial numbers 1 to count.
std::vector<NodeLine> mixedAdds(int count);

// "v1","v2",... as the program itself quotes fields.
std::string quotedLine(const Lines& values);

// The headings and `lines`, each line ended by CR LF.
std::string inputText(const std::vector<NodeLine>& lines);

// The import's summary line for `lines` read of which `errors` failed.
std::string importSummary(size_t lines, size_t errors);

inline bool holds(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The result line the import writes for `values`.
std::string resultLine(Lines values, const std::string& outcome, const std::string& details = "");

// The rows `sql` selects, every value as text.
std::vector<Row> rowsOf(platform::db::Connection& connection, const std::string& sql);

// Stores one Octel node (with its three windows, unless told otherwise) or Veltro node.
void addOctel(platform::db::Connection& connection, const std::string& serial, const std::string& name,
              bool withWindows = true);
void addVeltro(platform::db::Connection& connection, const std::string& serial, const std::string& name,
               int codec = 307);

}  // namespace tarnwick::e2e
