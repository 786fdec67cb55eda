// One flight of a campaign, start to finish: its directory, setup file and input links, sfmrbatch and the
// companion tools that are built, and the record of what happened. Every flight is one independent call of
// run_flight, whether the job engine on one machine or a cluster's array task makes it.
//
// Layout of OUTDIR/<name>/ (N is the flight's name):
//   N.setup               setup file for sfmrbatch
//   N.dat N.cal N.sst     symbolic links to the raw, calibration and SST grid files (N.nogrid, an empty
//                         file, stands for the grid when the SST comes from the aircraft)
//   console.txt           sfmrbatch's console transcript
//   N.OUT                 sfmrbatch's output
//   N.nc                  CF-netCDF file (sfmr2nc)
//   N.timeseries.png N.map.png   quick-look plots (sfmrplot)
//   summary.csv           sfmrsummary's one-row summary, read by the report
//   <tool>.log            what the companion tools printed
//   result.txt            the flight's outcome, written last
// The land mask sits in OUTDIR itself, where sfmrbatch looks for it (the parent of its working directory).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "campaign/manifest.hpp"

namespace sfmr::campaign {

// The whole content of a file (empty when it cannot be read).
std::string read_text(const std::filesystem::path& path);

// The programs a flight runs; an empty path is a tool that is not built, whose step is left out.
struct Tools {
  std::filesystem::path sfmrbatch, sfmr2nc, sfmrplot, sfmrsummary;
};

// Finds sfmrbatch in the first of `dirs` that holds it, and the companion tools beside it (in its
// directory or its tools/ subdirectory, the build tree's layout).
Tools find_tools(const std::vector<std::filesystem::path>& dirs);

// One step of a flight: the tool's name, its exit status (128 + signal number when a signal ended it) and
// its wall time in seconds.
struct StepRecord {
  std::string step;
  int status = 0;
  double seconds = 0.0;
};

// A flight's outcome as result.txt keeps it. A flight is done only when every step succeeded; otherwise
// `failed_step` names the step ("inputs" for missing files) and `reason` says what went wrong.
struct FlightResult {
  bool done = false;
  int exit_status = 0;
  std::string failed_step;
  std::string reason;
  double seconds = 0.0;  // wall time of the whole flight
  std::vector<StepRecord> steps;
};

std::string format_result(const FlightResult& result);
std::optional<FlightResult> parse_result(std::string_view text);

// The outcome recorded in `flight_dir`, if any (a flight interrupted before its end has none).
std::optional<FlightResult> read_result(const std::filesystem::path& flight_dir);

// File names inside a flight's directory.
std::string out_name(const Flight& flight);
inline constexpr std::string_view kResultFile = "result.txt";
inline constexpr std::string_view kConsoleFile = "console.txt";
inline constexpr std::string_view kSummaryFile = "summary.csv";

// Processes one flight in outdir/<name>/, replacing whatever an earlier run left there, and writes
// result.txt as the very last act (through a temporary name, synced), so a flight counts as done only after
// all of its steps succeeded. Throws std::runtime_error when the directory cannot be prepared at all.
FlightResult run_flight(const Flight& flight, const std::filesystem::path& outdir, const Tools& tools);

// Whether a flight with this recorded outcome is to be run (again): never run or interrupted, or failed
// when `retry_failed` is set.
bool is_pending(const std::optional<FlightResult>& result, bool retry_failed);

}  // namespace sfmr::campaign
