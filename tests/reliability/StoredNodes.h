// The node tables read back as whole nodes, with every way in which a stored
// node is not whole (a missing or extra kind row, windows other than one of
// each message type, rows whose Node row is missing).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "e2e/ProgramRun.h"

namespace tarnwick::reliability {

// What the tables hold of one node.
struct StoredNode {
  std::string serverType;
  std::string name;
  std::string detail;  // Octel: phone and the three intervals; Veltro: proxy domain and codec
  bool operator==(const StoredNode&) const = default;
};
using Directory = std::map<std::string, StoredNode>;

struct Tables {
  Directory nodes;                   // the whole nodes by serial number
  std::vector<std::string> defects;  // one text per node or row that is not whole
};

Tables readTables(e2e::NodeDatabase& db);

}  // namespace tarnwick::reliability
