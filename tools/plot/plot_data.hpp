// Data files and map geometry for the quick-look plots of a processed flight (tools/plot/*.gp draw them):
// the time series, the status band, the track, the coastlines and the frame of the map.
#pragma once

#include <istream>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "look/truth.hpp"
#include "out_file/out_reader.hpp"

namespace sfmr::plot {

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
                  const std::map<int, look::TruthSecond>& truth);

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

// The land of a raster as polygons: the outlines of its land nodes, each node the cell of dx by dy deg
// around it (node i, j at west + i dx, south + j dy), so that the filled polygons cover what the raster's
// image covers. Loops that lie inside others (a lake, an island in a lake) are nested one level deeper.
// Written as gnuplot's "lon lat" lines, a blank line after each polygon, and the polygons of each level
// of nesting as one data set (two blank lines between), from the outermost level on: level 0 is land,
// level 1 water inside it, level 2 land again, and so on. `mask` holds nx x ny nodes of one byte (land not
// 0), a row after the other, the southern row first. Returns the number of levels written, 0 when there is
// no land.
struct LandGrid {
  int nx = 0, ny = 0;
  double west = 0, south = 0, dx = 0, dy = 0;
};
int write_land_outlines(std::ostream& os, const std::vector<unsigned char>& mask, const LandGrid& grid);

// GMT multi-segment text (segments headed by '>' lines) to gnuplot's form (segments separated by a blank
// line). Returns the number of points.
int convert_segments(std::istream& gmt, std::ostream& out, bool shifted = false);

// The gnuplot tic list for lo..hi in degrees: a step of 0.25, 0.5, 1, 2, 5, 10 or 20 deg giving 3 to 8 tics,
// labelled with the hemisphere (positive, negative); longitudes beyond 180 are labelled as their west value.
std::string degree_tics(double lo, double hi, const char* positive, const char* negative);

// A gnuplot string literal (single quotes, a quote doubled) of `text`.
std::string gnuplot_string(const std::string& text);

}  // namespace sfmr::plot
