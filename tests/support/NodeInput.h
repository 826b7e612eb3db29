// Node requests as a user's CSV file holds them, the result lines the import writes, and the node tables.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "platform/db/Connection.h"

namespace tarnwick::e2e {

using platform::test::crlfLines;
using platform::test::holds;
using platform::test::Lines;
using Row = std::vector<std::string>;
using Cells = std::map<std::string, std::string>;

// The 19 column headings of the import and export files, in order.
extern const Lines kColumns;

// A request every rule accepts, the cells in `changed` replaced: an Octel node North (5551234, extension 22, 9P,
// windows 08:30-5:00 pm/15, 7:00AM-23:00/5 and empty/240) or a Veltro node South (vmsrv1, maildomain, G711).
Lines octel(const std::string& action, const std::string& serial, const Cells& changed = {});
Lines veltro(const std::string& action, const std::string& serial, const Cells& changed = {});
// `count` adds, Octel and Veltro by turns, serial numbers 1 to count, named O1, V2, O3...
std::vector<Lines> mixedAdds(int count);
const std::string& cell(const Lines& line, const std::string& column);

// "v1","v2",... as the program itself quotes fields.
std::string quotedLine(const Lines& values);
// The heading line and `lines`, each ended by CR LF.
std::string inputText(const std::vector<Lines>& lines);
std::string resultLine(Lines values, const std::string& outcome, const std::string& details = "");
// The import's summary line, CR LF included, for `lines` read of which `errors` failed.
std::string importSummary(size_t lines, size_t errors);

// The rows `sql` selects, every value as text.
std::vector<Row> rowsOf(platform::db::Connection& connection, const std::string& sql);
// Stores an Octel node (N, three windows 12:00AM-11:59PM/30 unless told otherwise) or a Veltro node.
void addOctel(platform::db::Connection& connection, const std::string& serial, const std::string& name,
              bool withWindows = true);
void addVeltro(platform::db::Connection& connection, const std::string& serial, const std::string& name,
               int codec = 307);
// Every stored node by serial number, all its rows in one text: "Name|ServerType|DefaultCodec|PhoneNo|Ext|
// DialingSequence|DomainName|ProxyDomain" and per window "|WindowID MessageType BeginTime-EndTime Interval".
std::map<std::string, std::string> storedNodes(platform::db::Connection& connection);
// Serial numbers of nodes not whole (Octel: an OctelNode row and windows of types 0, 1, 2; Veltro: a VPIMNode row) and
// of rows without their Node row.
std::vector<Row> brokenNodes(platform::db::Connection& connection);

}  // namespace tarnwick::e2e
