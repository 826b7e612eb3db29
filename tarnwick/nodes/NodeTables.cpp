#include "NodeTables.h"

namespace tarnwick {

using platform::db::CursorType;
using platform::db::LockType;

namespace {

const char* const kSerialIs = " WHERE SerialNo = ?";

// The node's window of each message type, joined by node and type, and
// its three values named like their input columns (NormalBeginTime ...).
struct JoinedWindows {
  std::string columns, joins;
};

JoinedWindows joinedWindows(const platform::db::Connection& connection) {
  const struct {
    NodeTables::MessageType type;
    const char* prefix;
  } windows[] = {{NodeTables::kNormal, "Normal"},
                 {NodeTables::kUrgent, "Urgent"},
                 {NodeTables::kAdministration, "Administration"}};
  JoinedWindows joined;
  for (const auto& window : windows) {
    std::string alias = "w" + std::to_string(window.type);
    for (const char* column : {"BeginTime", "EndTime", "Interval"}) {
      joined.columns += ", " + alias + "." + connection.quotedName(column) + " AS " + window.prefix + column;
    }
    joined.joins += " LEFT JOIN DeliveryWindow " + alias + " ON " + alias + ".SerialNo = Node.SerialNo AND " + alias +
                    ".MessageType = " + std::to_string(window.type);
  }
  return joined;
}

}  // namespace

void NodeTables::openNode(Recordset& rs, const std::string& serial, LockType lock) const {
  rs.open(std::string("SELECT * FROM Node") + kSerialIs, connection(), CursorType::Static, lock, {serial});
}

void NodeTables::openNodeToDelete(Recordset& rs, const std::string& serial) const {
  rs.open(std::string("Select * FROM Node") + kSerialIs, connection(), CursorType::Static, LockType::ReadOnly,
          {serial});
}

void NodeTables::openForAdding(Recordset& rs, const std::string& table, LockType lock) const {
  rs.open("SELECT * FROM " + table, connection(), CursorType::Static, lock);
}

void NodeTables::openBySerial(Recordset& rs, const std::string& table, const std::string& serial, LockType lock) const {
  rs.open("SELECT * FROM " + table + kSerialIs, connection(), CursorType::Static, lock, {serial});
}

void NodeTables::deleteNodeRows(Recordset& rs, const std::string& serial) const {
  for (const char* table : {"DeliveryWindow", "OctelNode", "VPIMNode", "Directory", "Node"}) {
    rs.open(std::string("DELETE * FROM ") + table + kSerialIs, connection(), CursorType::Static,
            LockType::BatchOptimistic, {serial});
  }
}

void NodeTables::openOctelNodes(Recordset& rs) const {
  JoinedWindows windows = joinedWindows(connection());
  rs.open(
      "SELECT Node.ServerType, Node.SerialNo, Node.Name, OctelNode.PhoneNo, OctelNode.Ext, "
      "OctelNode.DialingSequence" +
          windows.columns + " FROM Node INNER JOIN OctelNode ON Node.SerialNo = OctelNode.SerialNo" + windows.joins +
          " WHERE Node.ServerType = 1",
      connection(), CursorType::ForwardOnly, LockType::ReadOnly);
}

void NodeTables::openVeltroNodes(Recordset& rs) const {
  rs.open(
      "SELECT Node.ServerType, Node.SerialNo, Node.Name, VPIMNode.DomainName, VPIMNode.ProxyDomain, "
      "Node.DefaultCodec FROM Node INNER JOIN VPIMNode ON Node.SerialNo = VPIMNode.SerialNo "
      "WHERE Node.ServerType = 2",
      connection(), CursorType::ForwardOnly, LockType::ReadOnly);
}

}  // namespace tarnwick
