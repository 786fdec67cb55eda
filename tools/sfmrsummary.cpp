// sfmrsummary: summary of a processed flight, from its output file alone.
//
//   sfmrsummary FLIGHT.OUT [--console CONSOLE.txt] [--truth TRUTH.csv] [--setup SETUP] [--csv]
//
// Prints the seconds processed, the time span, the seconds per status text, the share of seconds with a
// retrieval, the largest retrieved wind speed and rain rate with their time and position, and the retrieval
// against the onboard solution. --console counts the damaged records that sfmrbatch reported in the console
// transcript of the run; --truth compares with the simulator's truth file; --setup (the run's setup file, for
// its frequencies) adds the median standard errors of wind and rain, and with --truth how often the truth
// lies within one and two of them. A truth that does not overlap the flight in time or place, and a setup
// whose channels contradict the output file, are refused (look/truth.hpp, uncertainty/setup_check.hpp).
// --csv prints two machine-readable lines instead:
//   seconds,retrieved_seconds,retrieved_share,max_wind_speed,max_rain_rate,damaged_records
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "common/cli.hpp"
#include "common/input.hpp"
#include "look/error_report.hpp"
#include "look/flight_summary.hpp"
#include "look/truth.hpp"
#include "out_file/out_reader.hpp"
#include "uncertainty/setup_check.hpp"

namespace {

constexpr sfmr::tool::ToolInfo kTool{
    .name = "sfmrsummary",
    .usage = "sfmrsummary FLIGHT.OUT [--console CONSOLE.txt] [--truth TRUTH.csv] [--setup SETUP] [--csv]",
    .help =
        "Summary of a processed flight: seconds, time span, status texts, share of seconds with a\n"
        "retrieval, maximum wind speed and rain rate, retrieval against the onboard solution.\n"
        "--console counts the damaged records in the run's console transcript; --truth compares\n"
        "with the simulator's truth file; --csv prints a header line and one line of values.\n"
        "--setup SETUP (the run's setup file: its channel frequencies) adds the median standard errors\n"
        "of wind speed and rain rate, computed as sfmr2nc computes them, and with --truth the share of\n"
        "seconds whose truth lies within one and two standard errors.\n"
        "A truth that does not overlap the flight in time or place (more than 5 km from its positions),\n"
        "and a setup whose channels contradict the output file, are errors.\n"};

int summarise(const std::vector<std::string>& words) {
  const sfmr::tool::Args args(words, {{"--console", true}, {"--truth", true}, {"--setup", true}, {"--csv"}});
  if (args.positional().empty()) sfmr::tool::usage_error("no flight file");
  const std::string& flight = args.positional(1, 1, "more than one flight file")[0];
  const std::string console = args.text("--console", ""), truth = args.text("--truth", "");
  const std::string setup = args.text("--setup", "");

  std::vector<sfmr::flight::OutSecond> seconds;
  if (const std::string error = sfmr::flight::read_out_file(flight, seconds); !error.empty())
    sfmr::tool::fail(error);
  sfmr::look::FlightSummary summary = sfmr::look::summarise_flight(seconds);
  if (!console.empty()) {
    std::ifstream in = sfmr::tool::open_input(console);
    summary.damaged = sfmr::look::count_damaged_records(in);
  }
  std::map<int, sfmr::look::TruthSecond> truth_seconds;
  if (!truth.empty()) {
    std::ifstream in = sfmr::tool::open_input(truth);
    truth_seconds = sfmr::look::read_truth(in);
    if (const std::string why = sfmr::look::truth_mismatch(seconds, truth_seconds); !why.empty())
      sfmr::tool::fail(truth + ": " + why);
  }

  sfmr::uncertainty::FlightInputs inputs;
  if (!setup.empty()) {
    if (const std::string e = sfmr::uncertainty::read_inputs(setup, inputs); !e.empty()) sfmr::tool::fail(e);
    if (const std::string why = sfmr::uncertainty::setup_mismatch(seconds, inputs); !why.empty())
      sfmr::tool::fail(setup + " is not the setup of " + flight + " (" + why + ")");
  }

  if (args.flag("--csv")) {
    sfmr::look::print_flight_csv(std::cout, summary);
  } else {
    sfmr::look::print_flight_summary(std::cout, flight, summary);
    if (!truth.empty())
      sfmr::look::print_truth_summary(std::cout, sfmr::look::compare_with_truth(seconds, truth_seconds));
    if (!setup.empty())
      sfmr::uncertainty::print_error_summary(
          std::cout,
          sfmr::uncertainty::summarise_errors(seconds, sfmr::uncertainty::estimate_errors(seconds, inputs),
                                              truth.empty() ? nullptr : &truth_seconds),
          !truth.empty());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  return sfmr::tool::run_tool(argc, argv, kTool, summarise);
}
