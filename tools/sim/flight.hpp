// Simulated research flight through a tropical cyclone: writes the raw data file a radiometer and the
// aircraft's data system would record, the calibration file, a setup file, the operator's answers and a
// truth file, so that the whole processing chain can be run and checked against known wind and rain.
//
// Brightness temperatures come from the project's forward model at the storm's wind and rain; they are
// turned into counts by inverting the calibration formula with the instrument temperatures of the same
// second, so the processing reproduces them up to count quantisation and the added noise.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "sim/storm.hpp"
#include "sim/track.hpp"

namespace sfmr {
class SstField;
}

namespace sfmr::sim {

// The simulated radiometer: serial number, channel frequencies and calibration constants.
struct Radiometer {
  std::int32_t serial = 17;
  std::array<float, 6> freq = {4.74f, 5.31f, 5.57f, 6.02f, 6.69f, 7.09f};  // GHz
  std::array<std::array<float, 9>, 6> coef{};                              // c1..c9 per channel
};

Radiometer sample_radiometer();

// Flight patterns round the storm's centre. Every pass crosses the centre (but for its miss distance) from an
// end point about 110 km out to the opposite one; cross legs join the end of a pass to the start of the next.
//   kFigure4    passes heading west and south in turn (the cross legs turn one way, then the other)
//   kRotated4   the figure-four turned 45 degrees clockwise (unless --pattern-rotation says otherwise)
//   kAlpha      the cross legs always turn right by 90 degrees: passes heading west, south, east, north
//   kButterfly  three passes 60 degrees apart (headings south, north-east, north-west), short cross legs
//   kRandom     passes of random heading and length (80 to 160 km each side); random misses (see miss_km)
//   kSingle     one pass heading west, then straight on
enum class Pattern { kFigure4, kRotated4, kAlpha, kButterfly, kRandom, kSingle };

struct FlightOptions {
  std::uint64_t seed = 1;
  double hours = 2.0;                        // length of the record
  std::int32_t start_sec = 23 * 3600 + 600;  // second of day of the first record (23:10:00)
  int day = 7, month = 12, year = 2026;      // date of the first record
  bool land_leg = true;                      // ferry in from a base inland (a leg over land)
  double turn_roll = 25.0;                   // bank angle in turns, deg
  double drop_acft = 0.01;                   // probability that a second's "%A" line is missing
  int gap_seconds = 40;                      // one data-system gap with no "%A" lines (0: none)
  double damage = 0.002;                     // probability that a line is damaged
  double binary_damage = 0.0;                // probability that a line gets a bit flip or turns into noise
  double keep = 1.0;                         // share of the raw file's bytes kept (a transfer cut short)
  double noise = 0.2;                        // brightness temperature noise, K
  double miss_km = 0.0;                      // the legs pass this far right of the storm-relative centre, km
  Pattern pattern = Pattern::kFigure4;
  double pattern_rotation = 0.0;  // the whole pattern turned clockwise about the centre, deg
  std::vector<double> misses;  // miss of each pass in turn, km right of the pass (repeated); empty: miss_km
  int mission = 1;             // the flight's number among the missions into its storm, 1..99
  // kRandom: each pass misses by a random distance from -|miss_km| to |miss_km| unless `misses` is given.
};

// Seconds since 1970-01-01 UTC of the flight's first record.
double flight_start_seconds(const FlightOptions& options);

// One pass of the plan through the storm's centre.
struct PlannedPass {
  std::size_t leg = 0;   // index of its leg in the track
  double heading = 0.0;  // deg true
  double miss = 0.0;     // planned miss, km right of the pass
};

// The waypoints of a flight (storm-relative, laid out about the centre at t = 0) and its passes.
struct FlightPlan {
  std::vector<Waypoint> waypoints;
  std::size_t loop_from = 0;
  std::vector<PlannedPass> passes;
};

FlightPlan flight_plan(const FlightOptions& options, const Storm& storm, int seconds);

// The aircraft's track of a plan: 130 m/s at 3000 m.
Track plan_track(const FlightPlan& plan, const FlightOptions& options, int seconds);

// Aircraft position at `t` seconds: the flight plan is laid out around the storm's centre at t = 0 and
// carried along with the storm's motion, so every pass misses the moving centre by the same distance.
AircraftState aircraft_at(const Track& track, const Storm& storm, double t);

// Count ratio N for which the calibration formula gives `tb` (K) with the thermal values `th` (deg C):
//   Tb = c1 + c3 N + (c2 Th4 + c4 N Th4 + c5 Th5 + c6 Th2 + c7 N Th3 + c8 Th3 + c9 Th6) / 35,
// solved for N.
double ratio_for_tb(const std::array<float, 9>& c, const std::array<float, 8>& th, double tb);

// The three counts of a "%B" line whose count ratio (c2 - c1) / (c2 - c3) is `ratio` to within 1/20000,
// around the reference count `hot`.
std::array<std::int32_t, 3> counts_for_ratio(double ratio, std::int32_t hot);

// Model wind speed U whose rain-corrected value U - (0.2035 - 0.0043 U) R is `wind`, for rain rate `rain`.
double model_wind_for(double wind, double rain);

// True when `field` (may be null: never) marks the point as land.
bool over_land(const SstField* field, double lat, double lon);

// Bytes [begin, end) of the raw data file; `original` is the record as it was before the damage (empty for
// the last byte of a file cut short).
struct ByteRange {
  std::size_t begin = 0, end = 0;
  std::string original;
};

// Writes the raw data file and the truth file (CSV: Sec,WS,RR,Lat,Lon,Land) of one flight. `field`, when
// given, is a loaded SST field whose land cells mark where the aircraft flies over land. `damaged`, when
// given, receives the byte ranges of the raw file that damage touched (damaged and added lines, the last
// byte of a file cut short). Returns the number of seconds written.
int write_flight(const FlightOptions& options, const Storm& storm, const Radiometer& radiometer,
                 const SstField* field, std::ostream& raw, std::ostream& truth,
                 std::vector<ByteRange>* damaged = nullptr);

// Calibration file with the blocks of three radiometers, the simulated one among them.
void write_calibration_file(std::ostream& out, const Radiometer& radiometer);

// Setup file naming the three files, the radiometer's frequencies, a negative default SST (take the SST
// from the grid, 20 deg C where it has none) and the line filter.
void write_setup_file(std::ostream& out, const std::string& raw, const std::string& cal,
                      const std::string& sst, const Radiometer& radiometer);

}  // namespace sfmr::sim
