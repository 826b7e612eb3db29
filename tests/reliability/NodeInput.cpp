#include "NodeInput.h"

#include <algorithm>

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

namespace {

// A line of `nodeType` whose other cells are empty.
NodeLine request(const std::string& nodeType, const std::string& action, const std::string& serial,
                 const std::string& name) {
  NodeLine line;
  line.nodeType = nodeType;
  line.action = action;
  line.serial = serial;
  line.name = name;
  return line;
}

}  // namespace

NodeLine octelLine(const std::string& action, const std::string& serial, const std::string& name) {
  NodeLine line = request("O", action, serial, name);
  line.phone = "5551234";
  line.extension = "22";
  line.dialSequence = "9P";
  line.windows = {"08:30", "5:00 pm", "15", "7:00AM", "23:00", "5", "", "", "240"};
  return line;
}

NodeLine veltroLine(const std::string& action, const std::string& serial, const std::string& name) {
  NodeLine line = request("V", action, serial, name);
  line.serverName = "vmsrv1";
  line.smtpSuffix = "maildomain";
  line.codec = "G711";
  return line;
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

std::vector<std::string> completeLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

std::vector<std::string> dataLines(const std::string& text) {
  auto lines = completeLines(text);
  if (!lines.empty()) lines.erase(lines.begin());
  return lines;
}

std::vector<std::string> lastLines(const std::string& text, size_t count) {
  auto lines = completeLines(text);
  lines.erase(lines.begin(), lines.end() - static_cast<std::ptrdiff_t>(std::min(count, lines.size())));
  return lines;
}

std::string resultLine(const std::vector<std::string>& values, const std::string& outcome,
                       const std::string& details) {
  std::vector<std::string> fields = values;
  fields.push_back(outcome);
  fields.push_back(details);
  return quotedLine(fields);
}

}  // namespace tarnwick::reliability
