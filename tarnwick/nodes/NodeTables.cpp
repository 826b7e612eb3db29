#include "NodeTables.h"

#include "ProgramObjects.h"

namespace tarnwick::NodeTables {

using platform::db::CursorType;
using platform::db::LockType;

namespace {
std::string serialIs(const std::string& serial) {
  return " WHERE SerialNo = '" + platform::db::quoteLiteral(serial) + "'";
}
}  // namespace

void openNode(Recordset& rs, const std::string& serial, LockType lock) {
  rs.open("SELECT * FROM Node" + serialIs(serial), connection(), CursorType::Static, lock);
}

void openNodeToDelete(Recordset& rs, const std::string& serial) {
  rs.open("Select * FROM Node" + serialIs(serial), connection(), CursorType::Static, LockType::ReadOnly);
}

void openForAdding(Recordset& rs, const std::string& table, LockType lock) {
  rs.open("SELECT * FROM " + table, connection(), CursorType::Static, lock);
}

void openBySerial(Recordset& rs, const std::string& table, const std::string& serial, LockType lock) {
  rs.open("SELECT * FROM " + table + serialIs(serial), connection(), CursorType::Static, lock);
}

void deleteNodeRows(Recordset& rs, const std::string& serial) {
  for (const char* table : {"DeliveryWindow", "OctelNode", "VPIMNode", "Directory", "Node"}) {
    rs.open(std::string("DELETE * FROM ") + table + serialIs(serial), connection(), CursorType::Static,
            LockType::BatchOptimistic);
  }
}

void openOctelNodes(Recordset& rs) {
  rs.open(
      "SELECT Node.ServerType, Node.SerialNo, Node.Name, OctelNode.PhoneNo, OctelNode.Ext, "
      "OctelNode.DialingSequence FROM Node INNER JOIN OctelNode ON Node.SerialNo = OctelNode.SerialNo "
      "WHERE Node.ServerType = 1",
      connection(), CursorType::Static, LockType::ReadOnly);
}

void openVeltroNodes(Recordset& rs) {
  rs.open(
      "SELECT Node.ServerType, Node.SerialNo, Node.Name, VPIMNode.DomainName, VPIMNode.ProxyDomain, "
      "Node.DefaultCodec FROM Node INNER JOIN VPIMNode ON Node.SerialNo = VPIMNode.SerialNo "
      "WHERE Node.ServerType = 2",
      connection(), CursorType::Static, LockType::ReadOnly);
}

void openWindowValue(Recordset& rs, int16_t messageType, const std::string& column, const std::string& serial) {
  rs.open("SELECT " + column + " FROM DeliveryWindow WHERE MessageType = ? AND SerialNo = ?", connection(),
          CursorType::ForwardOnly, LockType::ReadOnly, {messageType, serial});
}

}  // namespace tarnwick::NodeTables
