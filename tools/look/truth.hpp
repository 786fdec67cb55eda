// A processed flight against the simulator's truth file (tools/sfmrsim): bias and RMS of the retrieved and
// the onboard wind speed and rain rate over the seconds with a retrieval, and the same for the retrieval
// against the truth a few seconds earlier (the brightness temperatures of a line were measured 3 to 5 s
// before its time).
#pragma once

#include <cmath>
#include <istream>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "out_file/out_reader.hpp"

namespace sfmr::look {

// One second of the truth file "Sec,WS,RR,Lat,Lon,Land".
struct TruthSecond {
  double ws = 0.0, rr = 0.0;  // m/s, mm/h
  bool land = false;
  double lat = NAN, lon = NAN;  // deg; NaN where the file gives none
};

// Parses the truth file; the key is the second of day. Lines that do not parse are skipped.
std::map<int, TruthSecond> read_truth(std::istream& in);

struct Stats {
  int n = 0;
  double bias = 0.0, rms = 0.0;  // value minus truth
};

struct TruthSummary {
  Stats ws, rr;                  // retrieval, over the retrieved seconds that have a truth value
  Stats onboard_ws, onboard_rr;  // onboard solution, over the same seconds where it has one
  // The retrieval against the truth `lag` seconds before each line's time, for the lag of 0..10 s with the
  // smallest wind speed RMS.
  int lag = 0;
  Stats ws_lagged, rr_lagged;
};

// Farthest the truth's positions may lie from the flight's (the median over their common seconds), km:
// the simulator writes the positions of the aircraft it flew, which the output file repeats to 0.001 deg.
constexpr double kTruthDistanceKm = 5.0;

// Why `truth` is not the truth of this flight, or "" when it is: it shares no second of the day with the
// flight, its positions lie more than kTruthDistanceKm from the flight's over the seconds they share (the
// median of the distances, so a garbled position does not decide), or it shares no second with a
// retrieval (a comparison over zero seconds). Distances by the tools' earth model (common/earth.hpp).
std::string truth_mismatch(const std::vector<flight::OutSecond>& seconds,
                           const std::map<int, TruthSecond>& truth);

TruthSummary compare_with_truth(const std::vector<flight::OutSecond>& seconds,
                                const std::map<int, TruthSecond>& truth);

void print_truth_summary(std::ostream& os, const TruthSummary& s);

}  // namespace sfmr::look
