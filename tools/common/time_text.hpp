// Times as the companion tools write them, on the one calendar of core/calendar.hpp (seconds since
// 1970-01-01 00:00:00 UTC, proleptic Gregorian).
//   clock_text  "HH:MM:SS" of a second of the day, 0 to 86399
//   iso_time    "YYYY-MM-DDTHH:MM:SSZ" of a time in seconds since 1970, rounded to the second (halves away
//               from zero); empty when the time is not finite
#pragma once

#include <cstdint>
#include <string>

namespace sfmr::tool {

std::string clock_text(std::int64_t second_of_day);
std::string iso_time(double t);

}  // namespace sfmr::tool
