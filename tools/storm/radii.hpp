// Wind radii: per quadrant of bearing from the storm's centre, the largest distance at which the 10-s mean
// surface wind of the flights' legs reaches 34, 50 and 64 kt, given only where the data show it.
//
// Over the 10-s means of all legs (10 consecutive seconds, at least 7 retrieved), per quadrant NE, SE, SW,
// NW of bearing from the centre at the mean's time:
//   - a mean within 2 km of a quadrant boundary (its distance from the boundary's line through the centre)
//     counts for both quadrants. Figure-four legs are flown along the boundaries (north-south and
//     east-west), so with a hard boundary a shift of the centre by metres moves a whole leg from one
//     quadrant to the other and the radius with it. The band is a distance, not an angle: what puts a
//     mean on either side is the centre's error, a distance, and a leg flown 10 deg off a boundary lies
//     10-25 km from it where the radii are taken, plainly in its own quadrant;
//   - the radius is the largest distance of a mean at or above the threshold. It is flagged E (a lower
//     bound) unless a mean below the threshold lies within 5 km beyond it: the data end, or have a gap,
//     before they show the wind falling below the threshold;
//   - when no mean of the quadrant reaches the threshold, the radius is 0 (not reached) only when the
//     quadrant's means reach inside the storm's RMW (the range of the largest leg peak), where the wind
//     is strongest; otherwise the crossing may lie inward of the data and the radius is unknown (U);
//   - a quadrant with fewer than 20 means has every radius unknown (U).
#pragma once

#include <array>
#include <functional>
#include <vector>

#include "tracks/track_file.hpp"  // kRadiiThresholdsKt

namespace sfmr::storm {

struct Series;
struct Leg;

// The centre as a function of time (deg).
using CentreFn = std::function<void(double t, double& lat, double& lon)>;

// Wind radii, thresholds 34, 50, 64 kt by quadrant NE, SE, SW, NW.
struct Radii {
  // km: the radius; 0 when the data show the threshold is not reached; NaN when unknown.
  std::array<std::array<double, 4>, 3> km{};
  std::array<std::array<bool, 4>, 3> lower_bound{};  // E: the data end above the threshold
  std::array<std::array<bool, 4>, 3> unknown{};      // U: the data do not show the crossing
  std::array<bool, 4> has_data{};                    // any 10-s mean counts for the quadrant
};

constexpr double kRadiiBoundaryKm = 2.0;    // km: a mean this near a quadrant boundary counts for both
constexpr double kRadiiCrossingGap = 5.0;   // km: a crossing is shown by a mean below within this beyond
constexpr std::size_t kRadiiMinMeans = 20;  // 10-s means a quadrant needs for any radius

Radii wind_radii(const std::vector<Series>& flights, const std::vector<Leg>& legs, const CentreFn& centre);

}  // namespace sfmr::storm
