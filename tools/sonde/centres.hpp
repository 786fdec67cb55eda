// Storm centres from sfmrstorm's PREFIX.centres.csv (header time,lat,lon,source,... : the columns after
// source, accuracy_km and the fix's evidence, are not needed; times YYYY-MM-DDTHH:MM:SSZ): the centres found
// from the flights (source "flight"), else the track's rows.
#pragma once

#include <string_view>

#include "sonde/collocate.hpp"

namespace sfmr::sonde {

// Seconds since 1970 of "YYYY-MM-DDTHH:MM:SSZ"; NaN for anything else.
double parse_iso_time(std::string_view text);

// The centres of the file's text, sorted by time (a repeated time keeps its first row). Throws SondeError
// "line N: what is wrong" for a malformed row, or when the file holds no centre.
CentreTrack read_centres_csv(std::string_view text);

}  // namespace sfmr::sonde
