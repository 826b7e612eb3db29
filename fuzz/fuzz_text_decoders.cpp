// The Windows-1252 and UTF-8 conversions and text-stream reading on any bytes.
// Beyond not crashing:
// - Windows-1252 decoding gives well-formed UTF-8, one character per byte,
//   and encoding gives back exactly the bytes;
// - sanitizeUtf8 gives well-formed UTF-8, keeps well-formed text unchanged
//   and is idempotent; an encoding that succeeds decodes back to its input,
//   and one that fails fails with 5;
// - a file of the bytes, read without and with the UTF-8 mark in front, gives
//   the file's lines, each decoded from Windows-1252 or made safe as UTF-8.
//   Read without the mark, an input starting with 0xFF is repeated until the
//   file passes the stream's 64 KiB read chunk, so that lines and line ends
//   straddle chunks.
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "platform/Env.h"
#include "platform/Error.h"
#include "platform/Text.h"

namespace {

using fuzz::check;

void checkConversions(std::string_view bytes) {
  const std::string decoded = platform::decodeCp1252(bytes);
  check(fuzz::isWellFormedUtf8(decoded) && platform::utf8Length(decoded) == bytes.size());
  check(platform::encodeCp1252(decoded) == bytes);

  const std::string safe = platform::sanitizeUtf8(bytes);
  check(fuzz::isWellFormedUtf8(safe) && platform::sanitizeUtf8(safe) == safe);
  check(!fuzz::isWellFormedUtf8(bytes) || safe == bytes);
  check(platform::utf8Length(safe) <= bytes.size());
  platform::utf8Length(bytes), platform::toConsoleCharset(bytes);

  std::string encoded;
  const bool encodes = platform::tryEncodeCp1252(bytes, encoded);
  check(!encodes || platform::decodeCp1252(encoded) == bytes);
  try {
    check(platform::encodeCp1252(bytes) == encoded && encodes);
  } catch (const platform::Error& e) {
    check(e.number() == platform::err::kInvalidArgument && !encodes);
  }
}

// Writes `fileBytes`, reads the file back and compares it with its raw lines
// decoded the way the stream must decode them.
void checkReading(const fuzz::ScratchFile& file, const std::string& fileBytes) {
  file.write(fileBytes);
  const bool marked = fileBytes.starts_with(fuzz::kUtf8Mark);
  const auto raw = fuzz::expectedLines(std::string_view(fileBytes).substr(marked ? fuzz::kUtf8Mark.size() : 0));
  auto stream = platform::env()->openTextFile(file.path(), platform::IOMode::ForReading, false,
                                              platform::TextEncoding::Cp1252);
  for (size_t i = 0; i < raw.size(); ++i) {
    check(!stream->atEndOfStream() && stream->line() == static_cast<int32_t>(i) + 1);
    check(stream->readLine() == (marked ? platform::sanitizeUtf8(raw[i]) : platform::decodeCp1252(raw[i])));
  }
  check(stream->atEndOfStream());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fuzz::ScratchFile file("fuzz_text_decoders");
  const std::string bytes(fuzz::asText(data, size));
  checkConversions(bytes);
  std::string unmarked = bytes;
  while (bytes.starts_with('\xFF') && unmarked.size() < 64 * 1024 + 512) unmarked += bytes;
  checkReading(file, unmarked);
  checkReading(file, std::string(fuzz::kUtf8Mark) + bytes);
  return 0;
}
