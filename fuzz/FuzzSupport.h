// Helpers shared by the fuzz targets: a hard stop when a property fails, a
// scratch file holding raw bytes, and small independent oracles for text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

// The byte-order mark that makes a text file read as UTF-8.
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// Stops the run so that libFuzzer saves the input: a property did not hold.
inline void check(bool holds) {
  if (!holds) __builtin_trap();
}

inline std::string_view asText(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// One file below the temporary folder, private to this process, rewritten
// for every input and removed when the process ends normally.
class ScratchFile {
 public:
  explicit ScratchFile(const std::string& stem)
      : path_(std::filesystem::temp_directory_path() /
              (stem + "." + std::to_string(std::random_device{}()) + ".csv")) {
    std::ofstream(path_, std::ios::binary).close();
  }
  ~ScratchFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  // Replaces the file's content with exactly `bytes`. The file is overwritten
  // and then cut to size rather than emptied first: the file system would
  // flush a file emptied and written again to disk on every close.
  void write(std::string_view bytes) const {
    std::ofstream(path_, std::ios::binary | std::ios::in | std::ios::out).write(bytes.data(), bytes.size());
    std::filesystem::resize_file(path_, bytes.size());
  }

  std::string path() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

// `text` with the ASCII capitals made small, as the "C" locale lowers them.
inline std::string asciiLowerCase(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// The pieces of `text` between `separator` bytes (one piece when there is none).
inline std::vector<std::string> splitAt(std::string_view text, char separator) {
  std::vector<std::string> pieces;
  for (;;) {
    const size_t end = text.find(separator);
    pieces.emplace_back(text.substr(0, end));
    if (end == std::string_view::npos) return pieces;
    text.remove_prefix(end + 1);
  }
}

// The lines a text file of `bytes` holds: split at LF, a CR just before an LF
// dropped, and no line after a final LF. An empty file holds no line.
inline std::vector<std::string> expectedLines(std::string_view bytes) {
  std::vector<std::string> lines = splitAt(bytes, '\n');
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    if (!lines[i].empty() && lines[i].back() == '\r') lines[i].pop_back();
  }
  if (lines.back().empty()) lines.pop_back();
  return lines;
}

// True when `text` is well-formed UTF-8: shortest forms only, no surrogates,
// nothing above U+10FFFF. Written from the encoding's table of valid byte
// sequences, independently of the platform's decoder.
inline bool isWellFormedUtf8(std::string_view text) {
  size_t i = 0;
  auto byteAt = [&](size_t k) { return k < text.size() ? static_cast<unsigned char>(text[k]) : 0u; };
  auto inRange = [](unsigned b, unsigned low, unsigned high) { return b >= low && b <= high; };
  while (i < text.size()) {
    const unsigned b0 = byteAt(i), b1 = byteAt(i + 1), b2 = byteAt(i + 2), b3 = byteAt(i + 3);
    size_t length;
    if (b0 < 0x80) {
      length = 1;
    } else if (inRange(b0, 0xC2, 0xDF) && inRange(b1, 0x80, 0xBF)) {
      length = 2;
    } else if (((b0 == 0xE0 && inRange(b1, 0xA0, 0xBF)) || (inRange(b0, 0xE1, 0xEC) && inRange(b1, 0x80, 0xBF)) ||
                (b0 == 0xED && inRange(b1, 0x80, 0x9F)) || (inRange(b0, 0xEE, 0xEF) && inRange(b1, 0x80, 0xBF))) &&
               inRange(b2, 0x80, 0xBF)) {
      length = 3;
    } else if (((b0 == 0xF0 && inRange(b1, 0x90, 0xBF)) || (inRange(b0, 0xF1, 0xF3) && inRange(b1, 0x80, 0xBF)) ||
                (b0 == 0xF4 && inRange(b1, 0x80, 0x8F))) &&
               inRange(b2, 0x80, 0xBF) && inRange(b3, 0x80, 0xBF)) {
      length = 4;
    } else {
      return false;
    }
    i += length;
  }
  return true;
}

}  // namespace fuzz
