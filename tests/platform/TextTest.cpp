#include <gtest/gtest.h>

#include <clocale>

#include "TestSupport.h"
#include "platform/Text.h"

namespace platform {
namespace {

using test::errorNumberOf;

TEST(Cp1252, EveryByteRoundTrips) {
  std::string all;
  for (int b = 0; b <= 0xFF; ++b) {
    const std::string byte(1, static_cast<char>(b));
    EXPECT_EQ(encodeCp1252(decodeCp1252(byte)), byte) << "byte " << b;
    all += byte;
  }
  EXPECT_EQ(encodeCp1252(decodeCp1252(all)), all);
}

TEST(Cp1252, DecodesTheCodePage) {
  const struct {
    std::string bytes, utf8;
  } cases[] = {
      {"A", "A"},
      {"\x80", "\u20AC"},    // euro sign
      {"\x81", "\u0081"},    // undefined: the C1 control of the same number
      {"\x8D\x8F\x90\x9D", "\u008D\u008F\u0090\u009D"},
      {"\x92", "\u2019"},
      {"\x9F", "\u0178"},
      {"\xA0", "\u00A0"},
      {"Z\xFCrich", "Z\u00FCrich"},
  };
  for (const auto& c : cases) EXPECT_EQ(decodeCp1252(c.bytes), c.utf8);
}

TEST(Cp1252, EncodingFailsWith5OutsideTheCodePage) {
  const std::string cases[] = {
      "\u0100",    // Latin capital A with macron
      "\u0080",    // a C1 control that the euro sign's byte stands for
      "\U0001F600",
      "\xC3",      // truncated
      "\xC0\xAF",  // overlong "/"
  };
  for (const auto& text : cases) EXPECT_EQ(errorNumberOf([&] { encodeCp1252("ab" + text); }), 5) << text;
}

TEST(Cp1252, TryEncodeKeepsTheTextBeforeTheFailure) {
  std::string out;
  EXPECT_FALSE(tryEncodeCp1252("\u20ACb\u0100c", out));
  EXPECT_EQ(out, "\x80" "b");
  EXPECT_TRUE(tryEncodeCp1252("caf\u00E9", out));
  EXPECT_EQ(out, "caf\xE9");
}

TEST(Utf8, SanitizeReplacesEachMalformedSequence) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"Z\u00FCrich \u20AC \U0001F600", "Z\u00FCrich \u20AC \U0001F600"},
      {"a\xFF" "b", "a\uFFFD" "b"},
      {"a\xC3", "a\uFFFD"},
      {"\xE2\x82x", "\uFFFDx"},                 // truncated sequence is one replacement
      {"\xC0\xAF", "\uFFFD\uFFFD"},             // overlong
      {"\xE0\x80\xAF", "\uFFFD\uFFFD\uFFFD"},   // overlong, three bytes
      {"\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD"},   // surrogate
      {"\xF4\x90\x80\x80", "\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
  };
  for (const auto& c : cases) EXPECT_EQ(sanitizeUtf8(c.in), c.out) << c.in;
}

TEST(Utf8, LengthCountsCharacters) {
  EXPECT_EQ(utf8Length(""), 0u);
  EXPECT_EQ(utf8Length("Z\u00FCrich \u20AC\U0001F600"), 9u);
}

class ConsoleCharset : public ::testing::Test {
 protected:
  void TearDown() override { std::setlocale(LC_ALL, "C"); }
};

TEST_F(ConsoleCharset, AsciiLocaleWritesQuestionMarkPerCharacter) {
  ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
  EXPECT_EQ(toConsoleCharset("Z\u00FCrich \u20AC5"), "Z?rich ?5");
}

TEST_F(ConsoleCharset, Utf8LocalePassesTextThrough) {
  if (std::setlocale(LC_ALL, "C.UTF-8") == nullptr) GTEST_SKIP() << "no C.UTF-8 locale";
  EXPECT_EQ(toConsoleCharset("Z\u00FCrich \u20AC5"), "Z\u00FCrich \u20AC5");
}

}  // namespace
}  // namespace platform
