// Reading back the per-flight archive file that sfmr2nc writes: the series a flight's analysis needs, with
// the times as seconds since 1970-01-01 UTC. A file that is not the converter's (no netCDF, another
// software_name, a variable missing, a time unit other than "seconds since YYYY-MM-DD 00:00:00") is an
// error naming what is wrong.
#pragma once

#include <string>
#include <vector>

#include "core/calendar.hpp"

namespace sfmr::archive {

struct ArchiveFlight {
  std::string path;               // as named by the caller
  std::string flight;             // the trajectory's identifier
  std::vector<double> time;       // s since 1970-01-01 00:00:00 UTC
  std::vector<float> lat, lon;    // deg
  std::vector<float> wind, rain;  // retrieved 10-m wind (m/s) and rain rate (mm/h); NaN without a retrieval
  std::vector<float> roll;        // deg; NaN where the output file had none
  std::vector<float> wind_se;     // standard error of the wind (m/s); empty when the file has none
};

// Reads `path` into `flight`. Returns an empty string or the reason the file cannot be used (without the
// file name).
std::string read_archive_flight(const std::string& path, ArchiveFlight& flight);

using sfmr::days_from_civil;  // days since 1970-01-01 of a civil date

}  // namespace sfmr::archive
