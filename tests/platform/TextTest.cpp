#include "platform/Text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <memory>

#include "TestSupport.h"
#include "platform/KeyedTable.h"
#include "platform/Locale.h"

namespace platform {
namespace {

using test::errorNumberOf;
using Keys = std::vector<std::string>;

TEST(KeyedTable, KeepsInsertionOrderAndCaseSensitiveUniqueKeys) {
  KeyedTable<int> table;
  table.add("o", 1);
  table.add("e", 2);
  table.add("E", 3);
  table.set("e", 20);  // an existing key keeps its place
  table.remove("o");
  table.set("o", 10);  // a removed key comes back at the end
  EXPECT_EQ(table.keys(), (Keys{"e", "E", "o"}));
  EXPECT_EQ(table.item("e"), 20);
  EXPECT_EQ(table.item("E"), 3);
  EXPECT_EQ(errorNumberOf([&] { table.add("e", 4); }), 457);
  EXPECT_FALSE(table.exists("O"));
  EXPECT_EQ(errorNumberOf([&] { table.item("O"); }), 5);
  EXPECT_EQ(errorNumberOf([&] { table.remove("O"); }), 5);
}

TEST(KeyedTable, CopyIsIndependentOfTheOriginal) {
  auto original = std::make_unique<KeyedTable<int>>();
  original->add("a", 1);
  original->add("b", 2);
  KeyedTable<int> copy = *original;
  copy.set("a", 100);
  EXPECT_EQ(original->item("a"), 1);
  original.reset();
  copy.remove("b");
  EXPECT_EQ(copy.keys(), Keys{"a"});
}

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
  EXPECT_EQ(out, "\x80" "b");  // the text before the failure
}

TEST(Utf8, SanitizeReplacesEachMalformedSequenceAndLengthCountsCharacters) {
  // Valid text; truncated, overlong, surrogate and above U+10FFFF sequences.
  const std::pair<std::string, std::string> cases[] = {
      {"Z\u00FCrich \u20AC \U0001F600", "Z\u00FCrich \u20AC \U0001F600"}, {"\xE2\x82x", "\uFFFDx"},
      {"\xC0\xAF", "\uFFFD\uFFFD"}, {"\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD"}, {"\xF4\x90\x80\x80", "\uFFFD\uFFFD\uFFFD\uFFFD"}};
  for (const auto& [in, out] : cases) EXPECT_EQ(sanitizeUtf8(in), out) << in;
  EXPECT_EQ(utf8Length("Z\u00FCrich \u20AC\U0001F600"), 9u);
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
    for (size_t at = 0, bar; at <= pieces.size(); at = bar + 1) {
      bar = std::min(pieces.find('|', at), pieces.size());
      detector.feed(std::string_view(pieces).substr(at, bar - at));
    }
    return detector.isUtf8();
  };
  for (const auto& text : utf8) EXPECT_TRUE(detects(text)) << text;
  for (const auto& text : other) EXPECT_FALSE(detects(text)) << text;
}

TEST(ConsoleCharset, AsciiLocaleWritesQuestionMarkPerCharacter) {
  ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
  EXPECT_EQ(toConsoleCharset("Z\u00FCrich \u20AC5"), "Z?rich ?5");
}

using namespace std::chrono;
using namespace std::chrono_literals;

TimePoint utc(year_month_day date, Clock::duration timeOfDay) { return sys_days(date) + timeOfDay; }

// Local time is US Eastern (UTC-5, daylight time UTC-4 from the second
// Sunday in March to the first Sunday in November) for these tests.
class LocaleTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("TZ", "EST5EDT,M3.2.0,M11.1.0", 1), tzset(); }
  void TearDown() override { unsetenv("TZ"), tzset(); }
};

TEST_F(LocaleTest, GeneralDateTimeUsesTwelveHoursAndLocalTime) {
  // An evening, midnight, noon, a morning with a fraction, and daylight time.
  const std::pair<TimePoint, std::string> cases[] = {
      {utc(2026y / 12 / 6, 23h + 14min + 17s), "12/6/2026 6:14:17 PM"}, {utc(2026y / 12 / 6, 5h), "12/6/2026 12:00:00 AM"},
      {utc(2026y / 12 / 6, 17h), "12/6/2026 12:00:00 PM"}, {utc(2026y / 1 / 2, 14h + 5min + 3s + 900ms), "1/2/2026 9:05:03 AM"},
      {utc(2026y / 7 / 4, 3h + 59min + 59s), "7/3/2026 11:59:59 PM"}};
  for (const auto& [t, text] : cases) EXPECT_EQ(formatGeneralDateTime(t), text);

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
