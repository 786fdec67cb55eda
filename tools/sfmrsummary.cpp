// sfmrsummary: summary of a processed flight, from its output file alone.
//
//   sfmrsummary FLIGHT.OUT [--console CONSOLE.txt] [--truth TRUTH.csv] [--setup SETUP] [--csv]
//
// Prints the seconds processed, the time span, the seconds per status text, the share of seconds with a
// retrieval, the largest retrieved wind speed and rain rate with their time and position, and the retrieval
// against the onboard solution. --console counts the damaged records that sfmrbatch reported in the console
// transcript of the run; --truth compares with the simulator's truth file; --setup (the run's setup file, for
// its frequencies) adds the median standard errors of wind and rain, and with --truth how often the truth
// lies within one and two of them; --csv prints two machine-readable
// lines instead:
//   seconds,retrieved_seconds,retrieved_share,max_wind_speed,max_rain_rate,damaged_records
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "flight/out_reader.hpp"
#include "look/flight_summary.hpp"
#include "look/truth.hpp"
#include "uncertainty/error_report.hpp"

namespace {

constexpr const char* kUsage =
    "usage: sfmrsummary FLIGHT.OUT [--console CONSOLE.txt] [--truth TRUTH.csv] [--setup SETUP] [--csv]";

int usage_error(const std::string& what) {
  std::cerr << "sfmrsummary: " << what << '\n' << kUsage << '\n';
  return 2;
}

int fail(const std::string& what) {
  std::cerr << "sfmrsummary: " << what << '\n';
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  std::string flight, console, truth, setup;
  bool csv = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      std::cout
          << kUsage
          << "\nSummary of a processed flight: seconds, time span, status texts, share of seconds with a\n"
             "retrieval, maximum wind speed and rain rate, retrieval against the onboard solution.\n"
             "--console counts the damaged records in the run's console transcript; --truth compares\n"
             "with the simulator's truth file; --csv prints a header line and one line of values.\n"
             "--setup SETUP (the run's setup file: its channel frequencies) adds the median standard errors\n"
             "of wind speed and rain rate, computed as sfmr2nc computes them, and with --truth the share of\n"
             "seconds whose truth lies within one and two standard errors.\n";
      return 0;
    }
    if (a == "--version") {
      std::cout << "sfmrsummary (sfmrbatch) " << SFMR_VERSION << '\n';
      return 0;
    }
    if (a == "--csv") {
      csv = true;
    } else if (a == "--console" || a == "--truth" || a == "--setup") {
      if (i + 1 >= args.size()) return usage_error(a + " needs a value");
      (a == "--console" ? console : a == "--truth" ? truth : setup) = args[++i];
    } else if (!a.empty() && a[0] == '-') {
      return usage_error("unknown option " + a);
    } else if (flight.empty()) {
      flight = a;
    } else {
      return usage_error("more than one flight file");
    }
  }
  if (flight.empty()) return usage_error("no flight file");

  std::vector<sfmr::flight::OutSecond> seconds;
  const std::string error = sfmr::flight::read_out_file(flight, seconds);
  if (!error.empty()) return fail(error);
  sfmr::look::FlightSummary summary = sfmr::look::summarise_flight(seconds);
  if (!console.empty()) {
    std::ifstream in(console, std::ios::binary);
    if (!in) return fail(console + ": cannot open");
    summary.damaged = sfmr::look::count_damaged_records(in);
  }
  std::map<int, sfmr::look::TruthSecond> truth_seconds;
  if (!truth.empty()) {
    std::ifstream in(truth, std::ios::binary);
    if (!in) return fail(truth + ": cannot open");
    truth_seconds = sfmr::look::read_truth(in);
  }

  sfmr::uncertainty::FlightInputs inputs;
  if (!setup.empty()) {
    if (const std::string e = sfmr::uncertainty::read_inputs(setup, inputs); !e.empty()) return fail(e);
  }

  if (csv) {
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
  std::cout.flush();
  if (!std::cout) return fail("cannot write the summary");
  return 0;
}
