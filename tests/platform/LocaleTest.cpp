#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "platform/Locale.h"

namespace platform {
namespace {

using namespace std::chrono;
using namespace std::chrono_literals;

// Local time is US Eastern (UTC-5, daylight time UTC-4 from the second
// Sunday in March to the first Sunday in November) for these tests.
class LocaleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* tz = std::getenv("TZ")) savedTz_ = tz;
    setenv("TZ", "EST5EDT,M3.2.0,M11.1.0", 1);
    tzset();
  }
  void TearDown() override {
    if (savedTz_.empty()) {
      unsetenv("TZ");
    } else {
      setenv("TZ", savedTz_.c_str(), 1);
    }
    tzset();
  }

  static TimePoint utc(year_month_day date, Clock::duration timeOfDay) { return sys_days(date) + timeOfDay; }

 private:
  std::string savedTz_;
};

TEST_F(LocaleTest, GeneralDateTimeUsesTwelveHours) {
  const struct {
    TimePoint t;
    std::string text;
  } cases[] = {
      {utc(2026y / 12 / 6, 23h + 14min + 17s), "12/6/2026 6:14:17 PM"},
      {utc(2026y / 12 / 6, 5h), "12/6/2026 12:00:00 AM"},
      {utc(2026y / 12 / 6, 17h), "12/6/2026 12:00:00 PM"},
      {utc(2026y / 1 / 2, 14h + 5min + 3s + 900ms), "1/2/2026 9:05:03 AM"},
      {utc(2026y / 7 / 4, 3h + 59min + 59s), "7/3/2026 11:59:59 PM"},  // daylight time
  };
  for (const auto& c : cases) EXPECT_EQ(formatGeneralDateTime(c.t), c.text);
}

TEST_F(LocaleTest, LocalTimeParts) {
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
  const struct {
    uint64_t n;
    std::string text;
  } cases[] = {{0, ""}, {7, "7"}, {999, "999"}, {1000, "1,000"}, {1234567, "1,234,567"}, {600000000, "600,000,000"}};
  for (const auto& c : cases) EXPECT_EQ(formatGrouped(c.n), c.text);
}

}  // namespace
}  // namespace platform
