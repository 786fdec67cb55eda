// Standard errors of the retrieved wind speed and rain rate of every second, estimated from the processed
// flight itself: the output file's brightness temperatures, solution, quality figure and status text, with
// the channel frequencies of the run.
//
// Error model. The brightness temperatures of the channels that took part in a solve err by
//   - instrument noise: independent between channels, with a variance that the fit residuals estimate (the
//     quality figure SFQF is their RMS); the squared residuals of the neighbouring seconds are pooled (their
//     median, scaled to a mean with the chi-square median of Wilson & Hilferty 1931) so the estimate is
//     stable;
//   - timing: the measurements of one line are older than the line (the delay line of the brightness records
//     and the sweep through the channels, 2.5 to 5 s for six channels), while the aircraft moves through the
//     wind and rain field. A state changing at the rate x' (the slope of the retrieved series along the
//     track, its expected noise part removed) leaves channel i measured at t - lag_i, that is in error by
//     -lag_i J_i x'. With the lags spread over the sweep (mean L, variance s^2, independent of the channel)
//     this adds L^2 x' x'^T (the whole state lags) and s^2 G diag((J x')^2) G^T (channels of different age
//     disagree; G is the least-squares gain) to the covariance of the solution.
// The Jacobian J is the project's forward model (tbsfmr) linearised at the printed solution for the second's
// altitude, SST and air temperature. Propagation is linear (Rodgers 2000, Inverse Methods for Atmospheric
// Sounding, ch. 3): Cov(U, R) = sigma^2 (J^T J)^-1, mapped to the reported wind (rain-corrected) and rain.
// The rain rate is bounded at 0, and near 0 the model's rain response is far from linear (the absorption's
// power laws R^0.87 and f^(2.63 R^0.06) both change fastest there): its column of J is the secant over the
// rain rate's own interval R - sigma_R .. R + sigma_R, cut at 0, found by iteration.
// The standard errors reported are those of a second given its retrieval: the linearised errors weighed
// against the flight's own distribution of rain (RainPrior), which matters where the rain is bounded at 0 and
// concentrated near one value. Where the error leans one way (the lag of the whole state in a gradient, the
// posterior's mean off the reported rain), the standard error is the half-width about the reported value
// that holds the truth 68.3 % of the time (central_half_width). The correlation reported is the linearised
// errors'.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "core/state.hpp"
#include "out_file/out_reader.hpp"
#include "retrieval/forward_model.hpp"

namespace sfmr::uncertainty {

// What the output file does not hold.
struct FlightInputs {
  std::array<float, kChannels> freq{};  // channel frequencies of the run, GHz (0.0 disabled)
  std::int32_t serial = 0;              // radiometer serial number (chooses the polarisation; 0 unknown)
};

// Timing of the measurements of one line: brightness records per second of the clock, records of delay
// before a measurement reaches the retrieval, channels in the sweep.
struct Timing {
  double records_per_second = 2.0;  // the clock advances on every second brightness record
  int delay_records = 4;            // the delay line of four slots
  int sweep = kChannels;            // channels measured in turn
  // Mean and variance of the age (s) of the measurements used at the step of a second: the step follows the
  // record that advanced the clock, one record interval before the second's time; the newest measurement
  // handed on is `delay_records` older, each further channel of the sweep one record interval more.
  double mean_lag() const;
  double lag_variance() const;
};

// The forward model linearised at one state for a set of channels.
struct Linearisation {
  int n = 0;                                         // channels
  std::array<double, kChannels> model{};             // model Tb at the state, K
  std::array<std::array<double, 2>, kChannels> J{};  // dTb/dU (K per m/s), dTb/dR (K per mm/h)
  // The solver's own one-sided differences of 1 m/s and 1 mm/h: its gain (J_s^T J)^-1 J_s^T is what
  // carries a change of the measurements into its solution.
  std::array<std::array<double, 2>, kChannels> J_solver{};
};

// Channels of one second: frequency and calm-sea emissivity, with the conditions.
struct Conditions {
  int n = 0;
  std::array<float, kChannels> freq{}, emis{};
  std::array<std::size_t, kChannels> channel{};  // channel number (0..5) of each entry
  float ts = 0.0f, ta = 0.0f, h = 0.0f;          // SST and air temperature (K), altitude (m)
};

// The forward model of each channel of the run under the conditions it was last asked for. Consecutive
// seconds mostly share their altitude, SST and air temperature (the output file prints them to whole metres
// and tenths: on a 10-hour flight 93 % of the seconds repeat the previous second's), so a channel's
// condition terms (a power and an exponential) are built once per change instead of once per second. The
// rain rate's powers are shared by the channels. A model of the cache gives tbsfmr's values bit for bit.
class ChannelModels {
 public:
  ChannelModels() = default;
  ChannelModels(const ChannelModels&) = delete;  // the models point to powers_
  ChannelModels& operator=(const ChannelModels&) = delete;
  // The model of channel number k (0..5) for frequency f (GHz), SST ts and air temperature ta (K),
  // altitude h (m) and calm-sea emissivity e0; valid until channel k is next asked for other conditions.
  ChannelModel& of(std::size_t k, float f, float ts, float h, float ta, float e0);

