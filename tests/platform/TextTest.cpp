#include "platform/Text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <ctime>

#include "TestSupport.h"
#include "platform/Locale.h"

namespace platform {
namespace {

using test::errorNumberOf;

TEST(Cp1252, EveryByteRoundTripsAndTheCodePageDecodes) {
  for (int b = 0; b <= 0xFF; ++b) {
    const std::string byte(1, static_cast<char>(b));
    EXPECT_EQ(encodeCp1252(decodeCp1252(byte)), byte) << "byte " << b;
  }
  std::string high;  // bytes 0x80 to 0x9F; the five the code page leaves undefined are their C1 controls
  for (int b = 0x80; b <= 0x9F; ++b) high += static_cast<char>(b);
  EXPECT_EQ(decodeCp1252(high),
            "\u20AC\u0081\u201A\u0192\u201E\u2026\u2020\u2021\u02C6\u2030\u0160\u2039\u0152\u008D\u017D\u008F"
            "\u0090\u2018\u2019\u201C\u201D\u2022\u2013\u2014\u02DC\u2122\u0161\u203A\u0153\u009D\u017E\u0178");
  EXPECT_EQ(decodeCp1252("Z\xFC\xA0"), "Z\u00FC\u00A0");
}

TEST(Cp1252, EncodingFailsWith5OutsideTheCodePage) {
  // A with macron, the C1 control the euro's byte stands for, an emoji, truncated, overlong.
  for (const std::string text : {"\u0100", "\u0080", "\U0001F600", "\xC3", "\xC0\xAF"}) {
    EXPECT_EQ(errorNumberOf([&] { encodeCp1252("ab" + text); }), 5) << text;
  }
  std::string out;
  EXPECT_FALSE(tryEncodeCp1252("\u20ACb\u0100c", out));
  EXPECT_EQ(out, "\x80" "b");  // the text before the failure
}

TEST(Utf8, SanitizeReplacesEachMalformedSequenceAndLengthCountsCharacters) {
  const std::pair<std::string, std::string> cases[] = {
      {"Z\u00FCrich \u20AC \U0001F600", "Z\u00FCrich \u20AC \U0001F600"},
      {"\xE2\x82x", "\uFFFDx"},                          // truncated sequence: one replacement
      {"\xC0\xAF", "\uFFFD\uFFFD"},                      // overlong
      {"\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD"},            // surrogate
      {"\xF4\x90\x80\x80", "\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(sanitizeUtf8(in), out) << in;
  EXPECT_EQ(utf8Length("Z\u00FCrich \u20AC\U0001F600"), 9u);
}

TEST(ConsoleCharset, AsciiLocaleWritesQuestionMarkPerCharacterUtf8PassesThrough) {
  ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
  EXPECT_EQ(toConsoleCharset("Z\u00FCrich \u20AC5"), "Z?rich ?5");
  if (std::setlocale(LC_ALL, "C.UTF-8") != nullptr) {
    EXPECT_EQ(toConsoleCharset("Z\u00FCrich \u20AC5"), "Z\u00FCrich \u20AC5");
  }
  std::setlocale(LC_ALL, "C");
}

using namespace std::chrono;
using namespace std::chrono_literals;

TimePoint utc(year_month_day date, Clock::duration timeOfDay) { return sys_days(date) + timeOfDay; }

// Local time is US Eastern (UTC-5, daylight time UTC-4 from the second
// Sunday in March to the first Sunday in November) for these tests.
class LocaleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "EST5EDT,M3.2.0,M11.1.0", 1);
    tzset();
  }
  void TearDown() override {
    unsetenv("TZ");
    tzset();
  }
};

TEST_F(LocaleTest, GeneralDateTimeUsesTwelveHoursAndLocalTime) {
  const struct {
    TimePoint t;
    std::string text;
  } cases[] = {
      {utc(2026y / 12 / 6, 23h + 14min + 17s), "12/6/2026 6:14:17 PM"},
      {utc(2026y / 12 / 6, 5h), "12/6/2026 12:00:00 AM"},  // midnight
      {utc(2026y / 12 / 6, 17h), "12/6/2026 12:00:00 PM"},  // noon
      {utc(2026y / 1 / 2, 14h + 5min + 3s + 900ms), "1/2/2026 9:05:03 AM"},
      {utc(2026y / 7 / 4, 3h + 59min + 59s), "7/3/2026 11:59:59 PM"},  // daylight time
  };
  for (const auto& c : cases) EXPECT_EQ(formatGeneralDateTime(c.t), c.text);

  const LocalTime lt = toLocalTime(utc(2026y / 12 / 6, 23h + 14min + 17s + 250ms));
  EXPECT_EQ((std::vector<int>{lt.year, lt.month, lt.day, lt.hour, lt.minute, lt.second}),
            (std::vector<int>{2026, 12, 6, 18, 14, 17}));
  EXPECT_DOUBLE_EQ(lt.secondsSinceMidnight, 18 * 3600 + 14 * 60 + 17.25);
}

TEST_F(LocaleTest, SubtractDaysKeepsTheLocalTimeOfDayAcrossClockChanges) {
  // Noon daylight time on 20 March 2026, back 14 days to noon standard time.
  EXPECT_EQ(subtractDays(utc(2026y / 3 / 20, 16h + 250ms), 14), utc(2026y / 3 / 6, 17h + 250ms));
  EXPECT_EQ(subtractDays(utc(2026y / 1 / 5, 17h), 30), utc(2025y / 12 / 6, 17h));
}

TEST(FormatGrouped, GroupsByThousands) {
  const std::pair<uint64_t, std::string> cases[] = {{0, ""}, {999, "999"}, {1000, "1,000"}, {1234567, "1,234,567"}};
  for (const auto& [n, text] : cases) EXPECT_EQ(formatGrouped(n), text);
}

}  // namespace
}  // namespace platform
