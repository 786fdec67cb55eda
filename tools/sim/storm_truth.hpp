// What the simulated storm really was, written beside the flight: the centre track, the intensity and the
// wind radii, and the same track as an ATCF b-deck and as HURDAT2 (the storm of truth_storm_id and
// truth_storm_name), hourly from the hour before the flight to the hour after it.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "sim/flight.hpp"
#include "sim/storm.hpp"

namespace sfmr::sim {

// The truth storm's id, basin, number and year: the track's for a storm put from a track (AL092024), else
// storm 99 of the Atlantic in `year` (AL992026). A track id of another form (an f-deck's unnumbered storm)
// gives the latter too.
std::string truth_storm_id(const Storm& storm, int year);
// Its name: the track's (UNNAMED when the track gives none) for a storm put from a track, else SIMULATED.
std::string truth_storm_name(const Storm& storm);

// CSV Sec,Lat,Lon: the centre every 10 s of the flight (Sec the second of day, as in the truth file).
void write_centre_track(std::ostream& out, const FlightOptions& o, const Storm& storm, int seconds);

// CSV quantity,value: vmax_ms (the largest wind of the whole field), rmw_km (the distance of that wind from
// the centre), motion_east_ms, motion_north_ms, asymmetry_ms, then r34_km_NE .. r64_km_NW (the field's wind
// radii, km, 0 when the threshold is not reached).
void write_storm_facts(std::ostream& out, const Storm& storm);

// CSV quantity,value: what kind of storm was flown. profile (holland, wdr or concentric), holland_b, wdr_n,
// wdr_x1_km, wdr_x2_km, wdr_a, outer_radius_rmw, outer_ratio, wn1_ms, wn1_dir_deg, wn2_ms, wn2_dir_deg,
// eye_wind_ms, rain_ring_rmw, rain_dir_deg (-1: uniform), vmax_dir_deg (bearing of the largest wind from the
// centre), symmetric_vmax_ms, symmetric_rmw_km, epoch_s (seconds after the first record at which the
// centre is at lat0_deg, lon0_deg), lat0_deg, lon0_deg.
void write_storm_kind(std::ostream& out, const Storm& storm);

// A pass of the plan as flown: its leg's start and end and the closest approach to the moving centre
// (seconds after the first record) and the miss there (km, positive with the centre on the left).
struct FlownPass {
  PlannedPass plan;
  double start = 0.0, end = 0.0;
  double closest = 0.0;
  double miss = 0.0;
};

// The passes whose closest approach falls within the flight, in order (to 0.1 s).
std::vector<FlownPass> flown_passes(const FlightOptions& o, const Storm& storm, int seconds);

// CSV pass,t_s,Sec,heading_deg,planned_miss_km,miss_km: each pass of the flight plan whose closest approach
// to the moving centre falls within the flight: its time (t_s seconds after the first record; Sec the second
// from the first record's midnight, as in NAME.centre.csv), the pass's heading relative to the storm, the
// planned miss and the miss flown (km, positive with the centre on the left, to 0.1 s).
void write_passes(std::ostream& out, const FlightOptions& o, const Storm& storm, int seconds);

// Best track of the storm in ATCF b-deck form (three lines per time: 34, 50 and 64 kt radii).
void write_bdeck(std::ostream& out, const FlightOptions& o, const Storm& storm, int seconds);

// Best track in HURDAT2 form (21 fields a line, with the RMW).
void write_hurdat2(std::ostream& out, const FlightOptions& o, const Storm& storm, int seconds);

}  // namespace sfmr::sim
