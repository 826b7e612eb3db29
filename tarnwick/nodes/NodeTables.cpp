#include "NodeTables.h"

#include "ProgramObjects.h"

namespace tarnwick::NodeTables {

using platform::db::CursorType;
using platform::db::LockType;

namespace {

const char* const kSerialIs = " WHERE SerialNo = ?";

// One stored window value of the node on the current row: what reading
// "SELECT <column> FROM DeliveryWindow WHERE MessageType = <type> AND
// SerialNo = <serial>" node by node gives, in the same statement.
std::string windowValue(int16_t messageType, const char* column, const char* name) {
  return std::string(", (SELECT ") + column + " FROM DeliveryWindow WHERE MessageType = " +
         std::to_string(messageType) + " AND SerialNo = Node.SerialNo LIMIT 1) AS " + name;
}

std::string windowValues() {
  const struct {
    MessageType type;
    const char* prefix;
  } windows[] = {{kNormal, "Normal"}, {kUrgent, "Urgent"}, {kAdministration, "Administration"}};
  std::string columns;
  for (const auto& window : windows) {
    for (const char* column : {"BeginTime", "EndTime", "Interval"}) {
      columns += windowValue(window.type, column, (std::string(window.prefix) + column).c_str());
    }
  }
  return columns;
}

}  // namespace

void openNode(Recordset& rs, const std::string& serial, LockType lock) {
  rs.open(std::string("SELECT * FROM Node") + kSerialIs, connection(), CursorType::Static, lock, {serial});
}

void openNodeToDelete(Recordset& rs, const std::string& serial) {
  rs.open(std::string("Select * FROM Node") + kSerialIs, connection(), CursorType::Static, LockType::ReadOnly,
          {serial});
}

void openForAdding(Recordset& rs, const std::string& table, LockType lock) {
  rs.open("SELECT * FROM " + table, connection(), CursorType::Static, lock);
}

void openBySerial(Recordset& rs, const std::string& table, const std::string& serial, LockType lock) {
  rs.open("SELECT * FROM " + table + kSerialIs, connection(), CursorType::Static, lock, {serial});
}

void deleteNodeRows(Recordset& rs, const std::string& serial) {
  for (const char* table : {"DeliveryWindow", "OctelNode", "VPIMNode", "Directory", "Node"}) {
    rs.open(std::string("DELETE * FROM ") + table + kSerialIs, connection(), CursorType::Static,
            LockType::BatchOptimistic, {serial});
  }
}

void openOctelNodes(Recordset& rs) {
  rs.open(
      "SELECT Node.ServerType, Node.SerialNo, Node.Name, OctelNode.PhoneNo, OctelNode.Ext, "
      "OctelNode.DialingSequence" +
          windowValues() +
          " FROM Node INNER JOIN OctelNode ON Node.SerialNo = OctelNode.SerialNo WHERE Node.ServerType = 1",
      connection(), CursorType::ForwardOnly, LockType::ReadOnly);
}

void openVeltroNodes(Recordset& rs) {
  rs.open(
      "SELECT Node.ServerType, Node.SerialNo, Node.Name, VPIMNode.DomainName, VPIMNode.ProxyDomain, "
      "Node.DefaultCodec FROM Node INNER JOIN VPIMNode ON Node.SerialNo = VPIMNode.SerialNo "
      "WHERE Node.ServerType = 2",
      connection(), CursorType::ForwardOnly, LockType::ReadOnly);
}

}  // namespace tarnwick::NodeTables