 private:
  struct Entry {
    bool set = false;
    std::array<std::uint32_t, 5> key{};  // bit patterns of f, ts, h, ta, e0
    ChannelModel model;
  };
  RainPowers powers_;
  std::array<Entry, kChannels> entries_{};
};

// The linearisation of one second at the fitted (u, r) with the channel models of `models`: the model
// values, the wind and the solver's columns do not depend on the rain secant's span, which `at` sets.
// `base`, when given, holds them already (from an earlier Linearizer of the same second) and they are not
// evaluated. Valid until `models` is asked for another second's conditions.
class Linearizer {
 public:
  Linearizer(const Conditions& c, double u, double r, ChannelModels& models,
             const Linearisation* base = nullptr);
  const Linearisation& base() const { return lin_; }
  const Linearisation& at(double rain_span);

 private:
  int n_ = 0;
  double u_ = 0.0, r_ = 0.0;
  std::array<ChannelModel*, kChannels> models_{};
  Linearisation lin_;
};

// Linearises tbsfmr at (u, r): wind column by central differences of 0.1 m/s (one-sided at 0), rain column
// as the secant over [max(r - rain_span, 0), r + rain_span]; and the solver's differences.
Linearisation linearise(const Conditions& c, double u, double r, double rain_span);

// Covariance (symmetric 2 x 2, [0] var, [1] cov, [2] var) of the reported wind speed and rain rate.
struct Covariance {
  double ww = 0.0, wr = 0.0, rr = 0.0;
};

// The error propagation of one second: linearisation `lin` at the fitted (u, r), instrument noise variance
// `noise_var` (K^2), rates of the reported wind and rain along the track (per s) and the timing. The gain
// is the solver's, H = (J_s^T J)^-1 J_s^T (its fixed point J_s^T (y - f(x)) = 0 perturbed), so the noise
// covariance is noise_var H H^T. Returns false when J_s^T J is singular.
bool propagate(const Linearisation& lin, double u, double r, double noise_var, double ws_rate, double rr_rate,
               const Timing& timing, Covariance& cov);

// Fitted model wind U of a reported (rain-corrected) wind speed ws at rain rate r.
double model_wind(double ws, double r);

// The rain rate of a flight before its measurements are looked at, from its own retrievals, and what it
// adds to one second's error. A retrieval's error has the spread of the linearisation (sigma) whatever the
// true rain; but seconds picked by their retrieved rain are also picked by their error: where the rain is
// mostly near one value (the stratiform rain of about 1 mm/h around a storm), a retrieval near that value
// is close to the truth and one well away from it mostly off by its distance, and a retrieval at 0 (the
// solver drops the rain below kLowRainLimit) hides a truth of a fraction of a mm/h. The error of a second
// given its retrieval is the posterior's (Robbins 1956; Efron 2011, J. Am. Stat. Assoc. 106, 1602-1614, on
// the selection bias it removes): mean square of (true - reported) rain over
//   p(R | r) ~ g(R) N(r; R, sigma^2)               for r > 0,
//   p(R | 0) ~ g(R) Phi((kLowRainLimit - R) / sigma)  for r = 0 (a retrieval that fell below the limit).
// The prior g is the histogram of the retrieved rain averaged over the seconds within `half_width` of each
// second (the average's noise is a fraction of a single second's, and the rain field changes over
// kilometres), plus 1 % of the seconds' weight spread evenly (any rain rate is possible: a retrieval far from
// every average is judged by its own likelihood, not by the tail of a distant peak). A retrieval's spread
// depends on the true rain (the model's sensitivity to rain changes with the rain rate), so the likelihood of
// r at a true rain R takes sigma times s(R) / s(r), s the flight's median standard error of the seconds
// retrieved near each rain rate.
class RainPrior {
 public:
  static constexpr double kStep = 0.1;  // mm/h, spacing of the rain grid
  // The retrieved series: elapsed times (s, increasing), rain rates (mm/h) and, when given, their
  // linearised standard errors (mm/h, NaN where there is none).
  RainPrior(const std::vector<double>& t, const std::vector<double>& rr, double half_width,
            const std::vector<double>& se = {});
  // Posterior mean square of the true minus the reported rain rate r (mm/h) of a second whose linearised
  // standard error is sigma (mm/h); sigma^2 where the posterior cannot be formed.
  double mean_square_error(double r, double sigma) const;
  // Mean and mean square of the reported minus the true rain rate under the same posterior, and the
  // distance from the reported rain within which the posterior holds 68.3 % of its weight (the share of one
  // normal standard deviation); {0, sigma^2, 0} where it cannot be formed.
  struct Moments {
    double mean = 0.0, mean_square = 0.0, half_width = 0.0;
  };
  Moments moments(double r, double sigma) const;

