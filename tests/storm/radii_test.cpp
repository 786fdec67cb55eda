// The wind radii and their flags on radial legs through a still vortex of known profile: a quadrant sampled
// only outside the crossing (U), one sampled inside the RMW below the threshold (0), data ending above the
// threshold (E), too few means (U), a leg along a quadrant boundary with the centre 20 m either side, and one
// 10 deg off a boundary; with a wiggle on the wind, data ending or reaching within its noise of the
// threshold, and with the centre's error, a leg on a boundary and a core no longer surely inside the RMW;
// a quadrant flown far out beside the neighbour's boundary leg; the margin of a threshold's exceedance.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "core/constants.hpp"
#include "storm/analysis.hpp"

namespace sfmr::storm {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kRmw = 30.0;  // km

// Wind of the vortex at r km: rising linearly to vmax at the RMW, then vmax (RMW / r)^0.6.
double profile(double vmax, double r) {
  return r < kRmw ? vmax * r / kRmw : vmax * std::pow(kRmw / r, 0.6);
}

// Where the profile falls to `wind` outside the RMW, km.
double crossing(double vmax, double wind) {
  return kRmw * std::pow(wind / vmax, -1.0 / 0.6);
}

struct Track {
  double bearing, r0, r1;  // deg, km: a radial leg from r0 to r1
};

struct Case {
  const char* name;
  double vmax;  // m/s
  std::vector<Track> legs;
  double shift_km;  // the centre lies this far north of the legs' origin
  std::size_t threshold, quadrant;
  char flag;               // 'E', 'U' or ' '
  double nmi;              // the radius in n mi, NaN when unknown; the crossing when negative
  double wiggle = 0.0;     // m/s: amplitude of a 20-s sine on the wind, the 10-s means' noise
  double centre_sd = 0.0;  // km: standard error of the centre in every direction
  double tolerance = 0.5;  // n mi
  double long_sd = 0.0;    // km: the centre's error along long_bearing, beyond centre_sd
  double long_bearing = 0.0;
};

Radii radii_of(const Case& c) {
  const Plane plane = Plane::at(26.0, -85.0);
  Series s;
  s.name = c.name;
  std::vector<Leg> legs;
  // A leg through the core in the SW quadrant gives the storm's RMW.
  std::vector<Track> tracks = c.legs;
  tracks.push_back({225.0, 1.0, 60.0});
  for (const Track& tr : tracks) {
    Leg leg;
    leg.begin = s.t.size();
    double phase = 0.0;
    const double b = tr.bearing * std::numbers::pi / 180.0;
    for (double r = tr.r0; r <= tr.r1; r += 0.13) {  // 130 m/s
      double lat = 0.0, lon = 0.0;
      plane.to_latlon(r * std::sin(b), r * std::cos(b), lat, lon);
      s.t.push_back(1.8e9 + static_cast<double>(s.t.size()));
      s.lat.push_back(lat);
      s.lon.push_back(lon);
      s.wind.push_back(profile(c.vmax, r) + c.wiggle * std::sin(phase));
      phase += std::numbers::pi / 10.0;
      s.rain.push_back(0.0);
      s.turn.push_back(0);
    }
    leg.end = s.t.size();
    leg.has_peak = tr.r0 < kRmw && tr.r1 > kRmw;
    leg.peak = c.vmax;
    leg.peak_radius_km = kRmw;
    legs.push_back(leg);
  }
  const CentreFn centre = [plane, &c](double, double& lat, double& lon) {
    plane.to_latlon(0.0, c.shift_km, lat, lon);
  };
  const CentreVarFn centre_var = [&c](double, double bearing) {
    const double along = std::cos((bearing - c.long_bearing) * std::numbers::pi / 180.0);
    return c.centre_sd * c.centre_sd + c.long_sd * c.long_sd * along * along;
  };
  return wind_radii({s}, legs, centre, centre_var);
}

TEST(StormRadii, FlagsSayWhatTheDataShow) {
  const double r34 = crossing(40.0, 34.0 * kMsPerKt) / kKmPerNmi;
  const double r64 = crossing(36.0, 64.0 * kMsPerKt) / kKmPerNmi;
  const double end_in = crossing(40.0, 34.0 * kMsPerKt - 0.3),
               end_out = crossing(40.0, 34.0 * kMsPerKt - 3.0);
  const Case cases[] = {
      {"sampled only outside the 64-kt crossing: unknown", 40.0, {{45.0, 60.0, 150.0}}, 0.0, 2, 0, 'U', kNaN},
      {"the same leg shows the 34-kt crossing", 40.0, {{45.0, 60.0, 150.0}}, 0.0, 0, 0, ' ', -1.0},
      {"inside the RMW and below 64 kt: not reached", 30.0, {{45.0, 2.0, 150.0}}, 0.0, 2, 0, ' ', 0.0},
      {"data end above 34 kt: lower bound", 40.0, {{45.0, 2.0, 90.0}}, 0.0, 0, 0, 'E', 90.0 / kKmPerNmi},
      {"too few means: unknown", 40.0, {{45.0, 100.0, 103.0}}, 0.0, 0, 0, 'U', kNaN},
      {"not sampled at all: unknown, never 0", 40.0, {}, 0.0, 1, 1, 'U', kNaN},
      {"leg 10 deg off the NE/SE boundary, 10-26 km from it: not SE",
       40.0,
       {{80.0, 60.0, 150.0}},
       0.0,
       0,
       1,
       'U',
       kNaN},
      {"leg on the NE/SE boundary, centre 20 m north: NE", 40.0, {{90.0, 2.0, 150.0}}, 0.02, 0, 0, ' ', -1.0},
      {"leg on the NE/SE boundary, centre 20 m north: SE", 40.0, {{90.0, 2.0, 150.0}}, 0.02, 0, 1, ' ', -1.0},
      {"leg on the NE/SE boundary, centre 20 m south: NE",
       40.0,
       {{90.0, 2.0, 150.0}},
       -0.02,
       0,
       0,
       ' ',
       -1.0},
      {"leg on the NE/SE boundary, centre 20 m south: SE",
       40.0,
       {{90.0, 2.0, 150.0}},
       -0.02,
       0,
       1,
       ' ',
       -1.0},
      {"boundary leg, centre within 2 km: not NE", 40.0, {{90.0, 2.0, 150.0}}, .02, 0, 0, 'U', kNaN, 0, 2},
      {"leg 1.5 km inside SE, centre within 1 km: SE", 40.0, {{90.0, 2.0, 150.0}}, 1.5, 0, 1, ' ', -1, 0, 1},
      {"a leg ending above 34 kt: E", 40.0, {{45.0, 2.0, 150.0}, {80.0, 2.0, 60.0}}, 0, 0, 0, 'E', -1},
      {"core below 64 kt, centre within 20 km: U", 30.0, {{45.0, 2.0, 150.0}}, 0, 2, 0, 'U', kNaN, 0, 20},
      {"data end 0.3 m/s below 34 kt, in noise: E", 40.0, {{45.0, 2.0, end_in}}, 0, 0, 0, 'E', -1, 0.2, 0, 1},
      {"data end 3 m/s below 34 kt: shown", 40.0, {{45.0, 2.0, end_out}}, 0, 0, 0, ' ', -1, 0.2, 0, 1},
      {"64 kt reached in the noise off the core: U", 33.3, {{45.0, 30.5, 150.0}}, 0, 2, 0, 'U', kNaN, 0.2},
      {"64 kt exceeded beyond the noise: shown", 36.0, {{45.0, 30.5, 150.0}}, 0, 2, 0, ' ', r64, 0.2, 0, 1},
      // A quadrant flown only far out beside the neighbour's leg 1 deg beyond its boundary (in the band
      // out to 115 km), which crosses the core and reaches 64 kt: its own leg judges it.
      {"NE flown far out, SE's leg 1 deg off the line: 64 kt U",
       40,
       {{45, 60, 150}, {91, 2, 150}},
       0,
       2,
       0,
       'U',
       kNaN},
      {"NE flown far out, SE's leg 1 deg off the line: 34 kt E",
       40,
       {{45, 60, 150}, {91, 2, 150}},
       0,
       0,
       0,
       'E',
       -1.0},
      // The centre's error 10 km along the leg, 0.1 km across it: a mean 2-10 km out may lie on the far
      // side of the centre, so the leg shows no core of NE.
      {"core leg, centre 10 km off along it: U", 30, {{80, 2, 150}}, 0, 2, 0, 'U', kNaN, 0, 0.1, 0.5, 10, 80},
      {"core leg on NE's diagonal, centre 10 km off across it: 0",
       30,
       {{45, 2, 150}},
       0,
       2,
       0,
       ' ',
       0.0,
       0,
       0.1,
       0.5,
       10,
       135},
  };
  for (const Case& c : cases) {
    const Radii r = radii_of(c);
    const std::size_t k = c.threshold, q = c.quadrant;
    EXPECT_EQ(r.unknown[k][q], c.flag == 'U') << c.name;
    EXPECT_EQ(r.lower_bound[k][q], c.flag == 'E') << c.name;
    const double want = c.nmi < 0.0 ? r34 : c.nmi;
    if (std::isnan(want))
      EXPECT_TRUE(std::isnan(r.km[k][q])) << c.name << ": " << r.km[k][q];
    else
      EXPECT_NEAR(r.km[k][q] / kKmPerNmi, want, c.tolerance) << c.name;
  }
}

// The margin by which a 10-s mean must exceed a threshold against the exact order statistics of the largest
// of K standard normal deviates (mean and standard deviation by quadrature of K x phi(x) Phi(x)^(K-1)): mean
// plus two deviations, within 0.25 noises, for K independent 10-s means (10 K running ones).
TEST(StormRadii, ExceedanceMarginFollowsTheLargestOfKMeans) {
  struct Case {
    const char* name;
    double independent;
  };
  const Case cases[] = {{"one window", 1}, {"two", 2}, {"five", 5}, {"ten", 10}, {"twenty", 20}};
  for (const Case& c : cases) {
    double m1 = 0.0, m2 = 0.0;
    for (double x = -8.0; x <= 8.0; x += 1e-3) {
      const double phi = std::exp(-0.5 * x * x) / std::sqrt(2.0 * std::numbers::pi);
      const double cdf = 0.5 * std::erfc(-x / std::sqrt(2.0));
      const double density = c.independent * phi * std::pow(cdf, c.independent - 1.0) * 1e-3;
      m1 += x * density;
      m2 += x * x * density;
    }
    const double want = m1 + 2.0 * std::sqrt(m2 - m1 * m1);
    EXPECT_NEAR(exceedance_margin(10.0 * c.independent), want, 0.25) << c.name;
  }
}

}  // namespace
}  // namespace sfmr::storm
