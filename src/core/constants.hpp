// Physical and time constants shared by the processing and the companion tools, each written once here.
#pragma once

#include <cstdint>

namespace sfmr {

// Kelvin offset, K: T(K) = T(deg C) + kKelvinOffset. The system has always converted with 273.146, not the
// exact 273.15, both when it reads the aircraft record's kelvin temperatures and when the radiative model
// takes the SST and air temperature in kelvin. It is kept so that every output stays as the system has
// always written it; the 0.004 K difference is far below the instruments' accuracy.
constexpr double kKelvinOffset = 273.146;

// Seconds in a day, s: the data clock runs 0..kSecondsPerDay - 1 and wraps at midnight.
constexpr std::int32_t kSecondsPerDay = 86400;

// Units of the storm exchange formats (ATCF, HURDAT2): winds in knots, distances in nautical miles.
constexpr double kMsPerKt = 0.514444;  // m/s per knot
constexpr double kKmPerNmi = 1.852;    // km per nautical mile (exact)

}  // namespace sfmr
