#include "StoredNodes.h"

#include <set>

namespace tarnwick::reliability {

namespace {

using e2e::Row;
using RowsBySerial = std::multimap<std::string, Row>;

RowsBySerial bySerial(const std::vector<Row>& rows) {
  RowsBySerial grouped;
  for (const auto& row : rows) grouped.emplace(row[0], row);
  return grouped;
}

std::vector<Row> rowsOf(const RowsBySerial& grouped, const std::string& serial) {
  std::vector<Row> rows;
  auto [first, last] = grouped.equal_range(serial);
  for (auto it = first; it != last; ++it) rows.push_back(it->second);
  return rows;
}

}  // namespace

Tables readTables(e2e::NodeDatabase& db) {
  RowsBySerial octelRows = bySerial(db.rows("SELECT SerialNo, PhoneNo FROM OctelNode"));
  RowsBySerial vpimRows = bySerial(db.rows("SELECT SerialNo, ProxyDomain FROM VPIMNode"));
  RowsBySerial windowRows = bySerial(
      db.rows("SELECT SerialNo, MessageType, Interval FROM DeliveryWindow ORDER BY SerialNo, MessageType"));
  Tables tables;
  std::set<std::string> serials;
  for (const auto& node : db.rows("SELECT SerialNo, Name, ServerType, DefaultCodec FROM Node")) {
    const std::string& serial = node[0];
    serials.insert(serial);
    auto octel = rowsOf(octelRows, serial);
    auto vpim = rowsOf(vpimRows, serial);
    auto windows = rowsOf(windowRows, serial);
    std::string types, intervals;
    for (const auto& window : windows) {
      types += window[1];
      intervals += (intervals.empty() ? "" : "/") + window[2];
    }
    bool isOctel = node[2] == "1";
    bool whole = isOctel ? octel.size() == 1 && vpim.empty() && types == "012"
                         : node[2] == "2" && vpim.size() == 1 && octel.empty() && windows.empty();
    if (!whole) {
      tables.defects.push_back("node " + serial + " of type " + node[2] + " has " + std::to_string(octel.size()) +
                               " OctelNode, " + std::to_string(vpim.size()) + " VPIMNode rows and windows '" + types +
                               "'");
      continue;
    }
    tables.nodes[serial] = {node[2], node[1], isOctel ? octel[0][1] + " " + intervals : vpim[0][1] + " " + node[3]};
  }
  for (const auto* rows : {&octelRows, &vpimRows, &windowRows}) {
    for (const auto& [serial, row] : *rows) {
      if (!serials.count(serial)) tables.defects.push_back("row of node " + serial + " without its Node row");
    }
  }
  return tables;
}

}  // namespace tarnwick::reliability
