#include "uncertainty/uncertainty.hpp"

#include <algorithm>
#include <bit>
#include <deque>
#include <numbers>

#include "core/constants.hpp"
#include "retrieval/forward_model.hpp"
#include "retrieval/solver.hpp"

namespace sfmr::uncertainty {

namespace {

constexpr double kKelvin = kKelvinOffset;  // K at 0 deg C, the processing's own offset
constexpr double kWindStep = 0.1;          // m/s, half the central difference of the wind column
constexpr double kMinRainSpan = 0.05;      // mm/h, the narrowest secant of the rain column
constexpr double kFirstRainSpan = 1.0;     // mm/h, the secant the iteration starts from
constexpr int kRainIterations = 6;         // secant and rain error found together, at most
constexpr double kSpanTolerance = 0.1;     // relative change of the rain error that ends the iteration
constexpr double kSolverStep = 1.0;        // the solver's difference step: 1 m/s and 1 mm/h
constexpr double kPoolHalfWidth = 30.0;    // s: seconds on each side whose residuals are pooled
constexpr int kHalfWidthSteps = 40;        // most steps towards the central half-width (mostly 3 to 5)
constexpr int kReach = 5;                  // standard errors: the likelihood's reach over the rain grid
constexpr double kSpreadFine = 0.25;       // mm/h, bins of the median standard error below kSpreadSplit
constexpr double kSpreadSplit = 5.0;       // mm/h
constexpr double kSpreadCoarse = 2.0;      // mm/h, bins above
constexpr std::size_t kSpreadMin = 20;     // seconds a bin needs
constexpr double kEvenShare = 0.01;        // share of the seconds' weight spread evenly over the rain grid
constexpr double kExpSteps = 32.0;         // entries per unit of the likelihood's exponential table
// Rain correction of the reported wind: the solver's, ws = U - (kRainWind0 - kRainWind1 U) R.
using sfmr::kRainWind0;
using sfmr::kRainWind1;

// Median of a chi-square variable with k degrees of freedom divided by k (Wilson & Hilferty 1931).
double chi2_median_over_k(double k) {
  const double a = 1.0 - 2.0 / (9.0 * k);
  return a * a * a;
}

// Channels of a second that took part in its solve, in channel order: the status text's channel list, or
// for the calm-sea solution every enabled channel that the driver would have taken.
bool channels_of(const flight::OutSecond& s, const FlightInputs& in, std::array<bool, kChannels>& used) {
  using flight::RetrievalKind;
  if (s.Err.kind == RetrievalKind::ChannelList) {
    used = s.Err.channel_used;
  } else if (s.Err.kind == RetrievalKind::Calm) {
    for (std::size_t k = 0; k < kChannels; ++k) used[k] = s.Tb[k] > 0.0f && s.Tb[k] <= 270.0f;
  } else {
    return false;
  }
  int n = 0;
  for (std::size_t k = 0; k < kChannels; ++k) {
    used[k] = used[k] && in.freq[k] > 0.0f;
    if (used[k] && std::isnan(s.Tb[k])) return false;
    n += used[k] ? 1 : 0;
  }
  return n >= 3;
}

// Least-squares slope of (t, v) and the sum of squared time deviations.
struct Slope {
  double slope = 0.0, stt = 0.0;
  int n = 0;
};

Slope slope_of(const std::vector<double>& t, const std::vector<double>& v, std::size_t lo, std::size_t hi) {
  Slope s;
  double st = 0.0, sv = 0.0;
  for (std::size_t j = lo; j < hi; ++j) st += t[j], sv += v[j];
  s.n = static_cast<int>(hi - lo);
  if (s.n < 3) return s;
  const double tm = st / s.n, vm = sv / s.n;
  double stv = 0.0;
  for (std::size_t j = lo; j < hi; ++j) {
    s.stt += (t[j] - tm) * (t[j] - tm);
    stv += (t[j] - tm) * (v[j] - vm);
  }
  if (s.stt > 0.0) s.slope = stv / s.stt;
  return s;
}

}  // namespace

double Timing::mean_lag() const {
  // Ages (1 + delay + j) / rate for j = 0 .. sweep - 1.
  return (1.0 + delay_records + 0.5 * (sweep - 1)) / records_per_second;
}

double Timing::lag_variance() const {
  // Variance of a discrete uniform spread over `sweep` records.
  return (static_cast<double>(sweep) * sweep - 1.0) / 12.0 / (records_per_second * records_per_second);
}

double model_wind(double ws, double r) {
  return (ws + kRainWind0 * r) / (1.0 + kRainWind1 * r);
}

ChannelModel& ChannelModels::of(std::size_t k, float f, float ts, float h, float ta, float e0) {
  const std::array<std::uint32_t, 5> key = {std::bit_cast<std::uint32_t>(f), std::bit_cast<std::uint32_t>(ts),
                                            std::bit_cast<std::uint32_t>(h), std::bit_cast<std::uint32_t>(ta),
                                            std::bit_cast<std::uint32_t>(e0)};
  Entry& e = entries_[k];
  if (!e.set || e.key != key) {
    e.model = ChannelModel(f, ts, h, ta, e0, &powers_);
    e.key = key;
    e.set = true;
  }
  return e.model;
}

Linearizer::Linearizer(const Conditions& c, double u, double r, ChannelModels& models,
                       const Linearisation* base)
    : n_(c.n), u_(u), r_(r) {
  for (std::size_t i = 0; i < static_cast<std::size_t>(n_); ++i)
    models_[i] = &models.of(c.channel[i], c.freq[i], c.ts, c.h, c.ta, c.emis[i]);
  if (base != nullptr) {
    lin_ = *base;
    return;
  }
  lin_.n = c.n;
  const auto state = [](double uu, double rr) {
    return std::array<float, 2>{static_cast<float>(uu), static_cast<float>(rr)};
  };
  const double u_lo = std::max(u - kWindStep, 0.0), u_hi = u_lo + 2.0 * kWindStep;
  for (std::size_t i = 0; i < static_cast<std::size_t>(n_); ++i) {
    ChannelModel& m = *models_[i];
    lin_.J_solver[i][1] = m.tb(state(u, r + kSolverStep));
    lin_.model[i] = m.tb(state(u, r));
    lin_.J[i][0] = (static_cast<double>(m.tb(state(u_hi, r))) - m.tb(state(u_lo, r))) / (u_hi - u_lo);
    lin_.J_solver[i][0] = static_cast<double>(m.tb(state(u + kSolverStep, r))) - lin_.model[i];
    lin_.J_solver[i][1] -= lin_.model[i];
  }
}

const Linearisation& Linearizer::at(double rain_span) {
  const double r_lo = std::max(r_ - rain_span, 0.0), r_hi = r_ + rain_span;
  const auto u = static_cast<float>(u_);
  for (std::size_t i = 0; i < static_cast<std::size_t>(n_); ++i) {
    ChannelModel& m = *models_[i];
    lin_.J[i][1] =
        (static_cast<double>(m.tb({u, static_cast<float>(r_hi)})) - m.tb({u, static_cast<float>(r_lo)})) /
        (r_hi - r_lo);
  }
  return lin_;
}

Linearisation linearise(const Conditions& c, double u, double r, double rain_span) {
  ChannelModels models;
  Linearizer lin(c, u, r, models);
  return lin.at(rain_span);
}

bool propagate(const Linearisation& lin, double u, double r, double noise_var, double ws_rate, double rr_rate,
               const Timing& timing, Covariance& cov) {
  // P = J_s^T J (not symmetric), its inverse, and the gain rows H_i = P^-1 J_s,i.
  double p00 = 0.0, p01 = 0.0, p10 = 0.0, p11 = 0.0;
  for (std::size_t i = 0; i < static_cast<std::size_t>(lin.n); ++i) {
    p00 += lin.J_solver[i][0] * lin.J[i][0];
    p01 += lin.J_solver[i][0] * lin.J[i][1];
    p10 += lin.J_solver[i][1] * lin.J[i][0];
    p11 += lin.J_solver[i][1] * lin.J[i][1];
  }
  const double det = p00 * p11 - p01 * p10;
  if (!(std::fabs(det) > 0.0) || !std::isfinite(det)) return false;
  const double q00 = p11 / det, q01 = -p01 / det, q10 = -p10 / det, q11 = p00 / det;
  // Reported state (ws, R) from the fitted (U, R): A = d(ws, R) / d(U, R).
  const double a00 = 1.0 + kRainWind1 * r, a01 = kRainWind1 * u - kRainWind0;
  // Instrument noise noise_var H H^T, and the channels of different age s^2 H diag(v^2) H^T with v = J x'
  // (K/s), in the fitted state.
  const double r_dot = rr_rate, u_dot = (ws_rate - a01 * r_dot) / a00;
  const double s2 = timing.lag_variance();
  double c00 = 0.0, c01 = 0.0, c11 = 0.0;
  for (std::size_t i = 0; i < static_cast<std::size_t>(lin.n); ++i) {
    const double v = lin.J[i][0] * u_dot + lin.J[i][1] * r_dot;
    const double g0 = q00 * lin.J_solver[i][0] + q01 * lin.J_solver[i][1];
    const double g1 = q10 * lin.J_solver[i][0] + q11 * lin.J_solver[i][1];
    const double w = noise_var + s2 * v * v;
    c00 += w * g0 * g0;
    c01 += w * g0 * g1;
    c11 += w * g1 * g1;
  }
  // A C A^T, then the lag of the whole state, L^2 x' x'^T in the reported state.
  const double l2 = timing.mean_lag() * timing.mean_lag();
  cov.ww = a00 * a00 * c00 + 2.0 * a00 * a01 * c01 + a01 * a01 * c11 + l2 * ws_rate * ws_rate;
  cov.wr = a00 * c01 + a01 * c11 + l2 * ws_rate * rr_rate;
  cov.rr = c11 + l2 * rr_rate * rr_rate;
  return true;
}

RainPrior::RainPrior(const std::vector<double>& t, const std::vector<double>& rr, double half_width,
                     const std::vector<double>& se) {
  const std::size_t n = rr.size();
  if (n == 0) return;
  // Averages over the window by running sums, the window sliding with the second.
  std::vector<double> mean(n);
  double sum = 0.0, top = 0.0;
  std::size_t lo = 0, hi = 0;
  for (std::size_t e = 0; e < n; ++e) {
    for (; hi < n && t[hi] <= t[e] + half_width; ++hi) sum += rr[hi];
    for (; lo < hi && t[lo] < t[e] - half_width; ++lo) sum -= rr[lo];
    mean[e] = std::max(sum / static_cast<double>(hi - lo), 0.0);
    top = std::max(top, std::max(mean[e], rr[e]));
  }
  // Grid from 0 to the largest rain, retrieved or averaged.
  const auto size = static_cast<std::size_t>(std::ceil(top / kStep)) + 1;
  weight_.assign(size, kEvenShare * static_cast<double>(n) / static_cast<double>(size));
  for (const double m : mean)
    weight_[std::min(static_cast<std::size_t>(std::lround(m / kStep)), size - 1)] += 1.0;

  // Median standard error of the seconds retrieved in bins of kSpreadFine mm/h up to kSpreadSplit mm/h and
  // kSpreadCoarse above (the rain above is rarer and its errors change more slowly), bins of at least
  // kSpreadMin seconds; a rain of 0 is left out (its error is of a retrieval below the limit).
  if (se.size() == n) {
    const auto bin_of = [](double r) {
      return r < kSpreadSplit ? static_cast<std::size_t>(r / kSpreadFine)
                              : static_cast<std::size_t>(kSpreadSplit / kSpreadFine) +
                                    static_cast<std::size_t>((r - kSpreadSplit) / kSpreadCoarse);
    };
    const auto centre_of = [](std::size_t b) {
      const auto fine = static_cast<std::size_t>(kSpreadSplit / kSpreadFine);
      return b < fine ? (static_cast<double>(b) + 0.5) * kSpreadFine
                      : kSpreadSplit + (static_cast<double>(b - fine) + 0.5) * kSpreadCoarse;
    };
    std::vector<std::vector<double>> bins(bin_of(top) + 1);
    for (std::size_t e = 0; e < n; ++e)
      if (rr[e] > 0.0 && se[e] > 0.0 && std::isfinite(se[e])) bins[bin_of(rr[e])].push_back(se[e]);
    for (std::size_t b = 0; b < bins.size(); ++b) {
      std::vector<double>& v = bins[b];
      if (v.size() < kSpreadMin) continue;
      const auto mid = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
      std::nth_element(v.begin(), mid, v.end());
      spread_r_.push_back(centre_of(b));
      spread_s_.push_back(*mid);
    }
  }
  inv_spread_.resize(size);
  for (std::size_t j = 0; j < size; ++j) inv_spread_[j] = 1.0 / spread_at(static_cast<double>(j) * kStep);
  neg_exp_.resize(static_cast<std::size_t>(0.5 * kReach * kReach * kExpSteps) + 2);
  for (std::size_t k = 0; k < neg_exp_.size(); ++k)
    neg_exp_[k] = std::exp(-static_cast<double>(k) / kExpSteps);
}

double central_half_width(double offset, double mean_square) {
  const double b = std::fabs(offset);
  if (!(mean_square > 0.0) || !std::isfinite(mean_square)) return NAN;
  const double rms = std::sqrt(mean_square);
  if (!(b < rms)) return rms;  // no spread left: the offset is all the error
  const double spread = std::sqrt(mean_square - b * b);
  // Share of N(b, spread^2) within +-k; rises with k from 0 at k = 0 to 1.
  const auto held = [&](double k) {
    return 0.5 * (std::erfc((b - k) / (spread * std::numbers::sqrt2)) -
                  std::erfc((b + k) / (spread * std::numbers::sqrt2)));
  };
  // The share one standard deviation holds of a normal error, erf(1 / sqrt 2).
  const double one_sigma = std::erf(1.0 / std::numbers::sqrt2);
  // Newton's method from the root mean square, kept inside the bracket [0, b + 1.5 spread] (below the
  // spread the share is below one_sigma, at b + 1.5 spread above it), bisecting when a step leaves it.
  double lo = 0.0, hi = b + 1.5 * spread, k = rms;
  const double density = 1.0 / (spread * std::sqrt(2.0 * std::numbers::pi));
  for (int step = 0; step < kHalfWidthSteps; ++step) {
    const double f = held(k) - one_sigma;
    (f < 0.0 ? lo : hi) = k;
    const double zl = (k - b) / spread, zh = (k + b) / spread;
    const double slope = density * (std::exp(-0.5 * zl * zl) + std::exp(-0.5 * zh * zh));
    double next = slope > 0.0 ? k - f / slope : 0.5 * (lo + hi);
    if (!(next > lo && next < hi)) next = 0.5 * (lo + hi);
    if (std::fabs(next - k) < 1e-7 * spread) return next;
    k = next;
  }
  return k;
}

double RainPrior::spread_at(double r) const {
  if (spread_r_.empty()) return 1.0;
  if (r <= spread_r_.front()) return spread_s_.front();
  if (r >= spread_r_.back()) return spread_s_.back();
  const auto k =
      static_cast<std::size_t>(std::upper_bound(spread_r_.begin(), spread_r_.end(), r) - spread_r_.begin());
  const double f = (r - spread_r_[k - 1]) / (spread_r_[k] - spread_r_[k - 1]);
  return spread_s_[k - 1] + f * (spread_s_[k] - spread_s_[k - 1]);
}

double RainPrior::mean_square_error(double r, double sigma) const {
  return moments(r, sigma).mean_square;
}

RainPrior::Moments RainPrior::moments(double r, double sigma) const {
  const Moments fallback{0.0, sigma * sigma};
  if (weight_.empty() || !(sigma > 0.0) || !std::isfinite(sigma) || !(r >= 0.0)) return fallback;
  double sw = 0.0, s1 = 0.0, sq = 0.0;
  std::vector<std::pair<double, double>> mass;  // distance |true - reported| and weight of each grid point
  if (r > 0.0) {
    // Normal likelihood of r at each true rain R of the grid, its spread sigma s(R) / s(r), outwards from
    // r until R is kReach spreads away.
    const double inv_scale = spread_at(r) / sigma;
    const std::size_t size = weight_.size();
    const auto centre = std::min(static_cast<std::size_t>(std::lround(r / kStep)), size - 1);
    const double cut = 0.5 * kReach * kReach;
    const double* weight = weight_.data();
    const double* inv_spread = inv_spread_.data();
    const double* table = neg_exp_.data();
    // Adds grid point j at z = j kStep - r; false once it lies more than kReach spreads from r.
    const double cut_steps = cut * kExpSteps;
    const auto add = [&](std::size_t j, double z) {
      const double inv_s = inv_scale * inv_spread[j];
      const double x = 0.5 * kExpSteps * (z * inv_s) * (z * inv_s);  // in table steps
      if (x > cut_steps) return false;
      // exp from the table at 1/kExpSteps and the cubic of exp(-d) for the rest d (error d^4 / 24).
      const int k = static_cast<int>(x);
      const double d = (x - k) * (1.0 / kExpSteps);
      const double w = weight[j] * table[k] * (1.0 - d * (1.0 - d * (0.5 - d * (1.0 / 6.0)))) * inv_s;
      sw += w;
      s1 += w * z;
      sq += w * z * z;
      return true;
    };
    const double z0 = static_cast<double>(centre) * kStep - r;
    double z = z0;
    for (std::size_t j = centre; j < size && add(j, z); ++j, z += kStep) {
    }
    z = z0 - kStep;
    for (std::size_t j = centre; j-- > 0 && add(j, z); z -= kStep) {
    }
  } else {
    // The rain was dropped: the true rain's unconstrained retrieval fell below the solver's limit.
    const double limit = kLowRainLimit + kReach * sigma;
    for (std::size_t j = 0; j < weight_.size() && static_cast<double>(j) * kStep <= limit; ++j) {
      const double R = static_cast<double>(j) * kStep;
      const double w = weight_[j] * 0.5 * std::erfc((R - kLowRainLimit) / (sigma * std::numbers::sqrt2));
      sw += w;
      s1 += w * R;
      sq += w * R * R;
      mass.emplace_back(R, w);
    }
  }
  if (!(sw > 0.0)) return fallback;
  // z and R are the true minus the reported rain: the reported value's error is their negative.
  Moments m{-s1 / sw, sq / sw, 0.0};
  // The central half-width: the distance within which the posterior holds erf(1 / sqrt 2), interpolated
  // between the grid's distances.
  std::sort(mass.begin(), mass.end());
  const double goal = std::erf(1.0 / std::numbers::sqrt2) * sw;
  double held = 0.0, last = 0.0;
  for (const auto& [d, w] : mass) {
    if (held + w >= goal) {
      m.half_width = last + (d - last) * (goal - held) / w;
      break;
    }
    held += w;
    last = d;
  }
  return m;
}

namespace {

// The estimate of a flight's standard errors, as one walk through the flight in time order. Each second with
// a usable retrieval gets its conditions, its model at the solution and a noise sample (squared residual
// per degree of freedom, scaled to the median of its chi-square) at once (add_second); its propagation
// waits until the seconds up to the pool's half-width after it have given theirs (propagate_second), so
// only that stretch of the flight is held. The rain prior of the whole flight then turns each second's
// linearised errors into the errors given its retrieval (apply_prior).
class ErrorEstimator {
 public:
  ErrorEstimator(const std::vector<flight::OutSecond>& seconds, const FlightInputs& inputs,
                 const Timing& timing)
      : seconds_(seconds), inputs_(inputs), timing_(timing), out_(seconds.size()) {
    const double max_lag = timing.mean_lag() + 0.5 * (timing.sweep - 1) / timing.records_per_second;
    rate_half_width_ = std::round(max_lag);  // s: as long as the oldest measurement's age
    look_ahead_ = std::max(kPoolHalfWidth, rate_half_width_);
    // The retrieval of neighbouring seconds shares measurements for as long as one stays in use: the noise
    // of the series is correlated over that time, which widens the variance of its slope by that factor.
    shared_ = timing.sweep / timing.records_per_second;
  }

