#include "StoredNodes.h"

namespace tarnwick::reliability {

std::vector<std::string> resultLines(const std::string& path) {
  std::string text = e2e::readBytes(path);
  size_t end = text.rfind("\r\n");
  auto lines = e2e::crlfLines(text.substr(0, end == std::string::npos ? 0 : end + 2));
  if (!lines.empty()) lines.erase(lines.begin());
  return lines;
}

std::map<std::string, std::string> storedNodes(e2e::NodeDatabase& db) {
  std::map<std::string, std::string> nodes;
  for (const auto& row : db.rows("SELECT Node.SerialNo, Name, DomainName, ProxyDomain FROM Node "
                                 "LEFT JOIN VPIMNode ON Node.SerialNo = VPIMNode.SerialNo")) {
    nodes[row[0]] = row[1] + "|" + row[2] + "|" + row[3];
  }
  return nodes;
}

std::string storedAs(const NodeLine& line) {
  return line.name + "|" + (line.nodeType == "V" ? line.serverName + "|" + line.smtpSuffix : "|");
}

namespace {

// How many rows of `table` (with `condition`) belong to the node n.
std::string rowsOf(const std::string& table, const std::string& condition = "") {
  return "(SELECT COUNT(*) FROM " + table + " k WHERE k.SerialNo = n.SerialNo" + condition + ")";
}

// `octel` for an Octel node n, `veltro` for a Veltro one.
std::string byKind(int octel, int veltro) {
  return "(CASE WHEN n.ServerType = 1 THEN " + std::to_string(octel) + " ELSE " + std::to_string(veltro) + " END)";
}

std::string withoutNode(const std::string& table) {
  return " UNION ALL SELECT SerialNo FROM " + table + " WHERE SerialNo NOT IN (SELECT SerialNo FROM Node)";
}

}  // namespace

std::vector<e2e::Row> brokenNodes(e2e::NodeDatabase& db) {
  std::string notWhole = "n.ServerType NOT IN (1, 2) OR " + rowsOf("OctelNode") + " <> " + byKind(1, 0) + " OR " +
                         rowsOf("VPIMNode") + " <> " + byKind(0, 1) + " OR " + rowsOf("DeliveryWindow") + " <> " +
                         byKind(3, 0);
  for (const char* type : {"0", "1", "2"}) {
    notWhole += " OR " + rowsOf("DeliveryWindow", std::string(" AND MessageType = ") + type) + " <> " + byKind(1, 0);
  }
  return db.rows("SELECT n.SerialNo FROM Node n WHERE " + notWhole + withoutNode("OctelNode") +
                 withoutNode("VPIMNode") + withoutNode("DeliveryWindow"));
}

}  // namespace tarnwick::reliability
