// Civil dates as day counts: days since 1970-01-01 of a proleptic Gregorian date, and back. The companion
// tools use them for archive times (seconds since 1970) and the storm formats' YYYYMMDDHH stamps.
// Algorithms after H. Hinnant, "chrono-Compatible Low-Level Date Algorithms" (days_from_civil and
// civil_from_days), exact for every date of a long. is_civil_date tells a day of the calendar from a text
// that only looks like one (31 February, month 13).
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

// Whether y-m-d names a day of the calendar: month 1 to 12 and the day within that month's length (29
// February only in a leap year). The day count of an impossible date lands on another day, so the round
// trip tells them apart.
inline bool is_civil_date(int y, int m, int d) {
  if (m < 1 || m > 12 || d < 1 || d > 31) return false;
  int yy = 0, mm = 0, dd = 0;
  civil_from_days(days_from_civil(y, m, d), yy, mm, dd);
  return yy == y && mm == m && dd == d;
}

}  // namespace sfmr
