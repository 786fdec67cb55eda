// Run parameters from a setup file, with console prompts for whatever it does not supply.
//
// The six parameters, in their fixed order (also the order of the console prompts):
//   A  raw data file name      B  calibration file name   C  SST file name
//   D  six channel frequencies, GHz (each 0.0 or 4.0..8.0)
//   E  default SST, deg C (-40.0 < v < 40.0)               F  filter value (-20.0 <= v <= 20.0)
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/console.hpp"
#include "core/files.hpp"
#include "core/state.hpp"
#include "core/text.hpp"

namespace sfmr {

// Obtains the raw data, calibration and SST file names (128-character fields) and fills cal.freq,
// cal.default_sst and cal.filter; then calls clear_common and sets acft.TAmb to 999.0. Returns only when all
// six parameters were accepted; the operator's quit ends the run.
void get_setupfile(Console& console, State& s, std::string& infile, std::string& calfile,
                   std::string& sstfile);

// Accepted values of the numeric parameters, for the setup file, the console and every tool that writes a
// setup file (the campaign manifest checks its rows with these).
namespace setup_limits {
constexpr float kFreqLow = 4.0f;           // GHz
constexpr float kFreqHigh = 8.0f;          // GHz
constexpr float kDefaultSstLimit = 40.0f;  // deg C, exclusive on both sides
constexpr float kFilterLimit = 20.0f;      // inclusive on both sides

// A channel frequency, GHz: 0.0 (channel disabled) or kFreqLow..kFreqHigh.
constexpr bool frequency_accepted(float f) {
  return f == 0.0f || (f >= kFreqLow && f <= kFreqHigh);
}
// The default SST, deg C: strictly between -kDefaultSstLimit and kDefaultSstLimit.
constexpr bool default_sst_accepted(float v) {
  return v > -kDefaultSstLimit && v < kDefaultSstLimit;
}
// The filter value: -kFilterLimit..kFilterLimit.
constexpr bool filter_accepted(float v) {
  return v >= -kFilterLimit && v <= kFilterLimit;
}
}  // namespace setup_limits

// Missing set `rcvd`: bit p (value 1 << p) is set while parameter p of the list above is still missing.
namespace rcvd_bit {
constexpr std::uint32_t kRawFile = 1;
constexpr std::uint32_t kCalFile = 2;
constexpr std::uint32_t kSstFile = 4;
constexpr std::uint32_t kFreqs = 8;
constexpr std::uint32_t kDefaultSst = 16;
constexpr std::uint32_t kFilter = 32;
constexpr std::uint32_t kAll = 63;
}  // namespace rcvd_bit

// The three file names gathered so far and the missing set. The numeric parameters go straight into `cal`.
struct SetupParameters {
  std::string infile = std::string(kLineLength, ' ');
  std::string calfile = std::string(kLineLength, ' ');
  std::string sstfile = std::string(kLineLength, ' ');
  std::uint32_t rcvd = rcvd_bit::kAll;
};

// Status of the test a file name must pass to be accepted: 0, or the failed open's status.
using NameCheck = std::function<int(std::string_view name)>;

// Reads setup-file sections from `next_line` and takes every value it accepts into `p` and s.cal (clearing
// its flag in p.rcvd). A file name is accepted when `check` gives 0 (by default: the file opens for
// reading). Reading stops once all six are accepted, at the end of the text, at a file name that is not
// accepted, or at a read error. Returns the read error's status, or 0 in every other case.
int read_setup_sections(const LineSource& next_line, State& s, SetupParameters& p,
                        const NameCheck& check = probe_readable);

// Manual entry of every parameter still missing in p.rcvd, in the fixed order, restarting from the first
// missing one after any rejected answer. A quit answer ends the run (status 0).
void enter_parameters(Console& console, State& s, SetupParameters& p);

// A quit answer: its only non-blank character is a "q" or "Q" in column 1.
bool is_quit_answer(std::string_view answer);

}  // namespace sfmr
