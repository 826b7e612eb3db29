#include "NodeInput.h"

namespace tarnwick::reliability {

const std::vector<std::string>& columnNames() {
  static const std::vector<std::string> names = {
      "NodeType",        "Action",          "SerialNo",        "Name",
      "VeltroServerName", "VeltroSMTPSuffix", "Codec",          "PhoneNo",
      "Extension",       "DialSequence",    "NormalBeginTime", "NormalEndTime",
      "NormalInterval",  "UrgentBeginTime", "UrgentEndTime",   "UrgentInterval",
      "AdministrationBeginTime", "AdministrationEndTime", "AdministrationInterval"};
  return names;
}

std::vector<std::string> NodeLine::values() const {
  std::vector<std::string> cells = {nodeType, action, serial, name,      serverName,
                                    smtpSuffix, codec, phone, extension, dialSequence};
  cells.insert(cells.end(), windows.begin(), windows.end());
  return cells;
}

NodeLine octelLine(const std::string& action, const std::string& serial, const std::string& name) {
  return {"O", action, serial, name, "", "", "", "5551234", "22", "9P",
          {"08:30", "5:00 pm", "15", "7:00AM", "23:00", "5", "", "", "240"}};
}

NodeLine veltroLine(const std::string& action, const std::string& serial, const std::string& name) {
  return {"V", action, serial, name, "vmsrv1", "maildomain", "G711", "", "", "", {}};
}

std::vector<NodeLine> mixedAdds(int count) {
  std::vector<NodeLine> lines;
  for (int n = 1; n <= count; ++n) {
    std::string serial = std::to_string(n);
    lines.push_back(n % 2 ? octelLine("A", serial, "O" + serial) : veltroLine("A", serial, "V" + serial));
  }
  return lines;
}

std::string quotedLine(const std::vector<std::string>& values) {
  std::string line;
  for (const auto& value : values) line += (line.empty() ? "\"" : ",\"") + value + "\"";
  return line;
}

std::string inputText(const std::vector<NodeLine>& lines) {
  std::string text = quotedLine(columnNames()) + "\r\n";
  for (const auto& line : lines) text += quotedLine(line.values()) + "\r\n";
  return text;
}

std::string resultLine(const std::vector<std::string>& values, const std::string& outcome,
                       const std::string& details) {
  std::vector<std::string> fields = values;
  fields.push_back(outcome);
  fields.push_back(details);
  return quotedLine(fields);
}

}  // namespace tarnwick::reliability
