// The Windows-1252 and UTF-8 conversions and text-stream reading on any bytes.
// Beyond not crashing:
// - Windows-1252 decoding gives well-formed UTF-8, one character per byte,
//   and encoding gives back exactly the bytes;
// - sanitizeUtf8 gives well-formed UTF-8, keeps well-formed text unchanged
//   and is idempotent; an encoding that succeeds decodes back to its input;
// - a file of the bytes, read without and with the UTF-8 mark in front, gives
//   the file's lines, each made safe as UTF-8 when marked or when the whole
//   file is well-formed UTF-8 and not ASCII alone, else decoded from
//   Windows-1252.
//   Read without the mark, an input starting with 0xFF is repeated until the
//   file passes the stream's 64 KiB read chunk, so that lines and line ends
//   straddle chunks.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "platform/Env.h"
#include "platform/Error.h"
#include "platform/Text.h"

namespace {

using fuzz::check;

constexpr size_t kPastOneReadChunk = 64 * 1024 + 512;

void checkCp1252RoundTrip(std::string_view bytes) {
  const std::string decoded = platform::decodeCp1252(bytes);
  check(fuzz::isWellFormedUtf8(decoded));
  check(platform::utf8Length(decoded) == bytes.size());
  check(platform::encodeCp1252(decoded) == bytes);
}

void checkSanitizing(std::string_view bytes) {
  const std::string safe = platform::sanitizeUtf8(bytes);
  check(fuzz::isWellFormedUtf8(safe));
  check(platform::sanitizeUtf8(safe) == safe);
  if (fuzz::isWellFormedUtf8(bytes)) check(safe == bytes);
  check(platform::utf8Length(safe) <= bytes.size());
  platform::utf8Length(bytes);
  platform::toConsoleCharset(bytes);
}

void checkEncodingArbitraryText(std::string_view text) {
  std::string bytes;
  const bool encoded = platform::tryEncodeCp1252(text, bytes);
  if (encoded) check(platform::decodeCp1252(bytes) == text);
  try {
    check(platform::encodeCp1252(text) == bytes && encoded);
  } catch (const platform::Error& e) {
    check(e.number() == platform::err::kInvalidArgument && !encoded);
  }
}

bool readsAsUtf8(std::string_view bytes) {
  return fuzz::isWellFormedUtf8(bytes) &&
         std::any_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

std::vector<std::string> readAllLines(const std::string& path) {
  auto stream = platform::env()->openTextFile(path, platform::IOMode::ForReading, false,
                                              platform::TextEncoding::Cp1252);
  std::vector<std::string> lines;
  while (!stream->atEndOfStream()) {
    check(stream->line() == static_cast<int32_t>(lines.size()) + 1);
    lines.push_back(stream->readLine());
  }
  return lines;
}

// Writes `fileBytes`, reads the file back and compares it with its raw lines
// decoded the way the stream must decode them.
void checkReading(const fuzz::ScratchFile& file, const std::string& fileBytes) {
  file.write(fileBytes);
  const bool marked = std::string_view(fileBytes).starts_with(fuzz::kUtf8Mark);
  const bool utf8 = marked || readsAsUtf8(fileBytes);
  const std::vector<std::string> raw =
      fuzz::expectedLines(std::string_view(fileBytes).substr(marked ? fuzz::kUtf8Mark.size() : 0));
  const std::vector<std::string> lines = readAllLines(file.path());
  check(lines.size() == raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    check(lines[i] == (utf8 ? platform::sanitizeUtf8(raw[i]) : platform::decodeCp1252(raw[i])));
  }
}

std::string repeatedPastOneChunk(std::string_view bytes) {
  std::string out;
  while (out.size() < kPastOneReadChunk) out += bytes;
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fuzz::ScratchFile file("fuzz_text_decoders");
  const std::string bytes(fuzz::asText(data, size));
  checkCp1252RoundTrip(bytes);
  checkSanitizing(bytes);
  checkEncodingArbitraryText(bytes);

  checkReading(file, !bytes.empty() && bytes.front() == '\xFF' ? repeatedPastOneChunk(bytes) : bytes);
  checkReading(file, std::string(fuzz::kUtf8Mark) + bytes);
  return 0;
}
