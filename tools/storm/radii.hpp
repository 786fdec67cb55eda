// Wind radii: per quadrant of bearing from the storm's centre, the largest distance at which the 10-s mean
// surface wind of the flights' legs reaches 34, 50 and 64 kt.
#pragma once

#include <array>
#include <functional>
#include <vector>

namespace sfmr::storm {

struct Series;
struct Leg;

// The centre as a function of time (deg).
using CentreFn = std::function<void(double t, double& lat, double& lon)>;

// Wind radii, thresholds 34, 50, 64 kt by quadrant NE, SE, SW, NW.
struct Radii {
  std::array<std::array<double, 4>, 3> km{};  // 0 when never reached
  std::array<std::array<bool, 4>, 3> lower_bound{};
  std::array<bool, 4> has_data{};
};

constexpr std::array<double, 3> kRadiiThresholdsKt = {34.0, 50.0, 64.0};

Radii wind_radii(const std::vector<Series>& flights, const std::vector<Leg>& legs, const CentreFn& centre);

}  // namespace sfmr::storm