  std::vector<SecondError> run() {
    bool any_channel = false;
    for (float f : inputs_.freq) any_channel = any_channel || f > 0.0f;
    if (!any_channel) return std::move(out_);
    for (std::size_t i = 0; i < seconds_.size(); ++i) {
      if (!add_second(i)) continue;
      // The times increase strictly: a second more than the look-ahead before this one has every noise
      // sample and series entry of its windows.
      while (t_.back() - t_[pending_.front().entry] > look_ahead_) {
        propagate_second(pending_.front());
        pending_.pop_front();
      }
    }
    for (; !pending_.empty(); pending_.pop_front()) propagate_second(pending_.front());
    apply_prior();
    return std::move(out_);
  }

 private:
  struct Pending {
    std::size_t entry = 0, second = 0;  // series entry, index of the second
    Conditions cond;
    Linearisation base;  // the model at the solution, the wind and the solver's columns
  };

  // Enters second i into the series when its retrieval can be propagated; false when it cannot.
  bool add_second(std::size_t i) {
    const flight::OutSecond& s = seconds_[i];
    std::array<bool, kChannels> used{};
    if (!channels_of(s, inputs_, used)) return false;
    if (std::isnan(s.SFWS) || std::isnan(s.SFRR) || std::isnan(s.SST) || std::isnan(s.TAmb) ||
        std::isnan(s.RAlt))
      return false;
    if (!have_emis_ || std::bit_cast<std::uint32_t>(s.SST) != std::bit_cast<std::uint32_t>(emis_sst_)) {
      klsw_loop(inputs_.freq, s.SST, emis_, inputs_.serial, kChannels);
      have_emis_ = true;
      emis_sst_ = s.SST;
    }
    Pending& p = pending_.emplace_back();
    p.entry = t_.size();
    p.second = i;
    Conditions& c = p.cond;
    c.ts = static_cast<float>(s.SST + kKelvin);
    c.ta = static_cast<float>(s.TAmb + kKelvin);
    c.h = s.RAlt;
    for (std::size_t k = 0; k < kChannels; ++k) {
      if (!used[k]) continue;
      const auto j = static_cast<std::size_t>(c.n++);
      c.channel[j] = k;
      c.freq[j] = inputs_.freq[k];
      c.emis[j] = emis_[k];
    }
    t_.push_back(static_cast<double>(s.elapsed));
    ws_.push_back(s.SFWS);
    rr_.push_back(s.SFRR);
    second_of_.push_back(i);
    p.base = Linearizer(c, model_wind(s.SFWS, s.SFRR), s.SFRR, models_).base();
    if (s.Err.kind == flight::RetrievalKind::ChannelList) add_noise_sample(s, p);
    return true;
  }

