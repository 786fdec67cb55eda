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

// Time series, one line per second: "elapsed sfws sfrr psws psrr truth_ws truth_rr", elapsed in s since
// the first line's midnight, NaN where a value does not exist (no retrieval, no onboard solution, no truth
// or truth over land). `truth` may be null.
void write_series(std::ostream& os, const std::vector<flight::OutSecond>& seconds,
                  const std::map<int, TruthSecond>* truth);

// Status band: one line per run of seconds in the same Band, "start end band" (start and end in elapsed
// seconds, the run covering start..end; band the Band's number 0..5).
void write_bands(std::ostream& os, const std::vector<flight::OutSecond>& seconds);

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

// Track, one line per second with a valid position: "lon lat ws elapsed", ws NaN without a retrieval;
// a second that would be drawn on the previous line's point (same state, wind within 0.5 m/s) is left out.
void write_track(std::ostream& os, const std::vector<flight::OutSecond>& seconds, const MapFrame& frame);

// GMT multi-segment text (segments headed by '>' lines) to gnuplot's form (segments separated by a blank
// line). Returns the number of points.
int convert_segments(std::istream& gmt, std::ostream& out);

// The gnuplot tic list for lo..hi in degrees: a step of 0.25, 0.5, 1, 2, 5, 10 or 20 deg giving 3 to 8 tics,
// labelled with the hemisphere (positive, negative); longitudes beyond 180 are labelled as their west value.
std::string degree_tics(double lo, double hi, const char* positive, const char* negative);

// A gnuplot string literal (single quotes, a quote doubled) of `text`.
std::string gnuplot_string(const std::string& text);

}  // namespace sfmr::look
