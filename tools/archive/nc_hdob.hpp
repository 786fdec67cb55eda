// A reconnaissance mission's HDOB archive as a CF-1.8 discrete-sampling trajectory in a netCDF-4 file, like
// a processed flight's: one trajectory (the mission), one sample per observation line (every 30 s, sometimes
// 60 s), ACDD-1.3 global attributes.
//
// `wind_speed` and `rain_rate` hold the radiometer's peak 10-s surface wind and its rain rate over the 30 s
// of each line (not the second-by-second retrieval of a flight file); beside them every other field of the
// line with its CF standard name where one exists: static pressure, geopotential height, the extrapolated
// surface pressure (or, above the 550-hPa level, the D-value as transmitted), air and dew-point temperature,
// the 30-s flight-level wind as speed and from-direction, its 10-s peak, and the two quality flag digits as
// CF flag variables. A value missing in the message or flagged suspect holds _FillValue.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "recon/hdob.hpp"

namespace sfmr::archive {

struct HdobFileMetadata {
  std::vector<std::string> files;  // the HDOB archives converted, as named on the command line
  std::string history;             // one line: time stamp and command line
  std::string date_created;        // ISO 8601, UTC
  std::string software_version;
};

// The archives of several files as one: messages appended in file order, each observation of a mission
// once (the first file that carries its time), in time order; counts added, faults kept in file order.
recon::HdobArchive merge_hdob(const std::vector<recon::HdobArchive>& parts);

// "" when the archive's observations are of one mission, else "missions of several ...: A, B" naming them.
std::string several_missions(const recon::HdobArchive& archive);

// The HDOB archives `files` read (recon::read_hdob, `storm` choosing a storm, empty for the only one) and
// merged. Throws a one-line std::runtime_error for a file the reader refuses, for missions of several storms
// among the files ("missions of several storms (05A DORIAN, 06A ERIN) in A B; choose one with --storm") and
// for several missions of one storm.
recon::HdobArchive read_hdob_files(const std::vector<std::string>& files, const std::string& storm);

// What the reading left out or did not use, one line each: every faulty message (named by the reader), then
// one summary line of the counts when any is above zero. Empty for a clean archive.
std::vector<std::string> hdob_report(const recon::HdobArchive& archive);

// Writes the file `path` (created, or overwritten: the caller's own temporary). Returns an empty string or
// what went wrong (the netCDF step and the library's message, without the file name).
std::string write_hdob_nc(const std::string& path, const recon::HdobArchive& archive,
                          const HdobFileMetadata& meta);

}  // namespace sfmr::archive
