// Data files and map geometry for the quick-look plots of a processed flight (tools/plot/*.gp draw them):
// the time series, the status band, the track, the coastlines and the frame of the map.
#pragma once

#include <istream>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "flight/out_reader.hpp"
#include "look/truth.hpp"

namespace sfmr::look {

// The plots' data files are binary: records of native doubles (gnuplot's binary format="%float64..."),
// which gnuplot reads in a fraction of the time it takes to parse the same numbers as text. Values are
// to the thousandth (m/s, mm/h, deg).

// The streams of the time series, one file per kind of value, so that each of gnuplot's plots reads only
// its own points; `truth` null when there is no truth.
struct SeriesFiles {
  std::ostream& retrieved;  // elapsed, sfws, sfrr: the seconds with a retrieval
  std::ostream& onboard;    // elapsed, psws, psrr: the seconds with an onboard solution
  std::ostream* truth;      // elapsed, truth_ws, truth_rr: every second, NaN where there is no truth
};

// Writes the time series, elapsed in s since the first line's midnight. The truth keeps every second (with
// NaN where it has no value, or over land), so that its line is broken where the truth is missing.
void write_series(const SeriesFiles& files, const std::vector<flight::OutSecond>& seconds,
                  const std::map<int, TruthSecond>& truth);

// Status band: one box per run of seconds in the same Band, as gnuplot's boxxyerror columns
// "x y x_half y_half colour": the run's middle and half length in elapsed seconds (the run covering
// start..end), the box from 0 to 1 in height, and the Band's colour as a number 0xRRGGBB. Every column is a
// plain value, so gnuplot evaluates no expression per box.
void write_bands(std::ostream& os, const std::vector<flight::OutSecond>& seconds);

// The bands' legend for the time-series plot, as the gnuplot lines
//   array band_name[6] = ['retrieved, all channels', ...]
//   array band_colour[6] = [0x2c7fb8, ...]
// in the order of the band numbers.
void write_band_names(std::ostream& os);

// Frame of the track map: a region around the track, the aspect ratio of a plate carree map scaled for
// its middle latitude, and the tic lists with hemisphere letters.
struct MapFrame {
  double west = 0, east = 0, south = 0, north = 0;  // deg; east may exceed 180 for a track over the dateline
  double ratio = 1.0;                               // height / width on the page
  std::string xtics, ytics;                         // gnuplot tic lists: ("84°W" -84, ...)
  bool shifted = false;                             // longitudes west of 0 are written +360
};

// The frame of the track's valid positions; none when the flight has no valid position.
std::optional<MapFrame> map_frame(const std::vector<flight::OutSecond>& seconds);

// Track, one record per second with a valid position, in two files: the seconds with a retrieval to
// `retrieved` as lon, lat, ws, elapsed, the others to `unretrieved` as lon, lat, elapsed, each in the
// flight's order (the map draws them as they are, without an expression per line). A second that would
// be drawn on the previous point of the track (same state, wind within 0.5 m/s) is left out.
void write_track(std::ostream& retrieved, std::ostream& unretrieved,
                 const std::vector<flight::OutSecond>& seconds, const MapFrame& frame);

// The part of a land raster that holds land: its nodes x0..x0+nx-1, y0..y0+ny-1 of the whole raster.
struct LandExtent {
  int x0 = 0, y0 = 0, nx = 0, ny = 0;
};

// The smallest block of nodes of `rgba` (nx x ny nodes of four bytes, red, green, blue, alpha, a row after
// the other) outside which every node is transparent; none when no node is opaque at all. The map draws
// that block alone: gnuplot's cost grows with the nodes it draws, and a transparent node draws nothing.
std::optional<LandExtent> land_extent(const std::vector<unsigned char>& rgba, int nx, int ny);

// The nodes `e` of `rgba` (nx nodes a row) as a raster of their own, a row after the other.
std::vector<unsigned char> crop_land(const std::vector<unsigned char>& rgba, int nx, const LandExtent& e);

// GMT multi-segment text (segments headed by '>' lines) to gnuplot's form (segments separated by a blank
// line). Returns the number of points.
int convert_segments(std::istream& gmt, std::ostream& out);

// The gnuplot tic list for lo..hi in degrees: a step of 0.25, 0.5, 1, 2, 5, 10 or 20 deg giving 3 to 8 tics,
// labelled with the hemisphere (positive, negative); longitudes beyond 180 are labelled as their west value.
std::string degree_tics(double lo, double hi, const char* positive, const char* negative);

// A gnuplot string literal (single quotes, a quote doubled) of `text`.
std::string gnuplot_string(const std::string& text);

}  // namespace sfmr::look
