// Wind radii: per quadrant of bearing from the storm's centre, the largest distance at which the 10-s mean
// surface wind of the flights' legs reaches 34, 50 and 64 kt, given only where the data show it.
//
// Over the 10-s means of all legs (10 consecutive seconds, at least 7 retrieved), per quadrant NE, SE, SW,
// NW of bearing from the centre at the mean's time. A mean is within the noise of a threshold when it lies
// less than two of its leg's 10-s noise (ten_second_noise) from it, and its side of a quadrant boundary is
// uncertain within two standard errors of the centre across the boundary's line (sigma_c, at the mean's
// time: the fit's covariance, motion included, or the track's; east across the north-south line, north
// across the east-west one, both lines for every mean: near the centre a mean lies near both, and passes
// at few headings leave the centre's error much larger along one of them):
//   - a mean counts for a quadrant when it lies in it or within 2 km beyond a boundary's line through the
//     centre (less than 90 deg past it). Figure-four legs are flown along the boundaries (north-south and
//     east-west), so with a hard boundary a shift of the centre by metres moves a whole leg from one
//     quadrant to the other and the radius with it. The band is a distance, not an angle: what puts a
//     mean on either side is the centre's error, a distance, and a leg flown 10 deg off a boundary lies
//     10-25 km from it where the radii are taken, plainly in its own quadrant;
//   - a quadrant shows its own data only through its sure means, those that would still count for it
//     with the centre moved by 2 sigma_c across either boundary line (inside it by more than 2 sigma_c
//     less the 2-km band, east and north); with fewer than 20 of them every radius is unknown (U): a leg on a
//     boundary whose side the centre's error cannot tell belongs to no quadrant for sure;
//   - the radius is the largest distance of a counted mean at or above the threshold. It is flagged E (a
//     lower bound) unless the data show the wind falling below the threshold beyond it: a sure mean below
//     the threshold within 5 km beyond the radius (no gap), and where the data end the wind below the
//     threshold beyond the noise: every counted mean from the outermost sure mean outwards, and the
//     outermost counted mean of every leg (a leg ending above the threshold leaves the radius open at its
//     bearing, and a leg in the band may be the quadrant's last data whichever side of it lies);
//   - a radius (or 0) is given only when a witness mean exceeds the threshold beyond the noise, or the
//     witnesses reach inside the storm's RMW (the range of the largest leg peak) by more than two standard
//     errors of that range and of the centre along the mean's bearing, where the wind is strongest;
//     otherwise the crossing may lie inward of the data, or the reach be noise: unknown (U). The
//     witnesses are the quadrant's own sure means (inside it about the fitted centre) when it has 20 of
//     them: a boundary leg counts for the radius on either side, but a quadrant flown only far out must
//     not take its core or its winds from the neighbour's leg just beyond its boundary. A quadrant seen
//     only along its boundaries (a figure-four's legs) is judged by its sure means. Beyond the noise is
//     beyond the largest of the near-threshold means' chance excesses (exceedance_margin), not two noises:
//     along a long leg whose wind lies at the threshold some 10-s mean lies two noises above it;
//   - when no counted mean reaches the threshold and the witnesses reach inside the RMW, the radius is 0.
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

// Variance (km^2) of the centre at time t along the bearing (deg) from it.
using CentreVarFn = std::function<double(double t, double bearing_deg)>;

constexpr double kRadiiBoundaryKm = 2.0;    // km: a mean this near a quadrant boundary counts for both
constexpr double kRadiiCrossingGap = 5.0;   // km: a crossing is shown by a mean below within this beyond
constexpr std::size_t kRadiiMinMeans = 20;  // sure 10-s means a quadrant needs for any radius
constexpr double kRadiiSigmas = 2.0;        // standard errors that make a difference shown (95 %)

// Noises of one 10-s mean by which one of `means` running 10-s means lying at a threshold (their number,
// K over the 10-s window's length independent ones) must exceed it to show it exceeded: the largest of K
// normal deviates has the mean mu_K ~ sqrt(2 ln K) - 0.6 and the spread s_K ~ 1 / (1 + 0.2 ln K) (as for a
// leg's peak, analysis.hpp step 7), and the margin is mu_K + kRadiiSigmas s_K (kRadiiSigmas for K = 1):
// along a ring of wind lying at the threshold over a long leg some mean lies 2 noises above it by chance.
double exceedance_margin(double means);

// The radii of `legs` of `flights` about `centre`, whose variance is `centre_var` (none when empty).
Radii wind_radii(const std::vector<Series>& flights, const std::vector<Leg>& legs, const CentreFn& centre,
                 const CentreVarFn& centre_var = {});

}  // namespace sfmr::storm
