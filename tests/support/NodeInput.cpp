#include "NodeInput.h"

#include <algorithm>

#include "platform/db/Recordset.h"

namespace tarnwick::e2e {

const Lines kColumns = {
    "NodeType", "Action", "SerialNo", "Name", "VeltroServerName", "VeltroSMTPSuffix", "Codec", "PhoneNo",
    "Extension", "DialSequence", "NormalBeginTime", "NormalEndTime", "NormalInterval", "UrgentBeginTime",
    "UrgentEndTime", "UrgentInterval", "AdministrationBeginTime", "AdministrationEndTime", "AdministrationInterval"};

Lines NodeLine::values() const {
  Lines cells = {nodeType, action, serial, name, serverName, smtpSuffix, codec, phone, extension, dialSequence};
  cells.insert(cells.end(), windows.begin(), windows.end());
  return cells;
}

NodeLine octelLine(const std::string& action, const std::string& serial, const std::string& name) {
  NodeLine line{"O", action, serial, name, "", "", "", "5551234", "22", "9P", {}};
  line.windows = {"08:30", "5:00 pm", "15", "7:00AM", "23:00", "5", "", "", "240"};
  return line;
}

NodeLine veltroLine(const std::string& action, const std::string& serial, const std::string& name) {
  return {"V", action, serial, name, "vmsrv1", "maildomain", "G711", "", "", "", {}};
}

namespace {
Lines withCells(const NodeLine& line, const Cells& changed) {
  Lines values = line.values();
  for (const auto& [column, value] : changed) {
    values[static_cast<size_t>(std::find(kColumns.begin(), kColumns.end(), column) - kColumns.begin())] = value;
  }
  return values;
}
}  // namespace

Lines octel(const std::string& action, const std::string& serial, const Cells& changed) {
  return withCells(octelLine(action, serial, "North"), changed);
}

Lines veltro(const std::string& action, const std::string& serial, const Cells& changed) {
  return withCells(veltroLine(action, serial, "South"), changed);
}

std::vector<NodeLine> mixedAdds(int count) {
  std::vector<NodeLine> lines;
  for (int n = 1; n <= count; ++n) {
    std::string serial = std::to_string(n);
    lines.push_back(n % 2 ? octelLine("A", serial, "O" + serial) : veltroLine("A", serial, "V" + serial));
  }
  return lines;
}

std::string quotedLine(const Lines& values) {
  std::string line;
  for (const auto& value : values) line += (line.empty() ? "\"" : ",\"") + value + "\"";
  return line;
}

std::string inputText(const std::vector<NodeLine>& lines) {
  std::string text = quotedLine(kColumns) + "\r\n";
  for (const auto& line : lines) text += quotedLine(line.values()) + "\r\n";
  return text;
}

std::string importSummary(size_t lines, size_t errors) {
  return "Total nodes effected: " + std::to_string(lines) + " Successful changes: " + std::to_string(lines - errors) +
         " Errors: " + std::to_string(errors) + "\r\n";
}

std::string resultLine(Lines values, const std::string& outcome, const std::string& details) {
  values.push_back(outcome);
  values.push_back(details);
  return quotedLine(values);
}

std::vector<Row> rowsOf(platform::db::Connection& connection, const std::string& sql) {
  platform::db::Recordset rs;
  rs.open(sql, connection, platform::db::CursorType::Static, platform::db::LockType::ReadOnly);
  std::vector<Row> result;
  for (; !rs.eof(); rs.moveNext()) {
    Row& row = result.emplace_back();
    for (int i = 0; i < rs.fieldCount(); ++i) row.push_back(platform::toText(rs.field(rs.fieldName(i))));
  }
  return result;
}

void addOctel(platform::db::Connection& connection, const std::string& serial, const std::string& name,
              bool withWindows) {
  connection.execute("INSERT INTO Node (SerialNo, Name, ServerType) VALUES (?, ?, 1)", {serial, name});
  connection.execute("INSERT INTO OctelNode (SerialNo, PhoneNo, Ext, DialingSequence) VALUES (?, '5551234', '22', 'N')",
                     {serial});
  for (int16_t type = 0; withWindows && type < 3; ++type) {
    connection.execute(
        "INSERT INTO DeliveryWindow (WindowID, MessageType, SerialNo, BeginTime, EndTime, " +
            connection.quotedName("Interval") + ") VALUES (?, ?, ?, '12:00AM', '11:59PM', '30')",
        {type, type, serial});
  }
}

void addVeltro(platform::db::Connection& connection, const std::string& serial, const std::string& name, int codec) {
  connection.execute("INSERT INTO Node (SerialNo, Name, ServerType, DefaultCodec) VALUES (?, ?, 2, ?)",
                     {serial, name, static_cast<int32_t>(codec)});
  connection.execute("INSERT INTO VPIMNode (SerialNo, DomainName, ProxyDomain) VALUES (?, 'vmsrv1', 'maildomain')",
                     {serial});
}

}  // namespace tarnwick::e2e
