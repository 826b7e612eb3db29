// mdlProcess: the add, change and delete of one node, with its delivery windows.
#include "NodeTables.h"
#include "ProgramObjects.h"
#include "frontend/StdOutput.h"
#include "logging/classLog.h"
#include "mdlProcess.h"
#include "mdlProcessParts.h"

namespace tarnwick {

using platform::db::LockType;
using platform::db::Recordset;
using process::kUnit;
using process::lineValue;
using Then = Procedure::Then;
using Failure = Procedure::Failure;

namespace {

// The input columns of one delivery window, by the names the reader is asked.
struct WindowColumns {
  int16_t messageType;
  const char* begin;
  const char* end;
  const char* interval;
};

const WindowColumns kWindows[] = {
    {NodeTables::kNormal, "normalbegintime", "normalendtime", "normalinterval"},
    {NodeTables::kUrgent, "urgentbegintime", "urgentendtime", "urgentinterval"},
    {NodeTables::kAdministration, "administrationbegintime", "administrationendtime", "administrationinterval"},
};

std::string& operationDetails() {
  static std::string details;
  return details;
}

void rollBackOpenTransaction() {
  if (connection().inTransaction()) connection().rollbackTrans();
}

// A node operation keeps a line whole: a value that fails its rule ends it
// with 5, any other failure with 6, and either way nothing of the line stays.
// What it prints reaches the console only when it is over, so a console
// that is not read never keeps its transaction open.
class NodeOperation {
 public:
  NodeOperation(const char* name, int exitLine) : p_(kUnit, name), exitLine_(exitLine) {
    operationDetails().clear();
    p_.onError(
        quillet::CSVMAN_ERROR_VALIDATIONFAILED,
        [this](const Failure&) {
          refuseValue(platform::toText(reader().LastInvalidValue()), platform::toText(reader().LastInvalidColumn()));
          return Then::LeaveCall;
        },
        false);
    p_.onOtherErrors([this](const Failure& failure) {
      p_.logFailure(failure);
      finish(kStoppedByFailure, process::failureDetails(failure.error));
      return Then::LeaveCall;
    });
  }

  Procedure& procedure() { return p_; }

  int32_t run(const std::function<void()>& body) { return p_.run(body) ? result_ : kStoppedByFailure; }

  // Ends the operation with `result` after undoing its open transaction.
  void finish(int32_t result, const std::string& details = "") {
    rollBackOpenTransaction();
    result_ = result;
    operationDetails() = details;
    p_.traceExit(exitLine_);
  }

  [[noreturn]] void finishNow(int32_t result, const std::string& details = "") {
    finish(result, details);
    p_.leave();
  }

  // The line's serial number and the console line that names it. An add
  // needs one: it refuses an empty serial number like an invalid value.
  std::string readSerial(const std::string& consoleLabel, bool required) {
    std::string serial;
    p_.step(2, [&] {
      serial = lineValue("serialno");
      if (required && serial.empty()) refuseValue(serial, "serialno");
    });
    p_.step(3, [&] { printLine(consoleLabel + serial); });
    return serial;
  }

  // Ends the operation with `result`, telling why in the log (Info) and on
  // the console.
  [[noreturn]] void finishWithNotice(int32_t result, const std::string& text) {
    Log().log(text, kInfo, p_.tag());
    printLine("      " + text);
    finishNow(result);
  }

  [[noreturn]] void refuseValue(const std::string& value, const std::string& column) {
    std::string text = process::validationFailureText(value, column);
    Log().log(text, kError, p_.tag());
    printLine("      " + text);
    finishNow(kValueFailedValidation, "Invalid value in column: " + column);
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
      finishNow(kInvalidCodec, "Invalid Codec = " + codec);
    }
  }

  void commit() {
    connection().commitTrans();
    result_ = kDone;
  }

 private:
  ConsoleHold console_;  // first in, last out: released once the operation is over
  Procedure p_;
  int exitLine_;
  int32_t result_ = kDone;
};

std::string dialSequenceOrDefault() {
  std::string sequence = lineValue("dialsequence");
  return sequence.empty() ? "N" : sequence;
}

// A new row of the node's kind table (OctelNode or VPIMNode), keyed by the
// line's serial number; its other fields follow.
void addKindRow(Recordset& rs, const std::string& table) {
  NodeTables::openForAdding(rs, table, LockType::Optimistic);
  rs.addNew();
  rs.setField("SerialNo", lineValue("serialno"));
}

// The Octel row's values of the current line (a new or a stored row).
void setOctelFields(Recordset& rs) {
  rs.setField("PhoneNo", lineValue("phoneno"));
  rs.setField("Ext", lineValue("extension"));
  rs.setField("DialingSequence", dialSequenceOrDefault());
  rs.update();
  rs.close();
}

// The Veltro row's values of the current line (a new or a stored row).
void setVeltroFields(Recordset& rs) {
  rs.setField("DomainName", lineValue("veltroservername"));
  rs.setField("ProxyDomain", lineValue("veltrosmtpsuffix"));
  rs.update();
  rs.close();
}

void setWindowTimes(Recordset& rs, const WindowColumns& window) {
  rs.setField("BeginTime", formatWindowTime(lineValue(window.begin), true));
  rs.setField("EndTime", formatWindowTime(lineValue(window.end), false));
  std::string interval = lineValue(window.interval);
  if (!interval.empty()) rs.setField("Interval", interval);
}

// Three new window rows, written with one batch update.
void addWindows() {
  Recordset rs;
  NodeTables::openForAdding(rs, "DeliveryWindow", LockType::BatchOptimistic);
  for (const auto& window : kWindows) {
    rs.addNew();
    rs.setField("WindowID", window.messageType);
    rs.setField("MessageType", window.messageType);
    rs.setField("SerialNo", lineValue("serialno"));
    setWindowTimes(rs, window);
  }
  rs.updateBatch();
  rs.close();
}

// The node's three window rows, found by message type; a missing row fails.
void changeWindows(const std::string& serial) {
  Recordset rs;
  NodeTables::openBySerial(rs, "DeliveryWindow", serial, LockType::BatchOptimistic);
  for (const auto& window : kWindows) {
    if (window.messageType != NodeTables::kNormal) rs.moveFirst();
    rs.find("MessageType = " + std::to_string(window.messageType));
    setWindowTimes(rs, window);
  }
  rs.updateBatch();
  rs.close();
}

}  // namespace

