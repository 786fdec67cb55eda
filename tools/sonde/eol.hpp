// EOL sounding files, text form (`D*.eol`, the dropsonde processing's output): reader and writer.
//
// Header lines `name: value` from `Data Type/Direction:` on, among them `Launch Location (lon,lat,alt):`
// (degrees, east and north positive, or with E/W and N/S; m) and `UTC Launch Time (y,m,d,h,m,s):`
// (`2017, 09, 20, 02:31:55`), the sonde id in `Sonde Id/Sonde Type:` and the mission and aircraft in
// `Project Name/Platform:`; then a line of column names, a line of units and a line of dashes; then one
// row per half second of 17 numbers: time after launch s, UTC hour, minute, second, pressure hPa,
// temperature C, dew point C, relative humidity %, u m/s, v m/s, speed m/s, direction deg, fall speed m/s,
// geopotential altitude m, longitude, latitude, GPS altitude m; -999 (written -999.00) is missing.
// The splash is the last row from the launch on (time 0 or later) with a position; a row's height is its
// geopotential altitude, else its GPS altitude.
#pragma once

#include <string>
#include <string_view>

#include "sonde/sonde.hpp"

namespace sfmr::sonde {

// The sonde of an EOL text file named `name` (for the record's heading). Throws SondeError "line N: what is
// wrong" for a broken header or a row that is not 17 numbers, and for a file without rows.
Sonde read_eol(std::string_view text, std::string_view name);

// True when the text's first non-blank line begins with "Data Type/Direction:".
bool looks_like_eol(std::string_view text);

// The EOL text of a sonde: its levels as rows (those with a time after the release; rows in the order of
// the levels), the launch from the release point.
std::string write_eol(const Sonde& sonde);

}  // namespace sfmr::sonde
