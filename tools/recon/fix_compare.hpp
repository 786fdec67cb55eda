// The storm tool's centre fixes held against the operational ones (vortex data messages, an ATCF f-deck):
// for each of the tool's fixes the operational fix nearest in time, the great-circle distance between them
// and the time difference; and each operational fix that no fix of the tool's comes within 15 minutes of.
#pragma once

#include <ostream>
#include <vector>

#include "recon/vdm.hpp"

namespace sfmr::recon {

// An operational fix's window: one with no fix of the tool's within this, s, is listed as unmatched.
constexpr double kUnmatchedWindowS = 900.0;

struct CentreFix {
  double time = 0.0;  // s since 1970-01-01 UTC
  double lat = 0.0;   // deg north
  double lon = 0.0;   // deg east
};

struct OperationalFix {
  double time = 0.0;
  double lat = 0.0, lon = 0.0;
  double pressure_hpa = kNotGiven;  // minimum sea-level pressure
  double accuracy_nmi = kNotGiven;  // the crew's meteorological accuracy
};

struct FixPair {
  CentreFix fix;
  long operational = -1;  // index of the nearest operational fix in time, -1 when there is none
  double distance_km = kNotGiven;
  double time_difference_s = kNotGiven;  // operational minus the tool's
};

struct FixComparison {
  std::vector<FixPair> pairs;          // one per fix of the tool's, in its order
  std::vector<std::size_t> unmatched;  // operational fixes with no fix of the tool's within the window
};

// Ties in time go to the earlier operational fix. Operational fixes without a finite time are not matched.
FixComparison compare_fixes(const std::vector<CentreFix>& tool,
                            const std::vector<OperationalFix>& operational);

// What the report says of a comparison: the median distance of the pairs within `window_s` of each other in
// time (pairs further apart compare two moments of a moving storm), and the pairs (indices into
// FixComparison::pairs) more than three times the crew's meteorological accuracy apart.
struct FixSummary {
  std::size_t compared = 0;               // pairs within the window
  double median_distance_km = kNotGiven;  // of those; the mean of the middle two for an even count
  std::vector<std::size_t> beyond_accuracy;
};
FixSummary summarise_fixes(const FixComparison& comparison, const std::vector<OperationalFix>& operational,
                           double window_s = kUnmatchedWindowS);

// The operational fixes of vortex data messages read with a reference time (VortexFix::time finite).
std::vector<OperationalFix> operational_fixes(const std::vector<VortexFix>& fixes);

// PREFIX.fix_compare.csv:
//   time,lat,lon,fix_time,fix_lat,fix_lon,fix_pressure_hpa,fix_accuracy_nmi,distance_km,time_difference_s
// times as the storm tool's centres.csv (YYYY-MM-DDThh:mm:ssZ), positions to 4 decimals, distances to
// 3 decimals, time differences in whole seconds; a field the operational fix does not give is empty.
void write_fix_compare_csv(std::ostream& out, const FixComparison& comparison,
                           const std::vector<OperationalFix>& operational);

}  // namespace sfmr::recon
