#include "NodeInput.h"

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

}  // namespace tarnwick::e2e
