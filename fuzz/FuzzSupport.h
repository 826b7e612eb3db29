// Helpers of the fuzz targets: a hard stop when a property fails, a scratch file, and small oracles written
// independently of the program's own code.
#pragma once

#include <cstdint>
#include <filesystem>
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

inline std::string_view asText(const uint8_t* data, size_t size) { return {reinterpret_cast<const char*>(data), size}; }

// A file below the temporary folder, private to this process, removed when the process ends normally.
class ScratchFile {
 public:
  explicit ScratchFile(const std::string& stem);
  ~ScratchFile() { std::filesystem::remove(path_, ignored_); }
  // Replaces the content with exactly `bytes`, written over and cut to size (a file emptied and written again is
  // flushed to disk on every close).
  void write(std::string_view bytes) const;
  std::string path() const { return path_.string(); }

 private:
  std::filesystem::path path_;
  std::error_code ignored_;
};

// `text` with the ASCII capitals made small, as the "C" locale lowers them.
std::string asciiLowerCase(std::string text);
// The pieces of `text` between `separator` bytes (one piece when there is none).
std::vector<std::string> splitAt(std::string_view text, char separator);
// The lines a text file of `bytes` holds: split at LF, a CR just before an LF dropped, none after a final LF.
std::vector<std::string> expectedLines(std::string_view bytes);
// True when `text` is well-formed UTF-8 (shortest forms, no surrogates, nothing above U+10FFFF), judged by the
// encoding's table of byte sequences.
bool isWellFormedUtf8(std::string_view text);

}  // namespace fuzz
