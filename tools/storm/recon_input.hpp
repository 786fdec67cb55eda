// HDOB archives as the storm analysis's flights, and operational fixes (vortex data messages, an ATCF
// f-deck) for the comparison with the analysis's own.
//
// An HDOB line every 30 s (sometimes 60 s) carries the radiometer's peak 10-s surface wind over the 30 s
// before and after it: from 15 s after the previous line's time to 15 s after its own. The analysis works on
// seconds, so each mission becomes a Series of one second per step: each second holds the peak of the line
// whose 30 s cover it. The leg's largest 10-s mean over held peaks is then the largest HDOB peak itself, with
// no further averaging (a 10-s mean is already inside every peak). Positions are given to whole minutes
// (1.85 km of latitude): a straight line fitted by least squares through the five lines around each one (two
// minutes) takes up the rounding before the positions are interpolated to the seconds, so that the course
// over 10 s does not swing with it. A gap of more than 90 s between lines is a turn (no position).
#pragma once

#include <string>
#include <vector>

#include "recon/fix_compare.hpp"
#include "recon/hdob.hpp"
#include "storm/analysis.hpp"

namespace sfmr::storm {

// The 30-s lines of one mission as the centre's other evidence needs them (NaN where missing or suspect).
struct HdobLines {
  std::vector<double> t;                       // s since 1970
  std::vector<double> lat, lon;                // deg, as transmitted (whole minutes)
  std::vector<double> surface_pressure_hpa;    // extrapolated to the surface
  std::vector<double> wind_from_deg, wind_ms;  // flight-level wind, 30-s mean
};

struct HdobMission {
  std::string mission;  // "AF304 3005A DORIAN" (aircraft, mission, storm name)
  std::string storm;    // storm number and basin letter (05A)
  Series series;        // one second per step (see above)
  HdobLines lines;
};

// A mission's lines give up to this spacing (s); a wider gap is a turn or a loss of data.
constexpr double kHdobGapS = 90.0;

// The missions of an archive, each as a Series named after its mission identifier.
std::vector<HdobMission> hdob_missions(const recon::HdobArchive& archive);

// The operational fixes of a file of vortex data messages (read with `reference_time`, s since 1970, for
// their month) or of an ATCF f-deck (its centre fixes; no pressure or accuracy). Throws std::runtime_error
// "FILE: ..." for a file that is neither or that does not parse.
std::vector<recon::OperationalFix> read_operational_fixes(const std::string& text, const std::string& file,
                                                          double reference_time);

}  // namespace sfmr::storm
