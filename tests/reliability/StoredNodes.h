// What an import left behind: the data lines of its result file and the
// nodes in the tables, with every node that is not whole.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "NodeInput.h"
#include "e2e/ProgramRun.h"

namespace tarnwick::reliability {

// The data lines of the result file at `path`; a last line cut off before
// its CR LF is left out.
std::vector<std::string> resultLines(const std::string& path);

// "Name|DomainName|ProxyDomain" of every stored node by serial number.
std::map<std::string, std::string> storedNodes(e2e::NodeDatabase& db);

// What storedNodes() shows for the node a successful add or change of `line` leaves.
std::string storedAs(const NodeLine& line);

// Serial numbers of nodes that are not whole (an Octel node has one OctelNode
// row and windows of types 0, 1 and 2; a Veltro node one VPIMNode row only)
// and of kind or window rows without their Node row.
std::vector<e2e::Row> brokenNodes(e2e::NodeDatabase& db);

}  // namespace tarnwick::reliability