const std::string& process::lastOperationDetails() { return operationDetails(); }

std::string formatWindowTime(const std::string& text, bool isBegin) {
  std::string result = text.empty() ? (isBegin ? "12:00AM" : "11:59PM") : text;
  if (result.front() == '0') result.erase(0, 1);
  return result;
}

int32_t addNode() {
  NodeOperation op("addNode", 13);
  Procedure& p = op.procedure();
  return op.run([&] {
    std::string serial = op.readSerial("    Adding Node #", true);
    bool octel = false;
    Recordset rs;
    // The check runs inside the add's transaction, so a node added by
    // another run in between cannot slip past it.
    p.step(4, [&] {
      connection().beginTrans();
      NodeTables::openNode(rs, serial, LockType::ReadOnly);
      if (rs.recordCount() == 0) return;
      op.finishWithNotice(kSerialExists, "Error adding node #" + serial +
                                             " - Node with that serial number already exists in Node Table");
    });
    p.step(5, [&] { rs.close(); });
    p.step(6, [&] {
      NodeTables::openForAdding(rs, "Node", LockType::Optimistic);
      rs.addNew();
      rs.setField("SerialNo", lineValue("serialno"));
      rs.setField("Name", lineValue("name"));
    });
    p.step(7, [&] {
      std::string nodeType = lineValue("nodetype");
      std::string lower = process::lowerCase(nodeType);
      octel = lower == "o";
      if (octel || lower == "v") {
        rs.setField("ServerType", int16_t{octel ? NodeTables::kOctel : NodeTables::kVeltro});
        return;
      }
      Log().log("Invalid NodeType = " + nodeType, kWarning, p.tag());
      op.finishNow(kInvalidNodeType, "Invalid NodeType = " + nodeType);
    });
    if (!octel) p.step(8, [&] { op.setCodec(rs, lineValue("codec")); });
    p.step(9, [&] {
      rs.update();
      rs.close();
    });
    if (octel) {
      p.step(10, [&] {
        addKindRow(rs, "OctelNode");
        setOctelFields(rs);
      });
      p.step(11, [] { addWindows(); });
    } else {
      p.step(11, [&] {
        addKindRow(rs, "VPIMNode");
        setVeltroFields(rs);
      });
    }
    p.step(12, [&] { op.commit(); });
    p.traceExit(13);
  });
}

int32_t changeNode() {
  NodeOperation op("changeNode", 12);
  Procedure& p = op.procedure();
  return op.run([&] {
    std::string serial = op.readSerial("    Changing Node #", false);
    bool octel = false;
    Recordset rs;
    p.step(4, [&] {
      connection().beginTrans();
      NodeTables::openNode(rs, serial, LockType::Optimistic);
      if (rs.recordCount() > 0) return;
      op.finishWithNotice(kSerialNotFound, "Error changing node #" + serial +
                                               " - Node with this serial number not found in Node Table");
    });
    p.step(6, [&] { octel = platform::toText(rs.field("ServerType")) == std::to_string(NodeTables::kOctel); });
    p.step(7, [&] { rs.setField("Name", lineValue("name")); });
    if (!octel) p.step(8, [&] { op.setCodec(rs, lineValue("codec")); });
    p.step(9, [&] {
      rs.update();
      rs.close();
    });
    if (octel) {
      p.step(10, [&] {
        NodeTables::openBySerial(rs, "OctelNode", serial, LockType::Optimistic);
        setOctelFields(rs);
        changeWindows(serial);
      });
    } else {
      p.step(11, [&] {
        NodeTables::openBySerial(rs, "VPIMNode", serial, LockType::Optimistic);
        setVeltroFields(rs);
      });
    }
    p.step(12, [&] { op.commit(); });
    p.traceExit(12);
  });
}

int32_t deleteNode() {
  NodeOperation op("deleteNode", 11);
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
      NodeTables::openNodeToDelete(rs, serial);
      if (rs.recordCount() == 1) return;
      op.finishWithNotice(kSerialNotFound, "Error deleting node #" + serial + " - Node not found in Node Table");
    });
    p.step(6, [&] {
      Log().log("Deleting Node: " + platform::toText(rs.field("Name")) + " - #" + serial, kInfo, p.tag());
    });
    p.step(7, [&] { Log().dumpRecordsets(&rs, p.tag()); });
    p.step(8, [&] { rs.close(); });
    p.step(9, [&] {
      connection().beginTrans();
      NodeTables::deleteNodeRows(rs, serial);
      op.commit();
    });
    p.traceExit(11);
  });
}

}  // namespace tarnwick
