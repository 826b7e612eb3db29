#include "TestSupport.h"

#include <fstream>
#include <iterator>
#include <random>

namespace platform::test {

TempFolder::TempFolder()
    : root_((fs::temp_directory_path() / ("tarnwick_tests." + std::to_string(std::random_device{}()))).string()) {
  fs::create_directories(root_);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

void writeBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string writeLines(const std::string& path, const Lines& lines, TextEncoding encoding) {
  auto stream = env()->openTextFile(path, IOMode::ForWriting, true, encoding);
  for (const std::string& line : lines) stream->writeLine(line);
  return path;
}

Lines splitAt(const std::string& text, const std::string& separator) {
  Lines pieces;
  size_t start = 0;
  for (size_t end; (end = text.find(separator, start)) != std::string::npos; start = end + separator.size()) {
    pieces.push_back(text.substr(start, end - start));
  }
  pieces.push_back(text.substr(start));
  return pieces;
}

Lines crlfLines(const std::string& text) {
  Lines lines = splitAt(text, "\r\n");
  lines.back().empty() ? lines.pop_back() : (void)(lines.back() += "<no CR LF>");
  return lines;
}

}  // namespace platform::test
