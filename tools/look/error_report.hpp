// The standard errors of a processed flight for the quick-look tools: the flight's frequencies from its
// setup file, the medians of the standard errors, their coverage of the simulator's truth, and the band
// of one standard error for the time series.
#pragma once

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "look/truth.hpp"
#include "out_file/out_reader.hpp"
#include "uncertainty/uncertainty.hpp"

namespace sfmr::uncertainty {

// The frequencies of the run from its setup file (read by out_file/flight_facts). Returns an empty string
// or the error; a setup file without frequencies is an error here.
std::string read_inputs(const std::string& setup_path, FlightInputs& inputs);

struct ErrorSummary {
  int seconds = 0;  // seconds with a standard error
  double median_ws_se = 0.0, median_rr_se = 0.0;
  // Against the truth, over the seconds with a standard error and a truth value over the sea: the share
  // (0..1) whose truth lies within one and two standard errors of the retrieval.
  int compared = 0;
  double ws_within1 = 0.0, ws_within2 = 0.0, rr_within1 = 0.0, rr_within2 = 0.0;
};

ErrorSummary summarise_errors(const std::vector<flight::OutSecond>& seconds,
                              const std::vector<SecondError>& errors,
                              const std::map<int, look::TruthSecond>* truth);

void print_error_summary(std::ostream& os, const ErrorSummary& s, bool with_truth);

// One line per second: "elapsed ws_low ws_high rr_low rr_high", one standard error either side of the
// retrieval (the rain band cut at 0), NaN where there is none.
void write_error_band(std::ostream& os, const std::vector<flight::OutSecond>& seconds,
                      const std::vector<SecondError>& errors);

}  // namespace sfmr::uncertainty
