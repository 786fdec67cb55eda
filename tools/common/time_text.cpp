#include "common/time_text.hpp"

#include <cmath>

#include "core/calendar.hpp"
#include "core/constants.hpp"
#include "core/text.hpp"

namespace sfmr::tool {

std::string clock_text(std::int64_t second_of_day) {
  const std::int64_t s = second_of_day;
  return format_I(s / 3600, 2, 2) + ":" + format_I(s % 3600 / 60, 2, 2) + ":" + format_I(s % 60, 2, 2);
}

std::string iso_time(double t) {
  if (!std::isfinite(t)) return {};
  const long sec = std::lround(t);
  // Floor division, so that a time before 1970 falls on the day before.
  const long day = sec >= 0 ? sec / kSecondsPerDay : (sec - kSecondsPerDay + 1) / kSecondsPerDay;
  int y = 0, m = 0, d = 0;
  civil_from_days(day, y, m, d);
  return format_I(y, 4, 4) + "-" + format_I(m, 2, 2) + "-" + format_I(d, 2, 2) + "T" +
         clock_text(sec - day * kSecondsPerDay) + "Z";
}

}  // namespace sfmr::tool
