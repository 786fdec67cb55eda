// The aircraft's track: straight legs between waypoints flown at constant ground speed and altitude, with
// banked turns at the waypoints. After the last waypoint the track goes round again from `loop_from`.
#pragma once

#include <cstddef>
#include <vector>

namespace sfmr::sim {

struct Waypoint {
  double lat;  // deg
  double lon;  // deg
};

struct AircraftState {
  double lat = 0.0;      // deg
  double lon = 0.0;      // deg
  double alt = 0.0;      // height above the surface, m
  double pitch = 0.0;    // deg
  double roll = 0.0;     // deg, positive right wing down
  double heading = 0.0;  // deg true
};

class Track {
 public:
  //   waypoints   the flight plan; the aircraft starts at the first one
  //   loop_from   index of the waypoint that the plan repeats from after the last one
  //   duration    seconds of flight to lay out
  //   speed       ground speed, m/s
  //   altitude    flight level above the sea, m
  //   turn_roll   bank angle in turns, deg
  Track(const std::vector<Waypoint>& waypoints, std::size_t loop_from, double duration, double speed,
        double altitude, double turn_roll);

  AircraftState at(double t) const;

  // Start and length of leg k (s); the legs are numbered from the first waypoint on.
  std::size_t leg_count() const { return legs_.size(); }
  double leg_start(std::size_t k) const { return legs_[k].start; }
  double leg_length(std::size_t k) const { return legs_[k].length; }

 private:
  struct Leg {
    Waypoint from, to;
    double start;    // s
    double length;   // s
    double heading;  // deg
    double turn;     // signed heading change at the end of the leg, deg (right positive)
  };
  std::vector<Leg> legs_;
  double altitude_;
  double turn_roll_;
};

// Distance in km and heading in degrees from a to b (local flat approximation).
void leg_geometry(const Waypoint& a, const Waypoint& b, double& km, double& heading);

}  // namespace sfmr::sim