  // Noise sample: the residuals at the solution of every channel the driver offered to the filter
  // (enabled, 0 < Tb <= 270 K), those the filter took out included: the filter removes the largest
  // residuals, so the solve's own (SFQF) understate the noise. One degree of freedom less per parameter
  // fitted (one once the solver dropped the rain rate).
  void add_noise_sample(const flight::OutSecond& s, const Pending& p) {
    const Conditions& c = p.cond;
    const double u = model_wind(s.SFWS, s.SFRR);
    const std::array<float, 2> x = {static_cast<float>(u), s.SFRR};
    double sum = 0.0;
    int offered = 0;
    std::size_t j = 0;  // entry of the next channel used
    for (std::size_t k = 0; k < kChannels; ++k) {
      if (!(inputs_.freq[k] > 0.0f && s.Tb[k] > 0.0f && s.Tb[k] <= 270.0f)) continue;
      const bool in_fit = j < static_cast<std::size_t>(c.n) && c.channel[j] == k;
      const double model =
          in_fit ? p.base.model[j++] : models_.of(k, inputs_.freq[k], c.ts, c.h, c.ta, emis_[k]).tb(x);
      const double d = static_cast<double>(s.Tb[k]) - model;
      sum += d * d;
      ++offered;
    }
    const int dof = offered - (s.SFRR > 0.0f ? 2 : 1);
    if (dof > 0) {
      noise_t_.push_back(static_cast<double>(s.elapsed));
      noise_s2_.push_back(sum / dof / chi2_median_over_k(dof));
    }
  }

