#include "FuzzSupport.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>

namespace fuzz {

ScratchFile::ScratchFile(const std::string& stem)
    : path_(std::filesystem::temp_directory_path() / (stem + "." + std::to_string(std::random_device{}()) + ".csv")) {
  std::ofstream(path_, std::ios::binary).close();
}

void ScratchFile::write(std::string_view bytes) const {
  std::ofstream(path_, std::ios::binary | std::ios::in | std::ios::out)
      .write(bytes.data(), std::streamsize(bytes.size()));
  std::filesystem::resize_file(path_, bytes.size());
}

std::string asciiLowerCase(std::string text) {
  for (char& c : text) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  return text;
}

std::vector<std::string> splitAt(std::string_view text, char separator) {
  std::vector<std::string> pieces;
  for (size_t end; (end = text.find(separator)) != std::string_view::npos; text.remove_prefix(end + 1)) {
    pieces.emplace_back(text.substr(0, end));
  }
  pieces.emplace_back(text);
  return pieces;
}

std::vector<std::string> expectedLines(std::string_view bytes) {
  std::vector<std::string> lines = splitAt(bytes, '\n');
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    if (lines[i].ends_with('\r')) lines[i].pop_back();
  }
  if (lines.back().empty()) lines.pop_back();
  return lines;
}

bool isWellFormedUtf8(std::string_view text) {
  // Per range of lead bytes: the sequence's length and the range its second byte must lie in.
  struct Form {
    unsigned char leadLow, leadHigh, length, low, high;
  };
  static constexpr Form kForms[] = {
      {0x00, 0x7F, 1, 0, 0},       {0xC2, 0xDF, 2, 0x80, 0xBF}, {0xE0, 0xE0, 3, 0xA0, 0xBF},
      {0xE1, 0xEC, 3, 0x80, 0xBF}, {0xED, 0xED, 3, 0x80, 0x9F}, {0xEE, 0xEF, 3, 0x80, 0xBF},
      {0xF0, 0xF0, 4, 0x90, 0xBF}, {0xF1, 0xF3, 4, 0x80, 0xBF}, {0xF4, 0xF4, 4, 0x80, 0x8F}};
  for (size_t i = 0; i < text.size();) {
    auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const Form* form = std::find_if(std::begin(kForms), std::end(kForms),
                                    [&](const Form& f) { return byte(i) >= f.leadLow && byte(i) <= f.leadHigh; });
    if (form == std::end(kForms) || i + form->length > text.size()) return false;
    for (size_t k = 1; k < form->length; ++k) {
      if (byte(i + k) < (k == 1 ? form->low : 0x80) || byte(i + k) > (k == 1 ? form->high : 0xBF)) return false;
    }
    i += form->length;
  }
  return true;
}

}  // namespace fuzz
