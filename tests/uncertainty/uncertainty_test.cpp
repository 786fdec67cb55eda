// Standard errors of the retrieval: the forward model's linearisation against its own finite differences,
// and the propagation of known instrument noise against the spread of repeated noisy retrievals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
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

TEST(ChannelModels, ACachedModelGivesTheForwardModelsValuesBitForBit) {
  struct Case {
    const char* name;
    float ts, h, ta, e0;  // K, m, K, 1
    float u, r;           // state evaluated
  };
  // One channel asked for in turn under these conditions: each change of any one must rebuild its model,
  // and a repeat must give the same values.
  const Case cases[] = {
      {.name = "first", .ts = 301.5f, .h = 3000.0f, .ta = 283.1f, .e0 = 0.35f, .u = 20.0f, .r = 5.0f},
      {.name = "same conditions, other state",
       .ts = 301.5f,
       .h = 3000.0f,
       .ta = 283.1f,
       .e0 = 0.35f,
       .u = 35.0f,
       .r = 0.0f},
      {.name = "altitude changed",
       .ts = 301.5f,
       .h = 3010.0f,
       .ta = 283.1f,
       .e0 = 0.35f,
       .u = 35.0f,
       .r = 0.0f},
      {.name = "SST changed", .ts = 300.5f, .h = 3010.0f, .ta = 283.1f, .e0 = 0.35f, .u = 35.0f, .r = 0.0f},
      {.name = "air temperature changed",
       .ts = 300.5f,
       .h = 3010.0f,
       .ta = 280.0f,
       .e0 = 0.35f,
       .u = 35.0f,
       .r = 12.0f},
      {.name = "emissivity changed",
       .ts = 300.5f,
       .h = 3010.0f,
       .ta = 280.0f,
       .e0 = 0.36f,
       .u = 35.0f,
       .r = 12.0f},
      {.name = "back to the first",
       .ts = 301.5f,
       .h = 3000.0f,
       .ta = 283.1f,
       .e0 = 0.35f,
       .u = 20.0f,
       .r = 5.0f},
  };
  ChannelModels models;
  for (const float f : {5.31f, 6.69f}) {
    for (const Case& c : cases) {
      const std::array<float, 2> x = {c.u, c.r};
      EXPECT_EQ(models.of(2, f, c.ts, c.h, c.ta, c.e0).tb(x), tbsfmr(f, c.ts, c.h, c.ta, c.e0, x))
          << c.name << " at " << f << " GHz";
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

TEST(RainPrior, ErrorGivenTheRetrievalFollowsTheFlightsRain) {
  struct Case {
    const char* name;
    double low, high;  // the flight's rain: rising evenly from low to high over 6000 s (mm/h)
    double r, sigma;   // a second's retrieved rain and linearised standard error (mm/h)
    double rms;        // expected root mean square error given the retrieval (mm/h)
    double tolerance;  // relative
    double se = 0.0;   // the flight's standard error, the same for every second (mm/h; 0 none given)
  };
  const Case cases[] = {
      // One rain rate everywhere: a retrieval there is exact, one away from it off by the distance.
      {.name = "steady rain, retrieval on it",
       .low = 5.0,
       .high = 5.0,
       .r = 5.0,
       .sigma = 1.0,
       .rms = 0.0,
       .tolerance = 0.05},
      {.name = "steady rain, retrieval 1 mm/h high",
       .low = 5.0,
       .high = 5.0,
       .r = 6.0,
       .sigma = 1.0,
       .rms = 1.0,
       .tolerance = 0.05},
      {.name = "steady drizzle dropped by the solver",
       .low = 0.8,
       .high = 0.8,
       .r = 0.0,
       .sigma = 1.0,
       .rms = 0.8,
       .tolerance = 0.05},
      // Rain of every rate alike: the retrieval's own spread, away from the bound at 0.
      {.name = "every rate, moderate rain",
       .low = 0.0,
       .high = 60.0,
       .r = 30.0,
       .sigma = 1.0,
       .rms = 1.0,
       .tolerance = 0.03},
      {.name = "every rate, wide error",
       .low = 0.0,
       .high = 60.0,
       .r = 30.0,
       .sigma = 4.0,
       .rms = 4.0,
       .tolerance = 0.03},
      // A spread the same at every rain leaves the second's own: only its ratio between rain rates counts.
      {.name = "every rate, flight's errors all 2 mm/h",
       .low = 0.0,
       .high = 60.0,
       .r = 30.0,
       .sigma = 1.0,
       .rms = 1.0,
       .tolerance = 0.03,
       .se = 2.0},
      // Not formed: the linearised error stands.
      {.name = "no error to weigh",
       .low = 0.0,
       .high = 60.0,
       .r = 30.0,
       .sigma = 0.0,
       .rms = 0.0,
       .tolerance = 0.0},
  };
  for (const Case& c : cases) {
    std::vector<double> t, rr;
    for (int s = 0; s <= 6000; ++s) {
      t.push_back(s);
      rr.push_back(c.low + (c.high - c.low) * s / 6000.0);
    }
    const RainPrior prior(t, rr, 30.0,
                          c.se > 0.0 ? std::vector<double>(t.size(), c.se) : std::vector<double>{});
    const double rms = std::sqrt(prior.mean_square_error(c.r, c.sigma));
    EXPECT_NEAR(rms, c.rms, c.tolerance * std::max(c.rms, c.sigma)) << c.name;
  }
  // Without a flight the linearised error stands.
  EXPECT_DOUBLE_EQ(RainPrior({}, {}, 30.0).mean_square_error(2.0, 0.5), 0.25);
}

TEST(CentralHalfWidth, HoldsTheShareOfOneStandardDeviation) {
  struct Case {
    const char* name;
    double offset, mean_square;
    double low, high;  // bounds of the half-width: the root mean square and what must lie above or below it
  };
  const Case cases[] = {
      // Centred: the root mean square itself.
      {"no offset", 0.0, 4.0, 2.0 - 1e-6, 2.0 + 1e-6},
      // Leaning two spreads one way: wider than the root mean square sqrt(5), within b + spread.
      {"offset of two spreads", 2.0, 5.0, std::sqrt(5.0) + 0.1, 3.0},
      {"offset of two spreads, negative", -2.0, 5.0, std::sqrt(5.0) + 0.1, 3.0},
      // All offset: the truth sits at the offset.
      {"offset only", 1.5, 2.25, 1.5 - 1e-6, 1.5 + 1e-6},
  };
  for (const Case& c : cases) {
    const double k = central_half_width(c.offset, c.mean_square);
    EXPECT_GE(k, c.low) << c.name;
    EXPECT_LE(k, c.high) << c.name;
    const double b = std::fabs(c.offset), s = std::sqrt(c.mean_square - b * b);
    if (s > 0.0) {  // the interval holds erf(1 / sqrt 2) of N(b, s^2)
      const double held = 0.5 * (std::erf((k - b) / (s * std::numbers::sqrt2)) +
                                 std::erf((k + b) / (s * std::numbers::sqrt2)));
      EXPECT_NEAR(held, std::erf(1.0 / std::numbers::sqrt2), 1e-6) << c.name;
    }
  }
  EXPECT_TRUE(std::isnan(central_half_width(1.0, 0.0)));
  // The posterior's lean: a retrieval 1 mm/h above a steady rain errs by +1 mm/h, all of it offset.
  std::vector<double> t(6001), rr(6001, 5.0);
  for (std::size_t s = 0; s < t.size(); ++s) t[s] = static_cast<double>(s);
  const RainPrior::Moments m = RainPrior(t, rr, 30.0).moments(6.0, 1.0);
  EXPECT_NEAR(m.mean, 1.0, 0.05);
  EXPECT_NEAR(central_half_width(m.mean, m.mean_square), 1.0, 0.05);
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
    // Every second has the same rain, which the flight's prior learns: each standard error is that of its
    // second given its retrieval (small near the common value, large away from it), and their mean square
    // is the retrievals' mean square error.
    const auto rms = [](const std::vector<double>& v) {
      double q = 0.0;
      for (double x : v) q += x * x;
      return std::sqrt(q / static_cast<double>(v.size()));
    };
    // The pooled noise of 61 seconds and the errors it propagates: within 15 % of the truth (the spread of
    // 600 retrievals is itself known to about 3 %).
    EXPECT_NEAR(median(noise), c.noise, 0.15 * c.noise);
    EXPECT_NEAR(rms(ws_se), rep.ws_sd, 0.15 * rep.ws_sd);
    EXPECT_NEAR(rms(rr_se), rep.rr_sd, 0.15 * rep.rr_sd);
    EXPECT_LT(median(rr_se), 0.8 * rep.rr_sd) << "the prior narrows the error of a typical second";
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
