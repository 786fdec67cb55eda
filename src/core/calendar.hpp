// Civil dates as day counts: days since 1970-01-01 of a proleptic Gregorian date, and back. The companion
// tools use them for archive times (seconds since 1970) and the storm formats' YYYYMMDDHH stamps.
// Algorithms after H. Hinnant, "chrono-Compatible Low-Level Date Algorithms" (days_from_civil and
// civil_from_days), exact for every date of a long.
#pragma once

namespace sfmr {

inline long days_from_civil(int y, int m, int d) {
  y -= m <= 2;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const long yoe = y - era * 400;                                   // [0, 399]
  const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;  // [0, 365]
  const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;           // [0, 146096]
  return era * 146097 + doe - 719468;
}

inline void civil_from_days(long z, int& y, int& m, int& d) {
  z += 719468;
  const long era = (z >= 0 ? z : z - 146096) / 146097;
  const long doe = z - era * 146097;
  const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

}  // namespace sfmr
