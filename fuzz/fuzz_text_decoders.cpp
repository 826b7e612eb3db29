// The Windows-1252 and UTF-8 conversions and text-stream reading on any bytes. Beyond not crashing: decoding gives
// well-formed UTF-8, a character per byte, that encodes back; sanitizeUtf8 gives well-formed UTF-8 and keeps such text;
// an encoding that succeeds decodes back, one that fails fails with 5; a file of the bytes, read without and with the
// UTF-8 mark, gives its lines made safe as UTF-8 when marked or UTF-8 throughout (not ASCII alone), else decoded. An
// input starting with 0xFF is repeated past the stream's 64 KiB read chunk, so that lines and line ends straddle
// chunks.
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

// Writes `fileBytes` and reads them back as lines, each decoded the way the stream must decode it.
void checkReading(const fuzz::ScratchFile& file, const std::string& fileBytes) {
  file.write(fileBytes);
  const bool marked = fileBytes.starts_with(fuzz::kUtf8Mark);
  const bool utf8 = marked || (fuzz::isWellFormedUtf8(fileBytes) &&  // UTF-8 throughout and not ASCII alone
                               std::any_of(fileBytes.begin(), fileBytes.end(), [](char c) { return c & 0x80; }));
  const auto raw = fuzz::expectedLines(std::string_view(fileBytes).substr(marked ? fuzz::kUtf8Mark.size() : 0));
  auto stream = platform::env()->openTextFile(file.path(), platform::IOMode::ForReading, false,
                                              platform::TextEncoding::Cp1252);
  for (size_t i = 0; i < raw.size(); ++i) {
    check(!stream->atEndOfStream() && stream->line() == static_cast<int32_t>(i) + 1);
    check(stream->readLine() == (utf8 ? platform::sanitizeUtf8(raw[i]) : platform::decodeCp1252(raw[i])));
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
