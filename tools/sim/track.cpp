#include "sim/track.hpp"

#include <cmath>

#include "sim/storm.hpp"

namespace sfmr::sim {

namespace {
constexpr double kPi = 3.141592653589793;
constexpr double kTurnRate = 3.0;  // standard-rate turn, deg/s
}  // namespace

void leg_geometry(const Waypoint& a, const Waypoint& b, double& km, double& heading) {
  const double mid = 0.5 * (a.lat + b.lat) * kPi / 180.0;
  const double east = (b.lon - a.lon) * kKmPerDegLon * std::cos(mid);
  const double north = (b.lat - a.lat) * kKmPerDegLat;
  km = std::hypot(east, north);
  heading = std::atan2(east, north) * 180.0 / kPi;
  if (heading < 0.0) heading += 360.0;
}

Track::Track(const std::vector<Waypoint>& waypoints, std::size_t loop_from, double duration, double speed,
             double altitude, double turn_roll)
    : altitude_(altitude), turn_roll_(turn_roll) {
  std::size_t i = 0;
  double t = 0.0;
  while (t < duration + 1.0) {
    const std::size_t j = i + 1 < waypoints.size() ? i + 1 : loop_from;
    Leg leg{waypoints[i], waypoints[j], t, 0.0, 0.0, 0.0};
    double km = 0.0;
    leg_geometry(leg.from, leg.to, km, leg.heading);
    leg.length = km * 1000.0 / speed;
    legs_.push_back(leg);
    t += leg.length;
    i = j;
  }
  for (std::size_t k = 0; k + 1 < legs_.size(); ++k) {
    double d = legs_[k + 1].heading - legs_[k].heading;
    while (d > 180.0) d -= 360.0;
    while (d < -180.0) d += 360.0;
    legs_[k].turn = d;
  }
}

AircraftState Track::at(double t) const {
  std::size_t k = 0;
  while (k + 1 < legs_.size() && t >= legs_[k + 1].start) ++k;
  const Leg& leg = legs_[k];
  const double f = leg.length > 0.0 ? (t - leg.start) / leg.length : 0.0;
  AircraftState a;
  a.lat = leg.from.lat + f * (leg.to.lat - leg.from.lat);
  a.lon = leg.from.lon + f * (leg.to.lon - leg.from.lon);
  a.heading = leg.heading;
  a.alt = altitude_ + 30.0 * std::sin(t / 300.0);
  a.pitch = 2.0 + 0.5 * std::sin(t / 53.0);
  a.roll = 1.5 * std::sin(t / 37.0);
  // Banked for the duration of a standard-rate turn, centred on the waypoint.
  auto bank = [&](double turn, double at) {
    const double half = std::fabs(turn) / kTurnRate / 2.0;
    if (std::fabs(t - at) < half) a.roll = turn > 0.0 ? turn_roll_ : -turn_roll_;
  };
  bank(leg.turn, leg.start + leg.length);
  if (k > 0) bank(legs_[k - 1].turn, leg.start);
  return a;
}

}  // namespace sfmr::sim
