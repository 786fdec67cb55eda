// Standard errors of the retrieval: the forward model's linearisation against its own finite differences,
// and the propagation of known instrument noise against the spread of repeated noisy retrievals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "retrieval/forward_model.hpp"
#include "retrieval/solver.hpp"
#include "uncertainty/uncertainty.hpp"

namespace sfmr::uncertainty {
namespace {

const std::array<float, kChannels> kFreqs = {4.74f, 5.31f, 5.57f, 6.02f, 6.69f, 7.09f};  // GHz

Conditions conditions(float sst, float tamb, float h) {
  Conditions c;
  c.n = kChannels;
  c.freq = kFreqs;
  klsw_loop(kFreqs, sst, c.emis, 17, kChannels);
  c.ts = sst + 273.146f;
  c.ta = tamb + 273.146f;
  c.h = h;
  for (std::size_t k = 0; k < kChannels; ++k) c.channel[k] = k;
  return c;
}

double model(const Conditions& c, std::size_t i, double u, double r) {
  return tbsfmr(c.freq[i], c.ts, c.h, c.ta, c.emis[i],
                std::array<float, 2>{static_cast<float>(u), static_cast<float>(r)});
}

TEST(Linearise, MatchesFiniteDifferencesOfTheModel) {
  struct Case {
    const char* name;
    float sst, tamb, h;
    double u, r;
  };
  // Points away from the kinks of the wind law (7 and 37 m/s).
  const Case cases[] = {
      {.name = "moderate wind, light rain", .sst = 28.0f, .tamb = 20.0f, .h = 3000.0f, .u = 15.0, .r = 2.0},
      {.name = "hurricane wind, heavy rain", .sst = 29.0f, .tamb = 10.0f, .h = 3000.0f, .u = 45.0, .r = 30.0},
      {.name = "low wind, low level", .sst = 25.0f, .tamb = 22.0f, .h = 500.0f, .u = 4.0, .r = 8.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Conditions cond = conditions(c.sst, c.tamb, c.h);
    const Linearisation lin = linearise(cond, c.u, c.r, 0.05);
    ASSERT_EQ(lin.n, kChannels);
    for (std::size_t i = 0; i < kChannels; ++i) {
      // Wider central differences than the linearisation's own: the same derivative within their error.
      const double du = (model(cond, i, c.u + 0.5, c.r) - model(cond, i, c.u - 0.5, c.r)) / 1.0;
      const double dr = (model(cond, i, c.u, c.r + 0.25) - model(cond, i, c.u, c.r - 0.25)) / 0.5;
      EXPECT_NEAR(lin.J[i][0], du, 0.01 * std::fabs(du) + 1e-3) << "wind column, channel " << i;
      EXPECT_NEAR(lin.J[i][1], dr, 0.02 * std::fabs(dr) + 1e-3) << "rain column, channel " << i;
      EXPECT_NEAR(lin.model[i], model(cond, i, c.u, c.r), 1e-4) << "model, channel " << i;
      // The solver's one-sided steps of 1 m/s and 1 mm/h.
      EXPECT_NEAR(lin.J_solver[i][0], model(cond, i, c.u + 1.0, c.r) - lin.model[i], 1e-4) << i;
      EXPECT_NEAR(lin.J_solver[i][1], model(cond, i, c.u, c.r + 1.0) - lin.model[i], 1e-4) << i;
      // The linearisation predicts a small step of both.
      const double step = model(cond, i, c.u + 0.2, c.r + 0.1) - lin.model[i];
      EXPECT_NEAR(step, 0.2 * lin.J[i][0] + 0.1 * lin.J[i][1], 0.03 * std::fabs(step) + 1e-3) << i;
    }
  }
}

TEST(Linearise, RainColumnIsTheSecantCutAtZero) {
  struct Case {
    double r, span;  // mm/h
    double lo, hi;   // the secant's ends
  };
  const Case cases[] = {
      {.r = 0.0, .span = 0.1, .lo = 0.0, .hi = 0.1},
      {.r = 0.0, .span = 2.0, .lo = 0.0, .hi = 2.0},
      {.r = 0.5, .span = 2.0, .lo = 0.0, .hi = 2.5},
      {.r = 10.0, .span = 2.0, .lo = 8.0, .hi = 12.0},
  };
  const Conditions cond = conditions(28.0f, 15.0f, 3000.0f);
  for (const Case& c : cases) {
    const Linearisation lin = linearise(cond, 20.0, c.r, c.span);
    for (std::size_t i = 0; i < kChannels; ++i) {
      const double secant = (model(cond, i, 20.0, c.hi) - model(cond, i, 20.0, c.lo)) / (c.hi - c.lo);
      EXPECT_NEAR(lin.J[i][1], secant, 1e-3) << "rain " << c.r << " span " << c.span << " channel " << i;
    }
  }
}

TEST(Timing, AgesOfTheMeasurementsOfALine) {
  const Timing six;  // two records per second, four of delay, six channels
  EXPECT_DOUBLE_EQ(six.mean_lag(), 3.75);
  EXPECT_NEAR(six.lag_variance(), 35.0 / 48.0, 1e-12);
  const Timing four{.records_per_second = 2.0, .delay_records = 4, .sweep = 4};
  EXPECT_DOUBLE_EQ(four.mean_lag(), 3.25);  // ages 2.5, 3, 3.5, 4 s
}

// Repeated noisy retrievals of one state through the solver, as a flight of identical seconds.
struct Repeats {
  std::vector<flight::OutSecond> seconds;
  double ws_sd = 0.0, rr_sd = 0.0;
};

Repeats repeat_retrievals(const Conditions& cond, float sst, float tamb, double u, double r, double noise,
                          int count, unsigned seed) {
  Repeats out;
  std::mt19937 rng(seed);
  std::normal_distribution<double> normal(0.0, noise);
  std::vector<double> ws, rr;
  for (int s = 0; s < count; ++s) {
    std::array<float, kChannels> tb{};
    for (std::size_t i = 0; i < kChannels; ++i)
      tb[i] = static_cast<float>(model(cond, i, u, r) + normal(rng));
    flight::OutSecond o;
    o.elapsed = s;
    o.clock = s;
    o.SST = sst;
    o.TAmb = tamb;
    o.RAlt = cond.h;
    o.Tb = tb;
    o.Err.kind = flight::RetrievalKind::ChannelList;
    o.Err.channel_used.fill(true);
    std::int32_t err = 0;
    std::array<float, kChannels> fit = tb;
    wrsolv(fit, kFreqs, o.SFWS, o.SFRR, sst, tamb, cond.h, 1.0f, kChannels, 0.0f, 0.0f, cond.emis, err,
           o.SFQF);
    if (err != 0) continue;
    out.seconds.push_back(o);
    ws.push_back(o.SFWS);
    rr.push_back(o.SFRR);
  }
  const auto sd = [](const std::vector<double>& v) {
    double m = 0.0, q = 0.0;
    for (double x : v) m += x;
    m /= static_cast<double>(v.size());
    for (double x : v) q += (x - m) * (x - m);
    return std::sqrt(q / static_cast<double>(v.size() - 1));
  };
  out.ws_sd = sd(ws);
  out.rr_sd = sd(rr);
  return out;
}

TEST(EstimateErrors, MatchTheSpreadOfRepeatedNoisyRetrievals) {
  struct Case {
    const char* name;
    double u, r;   // fitted state: m/s, mm/h
    double noise;  // K
  };
  const Case cases[] = {
      {.name = "tropical storm in a rain band", .u = 25.0, .r = 8.0, .noise = 0.2},
      {.name = "hurricane eyewall", .u = 45.0, .r = 30.0, .noise = 0.5},
      {.name = "moderate wind, moderate rain, quiet radiometer", .u = 18.0, .r = 5.0, .noise = 0.1},
  };
  const float sst = 28.4f, tamb = 10.0f, h = 3000.0f;
  const Conditions cond = conditions(sst, tamb, h);
  int seed = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Repeats rep =
        repeat_retrievals(cond, sst, tamb, c.u, c.r, c.noise, 600, static_cast<unsigned>(seed++));
    ASSERT_GT(rep.seconds.size(), 500u);
    const std::vector<SecondError> e =
        estimate_errors(rep.seconds, FlightInputs{.freq = kFreqs, .serial = 17});
    ASSERT_EQ(e.size(), rep.seconds.size());
    std::vector<double> ws_se, rr_se, noise;
    for (const SecondError& s : e) {
      ASSERT_TRUE(s.valid());
      ws_se.push_back(s.ws_se);
      rr_se.push_back(s.rr_se);
      noise.push_back(s.noise);
      EXPECT_LT(s.correlation, 0.0f) << "more rain and less wind explain the same brightness";
    }
    const auto median = [](std::vector<double> v) {
      std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
      return v[v.size() / 2];
    };
    // The pooled noise of 61 seconds and the errors it propagates: within 15 % of the truth (the spread of
    // 600 retrievals is itself known to about 3 %).
    EXPECT_NEAR(median(noise), c.noise, 0.15 * c.noise);
    EXPECT_NEAR(median(ws_se), rep.ws_sd, 0.15 * rep.ws_sd);
    EXPECT_NEAR(median(rr_se), rep.rr_sd, 0.15 * rep.rr_sd);
  }
}

TEST(EstimateErrors, NoRetrievalNoFrequenciesNoError) {
  const float sst = 28.4f, tamb = 10.0f;
  const Conditions cond = conditions(sst, tamb, 3000.0f);
  Repeats rep = repeat_retrievals(cond, sst, tamb, 30.0, 10.0, 0.3, 40, 7);
  rep.seconds[5].Err.kind = flight::RetrievalKind::NoData;
  rep.seconds[6].Err.channel_used = {true, true, false, false, false, false};  // two channels: no solve
  rep.seconds[7].Err.channel_used[3] = false;
  const std::vector<SecondError> e = estimate_errors(rep.seconds, FlightInputs{.freq = kFreqs});
  EXPECT_FALSE(e[5].valid()) << "no retrieval";
  EXPECT_FALSE(e[6].valid()) << "fewer than three channels";
  ASSERT_TRUE(e[7].valid());
  for (std::size_t k = 0; k < kChannels; ++k)
    EXPECT_EQ(std::isnan(e[7].tb_residual[k]), k == 3) << "residual of channel " << k;
  for (const SecondError& s : estimate_errors(rep.seconds, FlightInputs{})) EXPECT_FALSE(s.valid());
}

}  // namespace
}  // namespace sfmr::uncertainty
