// NodeTables: the node database, over the run's connection, as the node
// procedures use it. The codes of its columns, and every record set the
// procedures open, each with its statement, cursor type and lock type. No
// other unit writes SQL.
#pragma once

#include <cstdint>
#include <string>

#include "platform/db/Connection.h"
#include "platform/db/Recordset.h"

namespace tarnwick {

class NodeTables {
 public:
  enum ServerType : int16_t { kOctel = 1, kVeltro = 2 };
  enum MessageType : int16_t { kNormal = 0, kUrgent = 1, kAdministration = 2 };
  enum DefaultCodec : int16_t { kG711 = 7, kG729 = 307 };

  using Recordset = platform::db::Recordset;

  explicit NodeTables(platform::db::Connection& connection) : connection_(connection) {}

  // Every statement that selects, changes or deletes by serial number compares
  // SerialNo with the serial number's text, bound as a parameter.

  // "SELECT * FROM Node WHERE SerialNo = <serial>", static.
  void openNode(Recordset& rs, const std::string& serial, platform::db::LockType lock) const;

  // The delete's own lookup of the node row, static and read-only.
  void openNodeToDelete(Recordset& rs, const std::string& serial) const;

  // "SELECT * FROM <table>", static, for adding rows (the table is not read).
  void openForAdding(Recordset& rs, const std::string& table, platform::db::LockType lock) const;

  // "SELECT * FROM <table> WHERE SerialNo = <serial>", static.
  void openBySerial(Recordset& rs, const std::string& table, const std::string& serial,
                    platform::db::LockType lock) const;

  // Runs the five deletes of a node: its windows, both kinds' rows, its
  // directory rows and last its Node row.
  void deleteNodeRows(Recordset& rs, const std::string& serial) const;

  // The Octel and the Veltro nodes with their kind's columns, in database
  // order, for one walk forward. Each Octel row also carries the node's nine
  // stored window values, named like their input columns (NormalBeginTime ...
  // AdministrationInterval): the first stored row of each window, or null
  // when the node has no such window.
  void openOctelNodes(Recordset& rs) const;
  void openVeltroNodes(Recordset& rs) const;

  // The columns of those walks by position: ServerType, SerialNo, Name, the
  // kind's three (PhoneNo, Ext, DialingSequence; DomainName, ProxyDomain,
  // DefaultCodec), then the Octel node's nine window values.
  enum NodeColumn : int { kSerialNoColumn = 1, kFirstKindColumn = 3, kFirstWindowColumn = 6 };

 private:
  platform::db::Connection& connection() const { return connection_; }

  platform::db::Connection& connection_;
};

}  // namespace tarnwick
