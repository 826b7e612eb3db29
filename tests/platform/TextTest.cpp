#include "platform/Text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

#include "TestSupport.h"

namespace platform {
namespace {

using test::errorNumberOf;

TEST(Cp1252, EveryByteRoundTripsAndTheCodePageDecodes) {
  for (int b = 0; b <= 0xFF; ++b) {
    const std::string byte(1, static_cast<char>(b));
    EXPECT_EQ(encodeCp1252(decodeCp1252(byte)), byte) << "byte " << b;
  }
  // The five bytes the code page leaves undefined stand for their C1 controls.
  EXPECT_EQ(decodeCp1252("\x80\x81\x8A\x9F\xFC\xA0"), "\u20AC\u0081\u0160\u0178\u00FC\u00A0");
}

TEST(Cp1252, EncodingFailsWith5OutsideTheCodePage) {
  // A with macron, the C1 control the euro's byte stands for, an emoji, truncated, overlong.
  for (const std::string text : {"\u0100", "\u0080", "\U0001F600", "\xC3", "\xC0\xAF"}) {
    EXPECT_EQ(errorNumberOf([&] { encodeCp1252("ab" + text); }), 5) << text;
  }
  std::string out;
  EXPECT_FALSE(tryEncodeCp1252("\u20ACb\u0100c", out));
  EXPECT_EQ(out, std::string("\x80") + "b");  // the text before the failure
}

TEST(Utf8, SanitizeReplacesEachMalformedSequenceAndLengthCountsCharacters) {
  // Valid text; truncated, overlong, surrogate and above U+10FFFF sequences.
  const std::pair<std::string, std::string> cases[] = {
      {"Z\u00FCrich \u20AC \U0001F600", "Z\u00FCrich \u20AC \U0001F600"},
      {"\xE2\x82x", "\uFFFDx"},
      {"\xC0\xAF", "\uFFFD\uFFFD"},
      {"\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD"},
      {"\xF4\x90\x80\x80", "\uFFFD\uFFFD\uFFFD\uFFFD"}};
  for (const auto& [in, out] : cases) EXPECT_EQ(sanitizeUtf8(in), out) << in;
  EXPECT_EQ(utf8Length("Zurich, Z\u00FCrich \u20AC\U0001F600"), 17u);
}

// Pieces of a file in order: UTF-8 only when all of it is, and not ASCII alone.
TEST(Utf8, DetectorTakesOnlyTextThatIsUtf8Throughout) {
  // Pieces split at "|". Valid, also with sequences cut between pieces; ASCII alone; Windows-1252,
  // also after a valid start; cut short at the end; overlong, surrogate, beyond U+10FFFF.
  const std::string utf8[] = {"Caf\xC3\xA9 \xF0\x9F\x98\x80", "Caf\xC3||\xA9,\xE2|\x82|\xAC"};
  const std::string other[] = {"plain",    "Caf\xE9",      "Caf\xC3\xA9 |Caf\xE9", "\xC3\xA9\xC2",
                               "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80"};
  auto detects = [](const std::string& pieces) {
    Utf8Detector detector;
    for (const std::string& piece : test::splitAt(pieces, "|")) detector.feed(piece);
    return detector.isUtf8();
  };
  for (const auto& text : utf8) EXPECT_TRUE(detects(text)) << text;
  for (const auto& text : other) EXPECT_FALSE(detects(text)) << text;
}

TEST(ConsoleCharset, AsciiLocaleWritesQuestionMarkPerCharacter) {
  ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
  EXPECT_EQ(toConsoleCharset("Z\u00FCrich \u20AC5"), "Z?rich ?5");
}

}  // namespace
}  // namespace platform