  // Moves the pool of noise samples and the rate window to series entry e. The pooled samples of the
  // window [plo_, phi_) are kept sorted as it slides (one insertion and one removal per second instead of a
  // selection over the whole window).
  void slide_windows(std::size_t e) {
    for (; phi_ < noise_t_.size() && noise_t_[phi_] <= t_[e] + kPoolHalfWidth; ++phi_)
      window_.insert(std::upper_bound(window_.begin(), window_.end(), noise_s2_[phi_]), noise_s2_[phi_]);
    for (; plo_ < phi_ && noise_t_[plo_] < t_[e] - kPoolHalfWidth; ++plo_)
      window_.erase(std::lower_bound(window_.begin(), window_.end(), noise_s2_[plo_]));
    while (rlo_ < t_.size() && t_[rlo_] < t_[e] - rate_half_width_) ++rlo_;
    while (rhi_ < t_.size() && t_[rhi_] <= t_[e] + rate_half_width_) ++rhi_;
  }

  // Noise alone, with the rain secant started from the last second's rain error (it changes slowly along
  // the track); after a gap the secant and the error are iterated together. Returns the linearisation at
  // the settled span, or nullptr when the propagation fails.
  const Linearisation* noise_alone(Linearizer& model, double e_time, double u, double r, double noise_var,
                                   Covariance& cov) {
    double span = last_rain_span_;
    const Linearisation* lin = nullptr;
    const bool continued = last_span_time_ >= 0.0 && e_time - last_span_time_ <= 1.0;
    const int iterations = continued ? 1 : kRainIterations;
    for (int it = 0; it < iterations; ++it) {
      lin = &model.at(span);
      if (!propagate(*lin, u, r, noise_var, 0.0, 0.0, timing_, cov)) return nullptr;
      const double next = std::max(std::sqrt(cov.rr), kMinRainSpan);
      const bool settled = std::fabs(next - span) <= kSpanTolerance * span;
      span = next;
      if (settled) break;
    }
    last_rain_span_ = span;
    last_span_time_ = e_time;
    return lin;
  }

