#include "Text.h"

#include <iconv.h>
#include <strings.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "Env.h"
#include "Error.h"

namespace platform {

namespace {

constexpr char32_t kReplacementChar = 0xFFFD;

// Characters of the bytes 0x80 to 0x9F. The five bytes the code page leaves
// undefined stand for the C1 control with the same number, so every byte
// has a character and back.
constexpr std::array<char32_t, 32> kHighControls = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The length of the run of ASCII bytes `text` starts with, taken eight bytes
// at a time: most text the program writes is ASCII throughout, and ASCII
// reads the same in every character set it converts between.
size_t asciiPrefixLength(std::string_view text) {
  constexpr uint64_t kHighBits = 0x8080808080808080ULL;
  size_t pos = 0;
  for (uint64_t word; pos + sizeof word <= text.size(); pos += sizeof word) {
    std::memcpy(&word, text.data() + pos, sizeof word);
    if ((word & kHighBits) != 0) break;
  }
  while (pos < text.size() && static_cast<unsigned char>(text[pos]) < 0x80) ++pos;
  return pos;
}

bool inHighControlRange(char32_t c) { return c >= 0x80 && c <= 0x9F; }

char32_t cp1252ToChar(unsigned char byte) { return inHighControlRange(byte) ? kHighControls[byte - 0x80] : byte; }

// The byte for `c`, or -1 when Windows-1252 has none.
int charToCp1252(char32_t c) {
  if (c <= 0xFF && !inHighControlRange(c)) return static_cast<int>(c);
  auto it = std::find(kHighControls.begin(), kHighControls.end(), c);
  return it == kHighControls.end() ? -1 : static_cast<int>(0x80 + (it - kHighControls.begin()));
}

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

struct DecodedChar {
  char32_t value;  // kReplacementChar when !valid
  size_t length;   // bytes taken; a malformed sequence takes its longest valid-looking prefix
  bool valid;
};

// Decodes the character starting at `pos`. Overlong forms, surrogates and
// values above U+10FFFF are malformed (the second byte's allowed range
// depends on the lead byte).
DecodedChar decodeUtf8At(std::string_view s, size_t pos) {
  const auto lead = static_cast<unsigned char>(s[pos]);
  if (lead < 0x80) return {lead, 1, true};
  int continuations;
  char32_t value;
  unsigned char low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    continuations = 1;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    continuations = 2;
    value = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    continuations = 3;
    value = lead & 0x07;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
  } else {
    return {kReplacementChar, 1, false};
  }
  size_t length = 1;
  for (int i = 0; i < continuations; ++i, low = 0x80, high = 0xBF) {
    if (pos + length >= s.size()) return {kReplacementChar, length, false};
    const auto next = static_cast<unsigned char>(s[pos + length]);
    if (next < low || next > high) return {kReplacementChar, length, false};
    value = (value << 6) | (next & 0x3F);
    ++length;
  }
  return {value, length, true};
}

// The locale's codeset as iconv knows it, opened once per codeset.
class ConsoleConverter {
 public:
  ~ConsoleConverter() { closeDescriptor(); }

  // Converts well-formed UTF-8; unconvertible characters become "?".
  std::string convert(std::string_view utf8, const std::string& codeset) {
    if (!openFor(codeset)) return asciiOnly(utf8);
    iconv(descriptor_, nullptr, nullptr, nullptr, nullptr);
    std::string out;
    std::array<char, 256> chunk;
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    while (inLeft > 0) {
      char* dest = chunk.data();
      size_t destLeft = chunk.size();
      const bool stopped = iconv(descriptor_, &in, &inLeft, &dest, &destLeft) == static_cast<size_t>(-1);
      const int error = errno;
      out.append(chunk.data(), dest);
      if (stopped && error != E2BIG) {  // a character the codeset lacks
        out += '?';
        const size_t skip = decodeUtf8At(std::string_view(in, inLeft), 0).length;
        in += skip;
        inLeft -= skip;
      }
    }
    return out;
  }

 private:
  bool openFor(const std::string& codeset) {
    if (descriptor_ != invalid() && codeset_ == codeset) return true;
    closeDescriptor();
    descriptor_ = iconv_open(codeset.c_str(), "UTF-8");
    codeset_ = codeset;
    return descriptor_ != invalid();
  }

  void closeDescriptor() {
    if (descriptor_ != invalid()) iconv_close(descriptor_);
    descriptor_ = invalid();
  }

