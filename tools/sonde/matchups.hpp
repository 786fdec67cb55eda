// The matchups table, PREFIX.matchups.csv and .nc: the sondes table's columns, then
// matched,sfmr_time,sfmr_lat,sfmr_lon,sfmr_wind_speed,sfmr_rain_rate,sfmr_wind_speed_standard_error,
// distance_km,time_difference_s,storm_range_km,storm_bearing_deg; the reason a sonde is not matched added
// to its note. One row per sonde, then one per skipped bulletin (never matched).
#pragma once

#include <string>
#include <vector>

#include "sonde/collocate.hpp"
#include "sonde/sonde_stats.hpp"
#include "sonde/sondes_table.hpp"

namespace sfmr::sonde {

// Every sonde of `read` collocated with the flights (in the order of read.sondes).
std::vector<Matchup> collocate_all(const ReadResult& read, const std::vector<FlightSeries>& flights,
                                   const CentreTrack& track, const Limits& limits);

Table matchups_columns(const ReadResult& read, const ReductionTable& table,
                       const std::vector<Matchup>& matchups);

// The pairs of the matched sondes with a 10-m wind, for the statistics and the plots.
std::vector<Pair> matched_pairs(const ReadResult& read, const ReductionTable& table,
                                const std::vector<Matchup>& matchups);

}  // namespace sfmr::sonde