  // The rate of a series along the track without its expected noise part.
  double rate_signal(const Slope& sl, double var) const {
    if (sl.n < 3 || !(sl.stt > 0.0)) return 0.0;
    const double v2 = sl.slope * sl.slope - shared_ * var / sl.stt;
    return v2 > 0.0 ? std::copysign(std::sqrt(v2), sl.slope) : 0.0;
  }

  // Pooled noise, rates along the track and propagation of one waiting second.
  void propagate_second(const Pending& p) {
    const std::size_t e = p.entry;
    const flight::OutSecond& s = seconds_[p.second];
    slide_windows(e);
    if (window_.empty()) return;  // no residual to learn the noise from
    const double noise_var = window_[window_.size() / 2];

    const double r = s.SFRR;
    const double u = model_wind(s.SFWS, r);
    const Slope sw = slope_of(t_, ws_, rlo_, rhi_), sr = slope_of(t_, rr_, rlo_, rhi_);
    Covariance cov;
    Linearizer model(p.cond, u, r, later_models_, &p.base);
    const Linearisation* lin = noise_alone(model, t_[e], u, r, noise_var, cov);
    if (lin == nullptr) return;
    const double ws_rate = rate_signal(sw, cov.ww), rr_rate = rate_signal(sr, cov.rr);
    if (!propagate(*lin, u, r, noise_var, ws_rate, rr_rate, timing_, cov)) return;
    // The lag of the whole state is an error of known sign: the reported wind is that of L seconds ago.
    ws_offset_[p.second] = -timing_.mean_lag() * ws_rate;

    SecondError& o = out_[p.second];
    o.ws_se = static_cast<float>(std::sqrt(cov.ww));
    o.rr_se = static_cast<float>(std::sqrt(cov.rr));
    const double denom = std::sqrt(cov.ww * cov.rr);
    o.correlation = denom > 0.0 ? static_cast<float>(std::clamp(cov.wr / denom, -1.0, 1.0)) : 0.0f;
    o.noise = static_cast<float>(std::sqrt(noise_var));
    // Residuals at the solution (the model values do not depend on the secant).
    for (std::size_t j = 0; j < static_cast<std::size_t>(p.cond.n); ++j) {
      const std::size_t k = p.cond.channel[j];
      o.tb_residual[k] = static_cast<float>(static_cast<double>(s.Tb[k]) - lin->model[j]);
    }
  }

