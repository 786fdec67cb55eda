// Summary of an sfmrbatch output file against the simulator's truth: seconds, status texts, extremes, and
// bias and RMS of the retrieved wind speed and rain rate over the seconds with a retrieval.
#pragma once

#include <istream>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace sfmr::sim {

// One data line of the output file, as far as the summary needs it.
struct OutputSecond {
  int sec = 0;             // second of day
  std::string status;      // Err text without trailing blanks
  bool retrieved = false;  // the status is a channel list: wind and rain were solved this second
  double sfws = 0.0, sfrr = 0.0, psws = 0.0, psrr = 0.0;
  bool values_ok = false;   // the retrieval's numbers could be read (no asterisks)
  bool onboard_ok = false;  // the onboard numbers could be read and its status is a channel list
};

struct TruthSecond {
  double ws = 0.0, rr = 0.0;
  bool land = false;
};

// Parses the output file (header line, then data lines); lines that do not parse are skipped.
std::vector<OutputSecond> read_output(std::istream& in);

// Parses the truth file; the key is the second of day.
std::map<int, TruthSecond> read_truth(std::istream& in);

struct Stats {
  int n = 0;
  double bias = 0.0, rms = 0.0;
};

struct Summary {
  int seconds = 0;
  std::map<std::string, int> statuses;
  int retrieved = 0;
  double max_ws = 0.0, max_rr = 0.0;
  Stats ws, rr;  // retrieval minus truth, over retrieved seconds that have a truth value
  Stats onboard_ws, onboard_rr;
  // The same for the wind speed against the truth `lag` seconds before each line's time, for the lag of up
  // to 10 s that fits best: the brightness temperatures of a line were measured some seconds before it.
  int lag = 0;
  Stats ws_lagged, rr_lagged;
};

Summary summarise(const std::vector<OutputSecond>& out, const std::map<int, TruthSecond>& truth);

void print_summary(std::ostream& os, const Summary& s);

// Plot data: one line per second, "hours ws rr onboard_ws onboard_rr truth_ws truth_rr", the time in hours
// since the first second's midnight (continuing past midnight), NaN where a value is missing.
void write_plot_data(std::ostream& os, const std::vector<OutputSecond>& out,
                     const std::map<int, TruthSecond>& truth);

}  // namespace sfmr::sim