  static iconv_t invalid() { return reinterpret_cast<iconv_t>(-1); }

  static std::string asciiOnly(std::string_view utf8) {
    std::string out;
    for (size_t pos = 0; pos < utf8.size();) {
      const DecodedChar c = decodeUtf8At(utf8, pos);
      out += c.value < 0x80 ? static_cast<char>(c.value) : '?';
      pos += c.length;
    }
    return out;
  }

  iconv_t descriptor_ = invalid();
  std::string codeset_;
};

bool isUtf8Codeset(const std::string& codeset) {
  return strcasecmp(codeset.c_str(), "UTF-8") == 0 || strcasecmp(codeset.c_str(), "UTF8") == 0;
}

}  // namespace

std::string decodeCp1252(std::string_view bytes) {
  const size_t ascii = asciiPrefixLength(bytes);
  std::string out(bytes.substr(0, ascii));
  if (ascii == bytes.size()) return out;
  out.reserve(bytes.size() + (bytes.size() - ascii) / 2);
  for (char b : bytes.substr(ascii)) appendUtf8(out, cp1252ToChar(static_cast<unsigned char>(b)));
  return out;
}

bool appendCp1252(std::string_view utf8, std::string& out) {
  for (size_t pos = 0; pos < utf8.size();) {
    const size_t ascii = asciiPrefixLength(utf8.substr(pos));  // ASCII is the same in both
    out.append(utf8.data() + pos, ascii);
    pos += ascii;
    if (pos == utf8.size()) break;
    const DecodedChar c = decodeUtf8At(utf8, pos);
    const int byte = c.valid ? charToCp1252(c.value) : -1;
    if (byte < 0) return false;
    out += static_cast<char>(byte);
    pos += c.length;
  }
  return true;
}

bool tryEncodeCp1252(std::string_view utf8, std::string& out) {
  out.clear();
  return appendCp1252(utf8, out);
}

std::string encodeCp1252(std::string_view utf8) {
  std::string out;
  if (!tryEncodeCp1252(utf8, out)) raise(err::kInvalidArgument);
  return out;
}

std::string sanitizeUtf8(std::string_view bytes) {
  const size_t ascii = asciiPrefixLength(bytes);
  std::string out(bytes.substr(0, ascii));
  if (ascii == bytes.size()) return out;
  out.reserve(bytes.size());
  for (size_t pos = ascii; pos < bytes.size();) {
    const DecodedChar c = decodeUtf8At(bytes, pos);
    if (c.valid) {
      out.append(bytes.substr(pos, c.length));
    } else {
      appendUtf8(out, kReplacementChar);
    }
    pos += c.length;
  }
  return out;
}

// A sequence left incomplete by the last piece takes bytes of this one until
// it is whole or proves malformed; then the piece goes on after it.
void Utf8Detector::feed(std::string_view bytes) {
  if (malformed_) return;
  while (!pending_.empty() && !bytes.empty() && !malformed_) {
    pending_ += bytes.front();
    bytes.remove_prefix(1);
    const DecodedChar c = decodeUtf8At(pending_, 0);
    malformed_ = !c.valid && c.length < pending_.size();
    if (c.valid) pending_.clear();
  }
  for (size_t pos = asciiPrefixLength(bytes); pos < bytes.size() && !malformed_;) {
    nonAscii_ = true;
    const DecodedChar c = decodeUtf8At(bytes, pos);
    if (!c.valid && pos + c.length == bytes.size()) {  // ran out: the next piece may complete it
      pending_ = bytes.substr(pos);
      return;
    }
    malformed_ = !c.valid;
    pos += c.length;
    pos += asciiPrefixLength(bytes.substr(pos));
  }
}

size_t utf8Length(std::string_view utf8) {
  const size_t ascii = asciiPrefixLength(utf8);
  return ascii + std::count_if(utf8.begin() + static_cast<std::ptrdiff_t>(ascii), utf8.end(),
                               [](char b) { return (static_cast<unsigned char>(b) & 0xC0) != 0x80; });
}

std::string toConsoleCharset(std::string_view utf8) {
  if (asciiPrefixLength(utf8) == utf8.size()) return std::string(utf8);
  const std::string codeset = env()->consoleCharset();
  std::string text = sanitizeUtf8(utf8);
  if (isUtf8Codeset(codeset)) return text;
  static ConsoleConverter converter;
  return converter.convert(text, codeset);
}

}  // namespace platform
