// Wind speed and rain rate solver: a Gauss-Newton least-squares fit of the forward model to the measured
// brightness temperatures of the selected channels.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace sfmr {

// Inverts in place the np x np normal matrix (np = 1 or 2), held column by column: m[0] = (1,1),
// m[1] = (2,1), m[2] = (1,2), m[3] = (2,2); for np = 1 only m[0] is used. A singular matrix (zero element or
// zero determinant) is left unchanged and not reported.
void invert2(int np, std::array<float, 4>& m);

// Iterations the solver may take to converge: a solve that has not converged after this many runs one more
// iteration and gives up ("NoSolution").
constexpr int kMaxIterations = 20;
// Rain rate below which, for two iterations in a row from the 4th on, the rain is dropped from the fit and
// set to 0, mm/h.
constexpr double kLowRainLimit = 0.4;
// Rain correction of the fitted wind U, m/s, for the fitted rain rate R, mm/h:
//   ws = U - (kRainWind0 - kRainWind1 * U) * R
constexpr double kRainWind0 = 0.2035;  // m/s per mm/h at zero wind
constexpr double kRainWind1 = 0.0043;  // per mm/h: the correction's decrease per m/s of wind

// State after each iteration of a solve, for inspection by tests and tools.
struct SolverTrace {
  int iterations = 0;  // iterations run
  std::array<std::array<float, 2>, kMaxIterations + 1>
      proposed{};                                            // state of iteration i + 1 before the limits
  std::array<std::array<float, 2>, kMaxIterations + 1> x{};  // state (U, R) at the end of iteration i + 1
};

// Fits surface wind speed U and rain rate R to n measured brightness temperatures with the forward model
// tbsfmr, starting from the previous solution (at least 5 m/s and 2 mm/h).
//   tb       in/out: measured brightness temperatures, K; entries below the calm, rain-free model are
//            raised to it (the caller passes its own copy)
//   freq     channel frequencies, GHz
//   ws, rr   out: reported wind speed (m/s, corrected for rain) and rain rate (mm/h)
//   sst      sea-surface temperature, deg C      tamb   air temperature at the aircraft, deg C
//   ralt     altitude, m                          delta  finite-difference step (1 m/s and 1 mm/h)
//   n        number of channels (at most 6; nothing is done for n <= 1)
//   prevws, prevrr  previous solution, m/s and mm/h
//   emis     calm-sea emissivities of the channels
//   err      status bits: sets or clears bit 2 (wind and rain zero: four or more channels below the calm
//            sea) and bit 6 (no convergence within kMaxIterations iterations)
//   qf       out: rms misfit of the last iteration, K (unchanged when bit 2 is set)
//   trace    optional: receives the iteration history
void wrsolv(std::span<float> tb, std::span<const float> freq, float& ws, float& rr, float sst, float tamb,
            float ralt, float delta, int n, float prevws, float prevrr, std::span<const float> emis,
            std::int32_t& err, float& qf, SolverTrace* trace = nullptr);

}  // namespace sfmr
