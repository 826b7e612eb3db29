// Character-set conversions. Inside the program all text is UTF-8; files are
// Windows-1252 (or UTF-8 when marked so); the console uses the locale's set.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Windows-1252 bytes to UTF-8. Every byte maps to one character; the five
// undefined bytes (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to U+0081 ... U+009D.
std::string decodeCp1252(std::string_view bytes);

// UTF-8 to Windows-1252, the exact inverse of decodeCp1252. A character that
// Windows-1252 cannot hold, or malformed UTF-8, fails with Error 5.
std::string encodeCp1252(std::string_view utf8);

// Like encodeCp1252, but returns false instead of failing; `out` then holds
// the bytes of the characters before the first one that could not be encoded.
bool tryEncodeCp1252(std::string_view utf8, std::string& out);

// Like tryEncodeCp1252, but appends to what `out` holds already.
bool appendCp1252(std::string_view utf8, std::string& out);

// UTF-8 bytes as read from a file, made safe: each malformed sequence becomes
// U+FFFD, so the result is always well-formed UTF-8.
std::string sanitizeUtf8(std::string_view bytes);

// Tells from a file's bytes, given piece by piece in order, whether the whole
// file is UTF-8 text: every byte belongs to a well-formed sequence (one may
// run on from one piece into the next) and at least one byte is not ASCII.
// Pure ASCII says nothing of an encoding and counts as not UTF-8.
class Utf8Detector {
 public:
  void feed(std::string_view bytes);
  bool isUtf8() const { return nonAscii_ && !malformed_ && pending_.empty(); }

 private:
  std::string pending_;  // the start of a sequence the next piece may complete
  bool nonAscii_ = false;
  bool malformed_ = false;
};

// Number of characters (code points) in well-formed UTF-8 text.
size_t utf8Length(std::string_view utf8);

// UTF-8 to the console's character set (the locale's codeset); characters it
// cannot hold become "?".
std::string toConsoleCharset(std::string_view utf8);

}  // namespace platform