 private:
  double spread_at(double r) const;  // s(r), by linear interpolation (1 without standard errors)

  std::vector<double> weight_;               // prior weight of rain rate j kStep
  std::vector<double> inv_spread_;           // 1 / s(j kStep)
  std::vector<double> neg_exp_;              // exp(-k / kExpSteps)
  std::vector<double> spread_r_, spread_s_;  // rain rates (mm/h) and medians of s's table
};

// Half-width k of the interval about the reported value that holds the truth as often as one standard
// deviation holds a normal error (68.3 %), for an error of mean `offset` and mean square `mean_square`,
// taken as normal: Phi((k - b) / s) - Phi((-k - b) / s) = erf(1 / sqrt 2) with s^2 = mean_square - b^2.
// Without offset it is the root mean square; with one it is wider, because an error leaning one way leaves
// its far tail out of the interval less often than its near tail in. NaN for a mean square not above 0.
double central_half_width(double offset, double mean_square);

// The estimate of one second; NaN members where there is no retrieval.
struct SecondError {
  float ws_se = NAN, rr_se = NAN, correlation = NAN;                       // m/s, mm/h, 1
  std::array<float, kChannels> tb_residual{NAN, NAN, NAN, NAN, NAN, NAN};  // measured minus model, K
  float noise = NAN;                                                       // pooled instrument noise, K
  bool valid() const { return !std::isnan(ws_se); }
};

// Standard errors of every second of a flight (one entry per second, valid where the status text says a
// retrieval was made and its values can be read). Without any enabled frequency nothing is valid.
std::vector<SecondError> estimate_errors(const std::vector<flight::OutSecond>& seconds,
                                         const FlightInputs& inputs, const Timing& timing = {});

}  // namespace sfmr::uncertainty