  // The rain rate's prior, from the whole flight, turns each second's linearised errors into the errors
  // given its retrieval. Wind and rain errors are jointly normal with correlation rho, so the wind error's
  // mean square given the rain error's is sigma_w^2 (1 - rho^2) + rho^2 sigma_w^2 E[e_r^2] / sigma_r^2, and
  // its mean rho sigma_w / sigma_r E[e_r] plus the lag's. Errors that lean one way (the posterior's mean
  // off the reported rain, the lag in a gradient) are reported as the central half-width that holds the
  // truth 68.3 % of the time (central_half_width), not as their root mean square, which holds it less often.
  void apply_prior() {
    std::vector<double> se(t_.size(), NAN);
    for (std::size_t e = 0; e < t_.size(); ++e) se[e] = out_[second_of_[e]].rr_se;
    const RainPrior prior(t_, rr_, kPoolHalfWidth, se);
    for (std::size_t e = 0; e < t_.size(); ++e) {
      SecondError& o = out_[second_of_[e]];
      if (!o.valid()) continue;
      const double sr = o.rr_se, sw = o.ws_se, rho = o.correlation;
      const RainPrior::Moments m = prior.moments(rr_[e], sr);
      const double ratio = m.mean_square / (sr * sr);
      if (!std::isfinite(ratio)) continue;
      const double ws_offset = ws_offset_[second_of_[e]] + rho * sw / sr * m.mean;
      o.rr_se = static_cast<float>(
          rr_[e] > 0.0 || !(m.half_width > 0.0) ? central_half_width(m.mean, m.mean_square) : m.half_width);
      o.ws_se =
          static_cast<float>(central_half_width(ws_offset, sw * sw * (1.0 - rho * rho + rho * rho * ratio)));
    }
  }

