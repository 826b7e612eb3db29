// mdlProcess: the three delivery windows of an Octel node, from the nine
// window cells of an input line into DeliveryWindow and back to the export.
#include <cctype>

#include "mdlProcess.h"
#include "mdlProcessParts.h"

namespace tarnwick {

using platform::db::LockType;
using platform::db::Recordset;
using process::lineValue;

namespace {

// The input columns of one delivery window, by the names the reader is asked
// (made once: some are too long to be made for each line without the heap).
struct WindowColumns {
  int16_t messageType;
  std::string begin;
  std::string end;
  std::string interval;
};

const WindowColumns kWindows[] = {
    {NodeTables::kNormal, "normalbegintime", "normalendtime", "normalinterval"},
    {NodeTables::kUrgent, "urgentbegintime", "urgentendtime", "urgentinterval"},
    {NodeTables::kAdministration, "administrationbegintime", "administrationendtime", "administrationinterval"},
};

void setWindowTimes(Recordset& rs, quillet::IucQuillet& reader, const WindowColumns& window) {
  rs.setField("BeginTime", formatWindowTime(lineValue(reader, window.begin), true));
  rs.setField("EndTime", formatWindowTime(lineValue(reader, window.end), false));
  std::string interval = lineValue(reader, window.interval);
  if (!interval.empty()) rs.setField("Interval", interval);
}

}  // namespace

std::string formatWindowTime(const std::string& text, bool isBegin) {
  std::string result = text.empty() ? (isBegin ? "12:00AM" : "11:59PM") : text;
  if (result.front() == '0') result.erase(0, 1);
  return result;
}

void process::addWindows(const NodeTables& tables, quillet::IucQuillet& reader) {
  Recordset rs;
  tables.openForAdding(rs, "DeliveryWindow", LockType::BatchOptimistic);
  for (const auto& window : kWindows) {
    rs.addNew();
    rs.setField("WindowID", window.messageType);
    rs.setField("MessageType", window.messageType);
    rs.setField("SerialNo", lineValue(reader, "serialno"));
    setWindowTimes(rs, reader, window);
  }
  rs.updateBatch();
  rs.close();
}

void process::changeWindows(const NodeTables& tables, quillet::IucQuillet& reader, const std::string& serial) {
  Recordset rs;
  tables.openBySerial(rs, "DeliveryWindow", serial, LockType::BatchOptimistic);
  for (const auto& window : kWindows) {
    if (window.messageType != NodeTables::kNormal) rs.moveFirst();
    rs.find("MessageType = " + std::to_string(window.messageType));
    setWindowTimes(rs, reader, window);
  }
  rs.updateBatch();
  rs.close();
}

// A 24-hour time is stored without its leading zero ("8:30" from "08:30");
// the export writes it back with it, as the time rule asks for. No other
// stored window value (a 12-hour time, an interval) has this form.
std::string process::windowCell(const platform::Value& stored) {
  std::string text = platform::toText(stored);
  auto digit = [&](size_t i) { return std::isdigit(static_cast<unsigned char>(text[i])) != 0; };
  bool oneDigitHour = text.size() == 4 && digit(0) && text[1] == ':' && digit(2) && digit(3);
  return oneDigitHour ? "0" + text : text;
}

}  // namespace tarnwick
