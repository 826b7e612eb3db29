#include "Locale.h"

#include <cstdio>
#include <ctime>

namespace platform {

namespace {

using std::chrono::seconds;

struct SplitTime {
  std::tm local;
  Clock::duration fraction;  // below the whole second
};

SplitTime split(TimePoint t) {
  const auto whole = std::chrono::floor<seconds>(t);
  const std::time_t secs = static_cast<std::time_t>(whole.time_since_epoch().count());
  SplitTime out{};
  out.local = env()->localCalendar(secs);
  out.fraction = t - whole;
  return out;
}

}  // namespace

LocalTime toLocalTime(TimePoint t) {
  const SplitTime s = split(t);
  const std::tm& tm = s.local;
  const double fraction = std::chrono::duration<double>(s.fraction).count();
  return {tm.tm_year + 1900,
          tm.tm_mon + 1,
          tm.tm_mday,
          tm.tm_hour,
          tm.tm_min,
          tm.tm_sec,
          tm.tm_hour * 3600.0 + tm.tm_min * 60.0 + tm.tm_sec + fraction};
}

TimePoint subtractDays(TimePoint t, int days) {
  SplitTime s = split(t);
  s.local.tm_mday -= days;
  s.local.tm_isdst = -1;  // the earlier date may lie on the other side of a clock change
  return Clock::from_time_t(env()->fromLocalCalendar(s.local)) + s.fraction;
}

std::string formatGeneralDateTime(TimePoint t) {
  const LocalTime lt = toLocalTime(t);
  const int hour12 = lt.hour % 12 == 0 ? 12 : lt.hour % 12;
  char text[64];
  std::snprintf(text, sizeof text, "%d/%d/%d %d:%02d:%02d %s", lt.month, lt.day, lt.year, hour12, lt.minute, lt.second,
                lt.hour < 12 ? "AM" : "PM");
  return text;
}

std::string formatGrouped(uint64_t n) {
  if (n == 0) return "";
  const std::string digits = std::to_string(n);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

}  // namespace platform
