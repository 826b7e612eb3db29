// The user's locale forms: English (United States).
#pragma once

#include <cstdint>
#include <string>

#include "Env.h"

namespace platform {

struct LocalTime {
  int year, month, day;         // 2026, 1..12, 1..31
  int hour, minute, second;     // 0..23, 0..59, 0..59
  double secondsSinceMidnight;  // with the fraction of the current second
};

LocalTime toLocalTime(TimePoint t);

// `t` moved back by whole calendar days, keeping the local time of day.
TimePoint subtractDays(TimePoint t, int days);

// General date and time: "12/6/2026 6:14:17 PM" (midnight still shows time).
std::string formatGeneralDateTime(TimePoint t);

// Digits grouped by three with "," ("1,234,567"); zero gives "" as the
// "###,###" form does.
std::string formatGrouped(uint64_t n);

}  // namespace platform
