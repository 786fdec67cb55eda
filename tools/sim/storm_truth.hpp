// What the simulated storm really was, written beside the flight: the centre track, the intensity and the
// wind radii, and the same track as an ATCF b-deck and as HURDAT2 (storm AL99 of the flight's year, named
// SIMULATED), hourly from the hour before the flight to the hour after it.
#pragma once

#include <ostream>

#include "sim/flight.hpp"
#include "sim/storm.hpp"

namespace sfmr::sim {

// CSV Sec,Lat,Lon: the centre every 10 s of the flight (Sec the second of day, as in the truth file).
void write_centre_track(std::ostream& out, const FlightOptions& o, const Storm& storm, int seconds);

// CSV quantity,value: vmax_ms, rmw_km, motion_east_ms, motion_north_ms, asymmetry_ms, then
// r34_km_NE .. r64_km_NW (the model's wind radii, km, 0 when the threshold is not reached).
void write_storm_facts(std::ostream& out, const Storm& storm);

// Best track of the storm in ATCF b-deck form (three lines per time: 34, 50 and 64 kt radii).
void write_bdeck(std::ostream& out, const FlightOptions& o, const Storm& storm, int seconds);

// Best track in HURDAT2 form (21 fields a line, with the RMW).
void write_hurdat2(std::ostream& out, const FlightOptions& o, const Storm& storm, int seconds);

}  // namespace sfmr::sim
