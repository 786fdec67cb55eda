// Whether a setup file's channels are the ones a processed flight was made with, judged from the output
// file alone.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "core/state.hpp"
#include "out_file/out_reader.hpp"
#include "uncertainty/uncertainty.hpp"

namespace sfmr::uncertainty {

// Largest median difference between the misfit recomputed with the setup's frequencies and the one the
// output file prints (SFQF), K. The output rounds SFQF, the solution and the brightness temperatures to
// 0.01: with the run's own frequencies the median difference is 0.003 K (SFQF's rounding alone gives
// 0.0025 K; 0.0031 to 0.0035 K on simulated flights of 18 minutes to 2 hours, with noise and damage); one
// channel 0.1 GHz off gives 0.02 to 0.025 K, 0.04 GHz off at 4.74 GHz 0.014 K.
constexpr double kMisfitTolerance = 0.01;

// Solves of a flight after which a channel that none of them used is taken to have been disabled.
constexpr int kMinSolves = 60;

// Why the run's channel frequencies `freq` (GHz, 0 disabled) contradict the output file, or "" when they do
// not:
//   - a disabled channel that a status text lists as used in a solve;
//   - an enabled channel that none of at least kMinSolves solves used although its brightness temperature
//     was in range (0 to 270 K): the channel filter drops a channel that disagrees with the others in a
//     second, not in every second of a flight; the output shows a run with the channel disabled;
//   - frequencies under which the printed solutions do not fit their own brightness temperatures: the rms
//     of the residuals (printed brightness temperature minus the forward model at the printed solution,
//     over the channels that the status text lists) against SFQF, the solver's rms misfit of the same
//     channels. With the run's frequencies the two agree to the rounding of the printed numbers; the
//     median of their differences over the flight's solves must stay within kMisfitTolerance.
// The serial number of `inputs` chooses the polarisation of the calm-sea emissivity, as in the processing.
std::string setup_mismatch(const std::vector<flight::OutSecond>& seconds, const FlightInputs& inputs);

}  // namespace sfmr::uncertainty