  const std::vector<flight::OutSecond>& seconds_;
  const FlightInputs& inputs_;
  const Timing& timing_;
  std::vector<SecondError> out_;
  std::vector<double> ws_offset_ = std::vector<double>(seconds_.size(), 0.0);  // m/s: the lag's, per second
  std::vector<double> t_, ws_, rr_;                                            // the retrieved series
  std::vector<double> noise_t_, noise_s2_;                                     // noise samples
  std::vector<std::size_t> second_of_;   // index of the second of each series entry
  std::deque<Pending> pending_;          // seconds entered, not yet propagated
  ChannelModels models_, later_models_;  // of the newest second, of the one propagated
  std::array<float, kChannels> emis_{};  // emissivities at emis_sst_
  bool have_emis_ = false;
  float emis_sst_ = 0.0f;
  double rate_half_width_ = 0.0, look_ahead_ = 0.0, shared_ = 0.0;  // s, s, 1
  std::size_t plo_ = 0, phi_ = 0, rlo_ = 0, rhi_ = 0;
  std::vector<double> window_;              // pooled noise samples, sorted
  double last_rain_span_ = kFirstRainSpan;  // mm/h
  double last_span_time_ = -1.0;            // elapsed of the second that last_rain_span_ belongs to
};

}  // namespace

std::vector<SecondError> estimate_errors(const std::vector<flight::OutSecond>& seconds,
                                         const FlightInputs& inputs, const Timing& timing) {
  return ErrorEstimator(seconds, inputs, timing).run();
}

}  // namespace sfmr::uncertainty
