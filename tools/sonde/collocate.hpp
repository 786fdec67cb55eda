// Collocation of dropsondes with the radiometer: each sonde compared at its splash point with the second at
// which the aircraft passed nearest to it, within limits of distance and time.
//
// The radiometer's value is the 10-s mean of the retrieved wind (and rain, and that mean's standard error
// when the flight has the seconds' errors) over the seconds t0 - 5 s to t0 + 4 s around that second t0: the
// averaging the field compares with sondes (Uhlhorn et al. 2007, Mon. Wea. Rev. 135). With a storm track the
// nearest second is found in storm-relative coordinates: the aircraft's position less the centre's at its
// second, against the splash point less the centre's at the splash time, so that the comparison is made at
// the same place in the storm although the centre has moved between the two times.
#pragma once

#include <string>
#include <vector>

#include "sonde/sonde.hpp"

namespace sfmr::sonde {

// Defaults of the limits. A sonde falls from a 3-km flight level in about four minutes (11-12 m/s near the
// sea: Hock and Franklin 1999, Bull. Amer. Meteor. Soc. 80) and drifts 4-5 km in moderate winds, 10-20 km
// in an eyewall; the aircraft flies some 130 m/s, so a leg that crosses the splash point passes it within a
// few km and minutes. 10 km is about an eyewall's width, beyond which the two winds are no longer the same
// wind, and 15 minutes keeps a storm's change small beside the comparison's other errors.
inline constexpr double kDefaultMaxDistanceKm = 10.0;  // km
inline constexpr double kDefaultMaxTimeS = 900.0;      // s
// Longest time from the matched second over which the radiometer's change of wind is sought, s.
inline constexpr double kChangeSpanMaxS = 600.0;

// A flight's retrieved series, one sample per second, times increasing. `wind_se` is empty when the flight
// file has no standard errors.
struct FlightSeries {
  std::string name;
  std::vector<double> time;  // s since 1970
  std::vector<float> lat, lon;
  std::vector<float> wind, rain, wind_se;  // m/s, mm/h, m/s; NaN without a retrieval
};

// A storm centre's track, times increasing; positions between points by linear interpolation, held at the
// ends. Empty: no track, comparisons made earth-relative.
struct CentreTrack {
  std::vector<double> time, lat, lon;
  bool empty() const { return time.empty(); }
  Point at(double t) const;
};

struct Limits {
  double max_km = kDefaultMaxDistanceKm;
  double max_s = kDefaultMaxTimeS;
};

struct Matchup {
  bool matched = false;
  std::string reason;                               // why not matched
  double time = kNaN, lat = kNaN, lon = kNaN;       // the radiometer's second and position
  double wind = kNaN, rain = kNaN, wind_se = kNaN;  // 10-s means and the mean's standard error
  double distance_km = kNaN;                        // from the splash point (storm-relative with a track)
  double time_difference_s = kNaN;                  // radiometer minus splash
  double storm_range_km = kNaN, storm_bearing_deg = kNaN;  // the splash point's, with a track
  // The radiometer's own change of wind between the two points, m/s: the comparison's representativeness
  // error. The change along its track over the distance between the points (the larger of the two sides of
  // t0) or, with a track when it is larger, the change on the leg between the two points' ranges from the
  // centre.
  double representativeness = kNaN;
};

// The standard error of the 10-s mean wind at t0 (seconds t0 - 5 .. t0 + 4). The seconds' errors are partly
// correlated (a second's brightness temperatures are 2.5 to 5 s old, so neighbouring seconds share
// records, and the lag and rain terms of the error change slowly) and partly independent; a mean of n
// seconds keeps the correlated share of the variance whole and divides the independent share by n:
//   SE^2 = (1 - f) mean(s)^2 + f sum(s_i^2) / n^2,
// s_i the seconds' standard errors and f the independent share. With f = 0 it is the mean of the s_i,
// with f = 1 the standard error of a mean of independent errors. NaN without standard errors.
double ten_second_standard_error(const FlightSeries& f, double t0);

// The independent share f at t0, estimated from the flight itself: over the 10-s windows centred at
// t0 + 10 k, |k| <= kShareWindows, the scatter of the seconds' winds about their least-squares line in
// time (which takes out the wind's own change and the slowly changing part of the error) against the
// scatter the stated errors would give were they wholly independent, sum RSS / sum (n - 2) mean(s_i^2)
// (the expectation of a line's residual sum of squares over n points of independent errors), at most 1.
// 0 (the errors taken as wholly correlated) when no window has three seconds with a wind and an error.
double independent_share(const FlightSeries& f, double t0);
// Windows either side of the matched one over which the share is pooled: 3 (70 s, 56 degrees of freedom
// with every second retrieved).
inline constexpr int kShareWindows = 3;

// The matchup of a sonde splashing at `splash` with the nearest second of any of `flights`.
Matchup collocate(const Point& splash, const std::vector<FlightSeries>& flights, const CentreTrack& track,
                  const Limits& limits);

}  // namespace sfmr::sonde
