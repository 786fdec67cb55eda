// Aircraft record "%A": date, time, position, radar altitude, attitude, temperatures, flight-level wind.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/state.hpp"

namespace sfmr {

// Decodes one "%A" line into time and acft, field by field; the first unreadable or out-of-range field ends
// the decoding silently, leaving it and every later field as they were.
void decodeacft(State& s, std::string_view line);

// Day number (1 January 2000 is day 1) of a DD?MM?YYYY field, or -1 when it is not a valid date.
void decodedate(std::string_view text, std::int32_t& day);

// Second of the day of an HH?MM?SS field, or -1 when it is not a valid time.
void decodetime(std::string_view text, std::int32_t& sec);

}  // namespace sfmr
