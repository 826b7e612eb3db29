#include "NodeInput.h"

#include <algorithm>

#include "platform/db/Recordset.h"

namespace tarnwick::e2e {

const Lines kColumns = platform::test::splitAt(
    "NodeType,Action,SerialNo,Name,VeltroServerName,VeltroSMTPSuffix,Codec,PhoneNo,Extension,DialSequence,"
    "NormalBeginTime,NormalEndTime,NormalInterval,UrgentBeginTime,UrgentEndTime,UrgentInterval,"
    "AdministrationBeginTime,AdministrationEndTime,AdministrationInterval",
    ",");

namespace {

size_t indexOf(const std::string& column) {
  return static_cast<size_t>(std::find(kColumns.begin(), kColumns.end(), column) - kColumns.begin());
}

Lines withCells(Lines values, const Cells& changed) {
  for (const auto& [column, value] : changed) values.at(indexOf(column)) = value;
  return values;
}

}  // namespace

Lines octel(const std::string& action, const std::string& serial, const Cells& changed) {
  return withCells({"O", action, serial, "North", "", "", "", "5551234", "22", "9P", "08:30", "5:00 pm", "15", "7:00AM",
                    "23:00", "5", "", "", "240"},
                   changed);
}

Lines veltro(const std::string& action, const std::string& serial, const Cells& changed) {
  return withCells(
      {"V", action, serial, "South", "vmsrv1", "maildomain", "G711", "", "", "", "", "", "", "", "", "", "", "", ""},
      changed);
}

std::vector<Lines> mixedAdds(int count) {
  std::vector<Lines> lines;
  for (int n = 1; n <= count; ++n) {
    const std::string serial = std::to_string(n);
    lines.push_back((n % 2 ? octel : veltro)("A", serial, {{"Name", (n % 2 ? "O" : "V") + serial}}));
  }
  return lines;
}

const std::string& cell(const Lines& line, const std::string& column) { return line.at(indexOf(column)); }

std::string quotedLine(const Lines& values) {
  std::string line;
  for (const auto& value : values) line += (line.empty() ? "\"" : ",\"") + value + "\"";
  return line;
}

std::string inputText(const std::vector<Lines>& lines) {
  std::string text = quotedLine(kColumns) + "\r\n";
  for (const auto& line : lines) text += quotedLine(line) + "\r\n";
  return text;
}

std::string resultLine(Lines values, const std::string& outcome, const std::string& details) {
  values.insert(values.end(), {outcome, details});
  return quotedLine(values);
}

std::string importSummary(size_t lines, size_t errors) {
  return "Total nodes effected: " + std::to_string(lines) + " Successful changes: " + std::to_string(lines - errors) +
         " Errors: " + std::to_string(errors) + "\r\n";
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
    connection.execute("INSERT INTO DeliveryWindow (WindowID, MessageType, SerialNo, BeginTime, EndTime, " +
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

std::map<std::string, std::string> storedNodes(platform::db::Connection& connection) {
  std::map<std::string, std::string> nodes;
  for (const Row& row : rowsOf(connection,
                               "SELECT n.SerialNo, Name, ServerType, DefaultCodec, PhoneNo, Ext, "
                               "DialingSequence, DomainName, ProxyDomain FROM Node n "
                               "LEFT JOIN OctelNode o ON o.SerialNo = n.SerialNo "
                               "LEFT JOIN VPIMNode v ON v.SerialNo = n.SerialNo")) {
    std::string& text = nodes[row[0]];
    for (size_t i = 1; i < row.size(); ++i) text += (i > 1 ? "|" : "") + row[i];
  }
  for (const Row& w : rowsOf(connection, "SELECT * FROM DeliveryWindow ORDER BY SerialNo, MessageType")) {
    nodes[w[2]] += "|" + w[0] + " " + w[1] + " " + w[3] + "-" + w[4] + " " + w[5];
  }
  return nodes;
}

std::vector<Row> brokenNodes(platform::db::Connection& connection) {
  // The rows of `table` of node n that meet `condition`, against what an Octel and a Veltro node have.
  auto wrongCount = [](const std::string& table, const std::string& condition, int octel, int veltro) {
    return " OR (SELECT COUNT(*) FROM " + table + " k WHERE k.SerialNo = n.SerialNo" + condition +
           ") <> (CASE WHEN n.ServerType = 1 THEN " + std::to_string(octel) + " ELSE " + std::to_string(veltro) +
           " END)";
  };
  std::string sql = "SELECT n.SerialNo FROM Node n WHERE n.ServerType NOT IN (1, 2)" +
                    wrongCount("OctelNode", "", 1, 0) + wrongCount("VPIMNode", "", 0, 1) +
                    wrongCount("DeliveryWindow", "", 3, 0);
  for (const char* type : {"0", "1", "2"})
    sql += wrongCount("DeliveryWindow", std::string(" AND MessageType = ") + type, 1, 0);
  for (const char* table : {"OctelNode", "VPIMNode", "DeliveryWindow", "Directory"}) {
    sql += std::string(" UNION ALL SELECT SerialNo FROM ") + table +
           " WHERE SerialNo NOT IN (SELECT SerialNo FROM Node)";
  }
  return rowsOf(connection, sql);
}

}  // namespace tarnwick::e2e
