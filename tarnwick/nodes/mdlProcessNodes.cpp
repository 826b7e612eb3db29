// mdlProcess: the add, change and delete of one node, each a NodeOperation
// on the reader's current line.
#include <functional>

#include "logging/classLog.h"
#include "mdlProcess.h"
#include "mdlProcessParts.h"

namespace tarnwick {

using platform::db::LockType;
using platform::db::Recordset;
using process::kUnit;
using Then = Procedure::Then;
using Failure = Procedure::Failure;

namespace {

const char* const kNotFound = "Node with this serial number not found in Node Table";

// A node operation keeps a line whole: a value that fails its rule ends it
// with 5, any other failure with 6, and either way nothing of the line stays.
// What it prints reaches the console only when it is over, so a console
// that is not read never keeps its transaction open.
class NodeOperation {
 public:
  NodeOperation(ProgramObjects& objects, const char* name, int exitLine)
      : objects_(objects), tables_(objects.connection), p_(kUnit, name), exitLine_(exitLine) {
    p_.onError(
        quillet::CSVMAN_ERROR_VALIDATIONFAILED,
        [this](const Failure&) {
          refuseValue(platform::toText(reader().LastInvalidValue()), platform::toText(reader().LastInvalidColumn()));
          return Then::LeaveCall;
        },
        false);
    p_.onOtherErrors([this](const Failure& failure) {
      p_.logFailure(failure);
      finish({kStoppedByFailure, process::failureDetails(failure.error)});
      return Then::LeaveCall;
    });
  }
  ~NodeOperation() {
    if (!held_.empty()) objects_.console.WriteText(held_);
  }
  NodeOperation(const NodeOperation&) = delete;
  NodeOperation& operator=(const NodeOperation&) = delete;

  Procedure& procedure() { return p_; }
  const NodeTables& tables() const { return tables_; }
  platform::db::Connection& connection() { return objects_.connection; }
  quillet::IucQuillet& reader() { return objects_.reader(); }
  std::string value(const std::string& column) { return process::lineValue(reader(), column); }

  NodeOutcome run(StatementRef body) { return p_.run(body) ? outcome_ : NodeOutcome{kStoppedByFailure, ""}; }

  // Ends the operation with `outcome` after undoing its open transaction.
  void finish(NodeOutcome outcome) {
    if (connection().inTransaction()) connection().rollbackTrans();
    outcome_ = std::move(outcome);
    p_.traceExit(exitLine_);
  }

  [[noreturn]] void finishNow(NodeOutcome outcome) {
    finish(std::move(outcome));
    p_.leave();
  }

  // The line's serial number and the console line that names it. An add
  // needs one: it refuses an empty serial number like an invalid value.
  std::string readSerial(const std::string& consoleLabel, bool required) {
    std::string serial;
    p_.step(2, [&] {
      serial = value("serialno");
      if (required && serial.empty()) refuseValue(serial, "serialno");
    });
    p_.step(3, [&] { print(consoleLabel + serial); });
    return serial;
  }

  // Ends the operation with `outcome`, telling why in the log (Info) and on
  // the console.
  [[noreturn]] void finishWithNotice(const std::string& text, NodeOutcome outcome) {
    Log().log(text, kInfo, p_.tag());
    print("      " + text);
    finishNow(std::move(outcome));
  }

  [[noreturn]] void refuseValue(const std::string& value, const std::string& column) {
    std::string text = process::validationFailureText(value, column);
    Log().log(text, kError, p_.tag());
    print("      " + text);
    finishNow({kValueFailedValidation, "Invalid value in column: " + column});
  }

  // The stored code of a codec text: G711 or G729 in either case, empty for G729.
  void setCodec(Recordset& rs, const std::string& codec) {
    std::string lower = process::lowerCase(codec);
    if (lower == "g711") {
      rs.setField("DefaultCodec", int16_t{NodeTables::kG711});
    } else if (lower == "g729" || lower.empty()) {
      rs.setField("DefaultCodec", int16_t{NodeTables::kG729});
    } else {
      Log().log("Invalid Codec = " + codec, kWarning, p_.tag());
      finishNow({kInvalidCodec, "Invalid Codec = " + codec});
    }
  }

  // A new row of the node's kind table (OctelNode or VPIMNode), keyed by the
  // line's serial number; its other fields follow.
  void addKindRow(Recordset& rs, const std::string& table) {
    tables_.openForAdding(rs, table, LockType::Optimistic);
    rs.addNew();
    rs.setField("SerialNo", value("serialno"));
  }

  // The Octel row's values of the current line (a new or a stored row).
  void setOctelFields(Recordset& rs) {
    rs.setField("PhoneNo", value("phoneno"));
    rs.setField("Ext", value("extension"));
    std::string sequence = value("dialsequence");
    rs.setField("DialingSequence", sequence.empty() ? "N" : sequence);
    rs.update();
    rs.close();
  }

  // The Veltro row's values of the current line (a new or a stored row).
  void setVeltroFields(Recordset& rs) {
    rs.setField("DomainName", value("veltroservername"));
    rs.setField("ProxyDomain", value("veltrosmtpsuffix"));
    rs.update();
    rs.close();
  }

  void commit() {
    connection().commitTrans();
    outcome_ = {};
  }

