#include "platform/Locale.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace platform {
namespace {

using namespace std::chrono;
using namespace std::chrono_literals;

TimePoint utc(year_month_day date, Clock::duration timeOfDay) { return sys_days(date) + timeOfDay; }

// Local time is US Eastern (UTC-5, daylight time UTC-4 from the second Sunday in March to the first Sunday in November)
// for these tests.
class LocaleTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("TZ", "EST5EDT,M3.2.0,M11.1.0", 1), tzset(); }
  void TearDown() override { unsetenv("TZ"), tzset(); }
};

TEST_F(LocaleTest, GeneralDateTimeUsesTwelveHoursAndLocalTime) {
  // An evening, midnight, noon, a morning with a fraction, and daylight time.
  const std::pair<TimePoint, std::string> cases[] = {
      {utc(2026y / 12 / 6, 23h + 14min + 17s), "12/6/2026 6:14:17 PM"},
      {utc(2026y / 12 / 6, 5h), "12/6/2026 12:00:00 AM"},
      {utc(2026y / 12 / 6, 17h), "12/6/2026 12:00:00 PM"},
      {utc(2026y / 1 / 2, 14h + 5min + 3s + 900ms), "1/2/2026 9:05:03 AM"},
      {utc(2026y / 7 / 4, 3h + 59min + 59s), "7/3/2026 11:59:59 PM"}};
  for (const auto& [t, text] : cases) EXPECT_EQ(formatGeneralDateTime(t), text);
  EXPECT_DOUBLE_EQ(toLocalTime(utc(2026y / 12 / 6, 23h + 14min + 17s + 250ms)).secondsSinceMidnight,
                   18 * 3600 + 14 * 60 + 17.25);
}

TEST_F(LocaleTest, SubtractDaysKeepsTheLocalTimeOfDayAcrossClockChanges) {
  // Noon daylight time on 20 March 2026, back 14 days to noon standard time.
  EXPECT_EQ(subtractDays(utc(2026y / 3 / 20, 16h + 250ms), 14), utc(2026y / 3 / 6, 17h + 250ms));
  EXPECT_EQ(subtractDays(utc(2026y / 1 / 5, 17h), 30), utc(2025y / 12 / 6, 17h));
}

}  // namespace
}  // namespace platform
