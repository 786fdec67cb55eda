// A processed flight as a CF-1.8 discrete-sampling trajectory in a netCDF-4 file: one trajectory, one
// sample per line of the output file, brightness temperatures per channel, the status texts both as flag
// variables and as text, ACDD-1.3 global attributes.
//
// Values are stored as 32-bit floats read from the text, so each holds the text's value to the text's
// precision; a column written as asterisks, the retrieved wind, rain and quality of a second without a
// retrieval, and the onboard solution before its first record hold _FillValue.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "out_file/flight_facts.hpp"
#include "out_file/out_reader.hpp"

namespace sfmr::archive {

struct FlightMetadata {
  std::string flight;       // the flight's name, the trajectory's identifier
  std::int32_t day = 0;     // day number (decodedate's) of the date the times count from
  std::int32_t serial = 0;  // radiometer serial number, 0 when unknown
  bool have_setup = false;  // `setup` was read from a setup file
  SetupFacts setup;
  std::string out_file;      // the output file converted, as named on the command line
  std::string raw_file;      // the raw data file, as named on the command line
  std::string history;       // one line: time stamp and command line
  std::string date_created;  // ISO 8601, UTC
  std::string software_version;
};

// Bits of the flag variable `retrieval_status`: bit k (0..5) channel k took part in the solve; the bits
// from kRetrievalReasonBit on say why no retrieval was made, in the order of kNoRetrievalTexts, then calm.
constexpr int kRetrievalReasonBit = 6;
// Bits of `onboard_status`: bit k (0..5) channel k flagged; from kOnboardLabelBit on the labels in the
// order of kOnboardLabels; kOnboardMarkerBit the marker '*'.
constexpr int kOnboardLabelBit = 6;
constexpr int kOnboardMarkerBit = 10;

// The flag values of a status.
std::int16_t retrieval_flags(const flight::RetrievalStatus& status);
std::int16_t onboard_flags(const flight::OnboardStatus& status);

// Index of the first second whose onboard columns are not those of a run before any onboard record
// (0.00, 0.00, 0.00, "F012345"); seconds.size() when there is none.
std::size_t first_onboard_second(const std::vector<flight::OutSecond>& seconds);

// Writes the file `path` (created, or overwritten: the caller's own temporary). Returns an empty string or
// what went wrong (the netCDF step and the library's message, without the file name).
std::string write_flight_nc(const std::string& path, const std::vector<flight::OutSecond>& seconds,
                            const FlightMetadata& meta);

}  // namespace sfmr::archive