 private:
  void print(const std::string& text) { held_ += text + "\r\n"; }

  ProgramObjects& objects_;
  NodeTables tables_;
  Procedure p_;
  int exitLine_;
  NodeOutcome outcome_;
  std::string held_;  // console text, printed once the operation is over
};

}  // namespace

NodeOutcome addNode(ProgramObjects& objects) {
  NodeOperation op(objects, "addNode", 13);
  Procedure& p = op.procedure();
  return op.run([&] {
    std::string serial = op.readSerial("    Adding Node #", true);
    bool octel = false;
    Recordset rs;
    // The check runs inside the add's transaction, so a node added by
    // another run in between cannot slip past it.
    p.step(4, [&] {
      op.connection().beginTrans();
      op.tables().openNode(rs, serial, LockType::ReadOnly);
      if (rs.recordCount() == 0) return;
      op.finishWithNotice(
          "Error adding node #" + serial + " - Node with that serial number already exists in Node Table",
          {kSerialExists, "Node with this serial number already exists in Node Table"});
    });
    p.step(5, [&] { rs.close(); });
    p.step(6, [&] {
      op.tables().openForAdding(rs, "Node", LockType::Optimistic);
      rs.addNew();
      rs.setField("SerialNo", op.value("serialno"));
      rs.setField("Name", op.value("name"));
    });
    p.step(7, [&] {
      std::string nodeType = op.value("nodetype");
      std::string lower = process::lowerCase(nodeType);
      octel = lower == "o";
      if (octel || lower == "v") {
        rs.setField("ServerType", int16_t{octel ? NodeTables::kOctel : NodeTables::kVeltro});
        return;
      }
      Log().log("Invalid NodeType = " + nodeType, kWarning, p.tag());
      op.finishNow({kInvalidNodeType, "Invalid NodeType = " + nodeType});
    });
    if (!octel) p.step(8, [&] { op.setCodec(rs, op.value("codec")); });
    p.step(9, [&] {
      rs.update();
      rs.close();
    });
    if (octel) {
      p.step(10, [&] {
        op.addKindRow(rs, "OctelNode");
        op.setOctelFields(rs);
      });
      p.step(11, [&] { process::addWindows(op.tables(), op.reader()); });
    } else {
      p.step(11, [&] {
        op.addKindRow(rs, "VPIMNode");
        op.setVeltroFields(rs);
      });
    }
    p.step(12, [&] { op.commit(); });
    p.traceExit(13);
  });
}

NodeOutcome changeNode(ProgramObjects& objects) {
  NodeOperation op(objects, "changeNode", 12);
  Procedure& p = op.procedure();
  return op.run([&] {
    std::string serial = op.readSerial("    Changing Node #", false);
    bool octel = false;
    Recordset rs;
    p.step(4, [&] {
      op.connection().beginTrans();
      op.tables().openNode(rs, serial, LockType::Optimistic);
      if (rs.recordCount() > 0) return;
      op.finishWithNotice("Error changing node #" + serial + " - " + kNotFound, {kSerialNotFound, kNotFound});
    });
    p.step(6, [&] { octel = platform::toText(rs.field("ServerType")) == std::to_string(NodeTables::kOctel); });
    p.step(7, [&] { rs.setField("Name", op.value("name")); });
    if (!octel) p.step(8, [&] { op.setCodec(rs, op.value("codec")); });
    p.step(9, [&] {
      rs.update();
      rs.close();
    });
    if (octel) {
      p.step(10, [&] {
        op.tables().openBySerial(rs, "OctelNode", serial, LockType::Optimistic);
        op.setOctelFields(rs);
        process::changeWindows(op.tables(), op.reader(), serial);
      });
    } else {
      p.step(11, [&] {
        op.tables().openBySerial(rs, "VPIMNode", serial, LockType::Optimistic);
        op.setVeltroFields(rs);
      });
    }
    p.step(12, [&] { op.commit(); });
    p.traceExit(12);
  });
}

NodeOutcome deleteNode(ProgramObjects& objects) {
  NodeOperation op(objects, "deleteNode", 11);
  Procedure& p = op.procedure();
  // A serial number that fails its rule is logged like any failure and left
  // empty: the lookup then finds no node.
  p.onError(quillet::CSVMAN_ERROR_VALIDATIONFAILED, [&p](const Failure& failure) {
    p.logFailure(failure);
    return Then::NextStep;
  });
  return op.run([&] {
    std::string serial = op.readSerial("    Deleting Node #", false);
    Recordset rs;
    p.step(4, [&] {
      op.tables().openNodeToDelete(rs, serial);
      if (rs.recordCount() == 1) return;
      op.finishWithNotice("Error deleting node #" + serial + " - Node not found in Node Table",
                          {kSerialNotFound, kNotFound});
    });
    p.step(6, [&] {
      Log().log("Deleting Node: " + platform::toText(rs.field("Name")) + " - #" + serial, kInfo, p.tag());
    });
    p.step(7, [&] { Log().dumpRecordsets(&rs, p.tag()); });
    p.step(8, [&] { rs.close(); });
    p.step(9, [&] {
      op.connection().beginTrans();
      op.tables().deleteNodeRows(rs, serial);
      op.commit();
    });
    p.traceExit(11);
  });
}

}  // namespace tarnwick
