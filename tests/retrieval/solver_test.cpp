// Wind speed and rain rate solver: normal-matrix inversion, the Gauss-Newton fit and its special cases.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "retrieval/solver.hpp"
#include "retrieval_support.hpp"

namespace sfmr {
namespace {

using testing::model_tbs;

TEST(Invert2, InverseInPlace) {
  struct Case {
    const char* name;
    int np;
    std::array<float, 4> m;  // (1,1), (2,1), (1,2), (2,2)
    std::array<float, 4> want;
  };
  const Case cases[] = {
      {"1 x 1", 1, {4.0f, 7.0f, 7.0f, 7.0f}, {0.25f, 7.0f, 7.0f, 7.0f}},
      {"1 x 1 zero is left", 1, {0.0f, 7.0f, 7.0f, 7.0f}, {0.0f, 7.0f, 7.0f, 7.0f}},
      {"symmetric", 2, {2.0f, 1.0f, 1.0f, 3.0f}, {0.6f, -0.2f, -0.2f, 0.4f}},
      // [[1 2] [3 4]]^-1 = [[-2 1] [1.5 -0.5]]
      {"column order", 2, {1.0f, 3.0f, 2.0f, 4.0f}, {-2.0f, 1.5f, 1.0f, -0.5f}},
      {"singular is left", 2, {1.0f, 2.0f, 2.0f, 4.0f}, {1.0f, 2.0f, 2.0f, 4.0f}},
      {"any np other than 1 is 2 x 2", 0, {2.0f, 1.0f, 1.0f, 3.0f}, {0.6f, -0.2f, -0.2f, 0.4f}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::array<float, 4> m = c.m;
    invert2(c.np, m);
    for (std::size_t i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(m[i], c.want[i]) << "element " << i;
  }
}

// Reference case of the solver: six channels 4.5 .. 7.5 GHz, SST 28 C, air 20 C, 3000 m.
const std::array<float, kChannels> kExampleFreqs = {4.5f, 5.1f, 5.7f, 6.3f, 6.9f, 7.5f};

struct Solve {
  float ws = -1.0f, rr = -1.0f, qf = -1.0f;
  std::int32_t err = 0;
  SolverTrace trace;
};

Solve solve_example(std::array<float, kChannels> tb, float prevws, float prevrr, std::int32_t err = 0,
                    int n = kChannels, const std::array<float, kChannels>& freq = kExampleFreqs) {
  std::array<float, kChannels> emis{};
  klsw_loop(freq, 28.0f, emis, 1, kChannels);
  Solve out;
  out.err = err;
  wrsolv(tb, freq, out.ws, out.rr, 28.0f, 20.0f, 3000.0f, 1.0f, n, prevws, prevrr, emis, out.err, out.qf,
         &out.trace);
  return out;
}

TEST(Wrsolv, WorkedExampleIterates) {
  struct Case {
    const char* name;
    float u, r;  // truth
    int iterations;
    std::vector<std::array<float, 2>> path;  // state after each iteration (reference values, 2 decimals)
    float ws, rr;
  };
  const Case cases[] = {
      {"U 20, R 5",
       20.0f,
       5.0f,
       4,
       {{29.31f, 5.31f}, {21.52f, 4.98f}, {20.08f, 5.00f}, {20.00f, 5.00f}},
       19.41f,
       5.00f},
      // R falls to 0.49, 0.14, 0.06, is dropped after iteration 4, the fit ends in iteration 5.
      {"U 8, R 0",
       8.0f,
       0.0f,
       5,
       {{7.83f, 0.49f}, {7.94f, 0.14f}, {7.98f, 0.06f}, {7.99f, 0.0f}, {8.00f, 0.0f}},
       8.00f,
       0.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Solve s = solve_example(model_tbs(kExampleFreqs, 28.0f, 20.0f, 3000.0f, c.u, c.r), 0.0f, 0.0f,
                                  (1 << 2) | (1 << 6));
    ASSERT_EQ(s.trace.iterations, c.iterations);
    for (std::size_t i = 0; i < c.path.size(); ++i) {
      EXPECT_NEAR(s.trace.x[i][0], c.path[i][0], 0.01) << "U after iteration " << i + 1;
      EXPECT_NEAR(s.trace.x[i][1], c.path[i][1], 0.01) << "R after iteration " << i + 1;
    }
    EXPECT_NEAR(s.ws, c.ws, 0.01);
    EXPECT_NEAR(s.rr, c.rr, 0.01);
    EXPECT_LT(s.qf, 0.1f);
    EXPECT_GE(s.qf, 0.0f);
    EXPECT_EQ(s.err, 0) << "bits 2 and 6 cleared";
  }
  // Once dropped, the rain rate is exactly zero.
  const Solve dry = solve_example(model_tbs(kExampleFreqs, 28.0f, 20.0f, 3000.0f, 8.0f, 0.0f), 0.0f, 0.0f);
  EXPECT_EQ(dry.trace.x[3][1], 0.0f);
  EXPECT_EQ(dry.rr, 0.0f);
}

// Channels below the calm, rain-free model: up to three are fitted to the model value instead, four or
// more mean no wind and no rain. The other channels measure the calm sea itself, so with three raised
// channels the fit converges near zero wind.
TEST(Wrsolv, CalmSeaCheck) {
  struct Case {
    const char* name;
    int below;  // the first `below` channels measure 1 K less than the calm model
    bool zero;
  };
  const Case cases[] = {
      {"four of six below", 4, true}, {"six of six below", 6, true}, {"three of six below", 3, false}};
  const std::array<float, kChannels> calm = model_tbs(kExampleFreqs, 28.0f, 20.0f, 3000.0f, 0.0f, 0.0f);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::array<float, kChannels> tb = calm;
    for (int i = 0; i < c.below; ++i)
      tb[static_cast<std::size_t>(i)] = calm[static_cast<std::size_t>(i)] - 1.0f;
    std::array<float, kChannels> emis{};
    klsw_loop(kExampleFreqs, 28.0f, emis, 1, kChannels);
    float ws = 9.0f, rr = 9.0f, qf = 7.5f;
    std::int32_t err = (1 << 2) | (1 << 6);
    wrsolv(tb, kExampleFreqs, ws, rr, 28.0f, 20.0f, 3000.0f, 1.0f, kChannels, 0.0f, 0.0f, emis, err, qf);
    if (c.zero) {
      EXPECT_EQ(ws, 0.0f);
      EXPECT_EQ(rr, 0.0f);
      EXPECT_TRUE(bit_set(err, 2));
      EXPECT_TRUE(bit_set(err, 6)) << "bit 6 is left as it was";
      EXPECT_EQ(qf, 7.5f) << "quality is left as it was";
    } else {
      EXPECT_FALSE(bit_set(err, 2));
      EXPECT_FALSE(bit_set(err, 6));
      EXPECT_NE(qf, 7.5f);
      for (int i = 0; i < c.below; ++i) {
        EXPECT_EQ(tb[static_cast<std::size_t>(i)], calm[static_cast<std::size_t>(i)])
            << "raised to the model";
      }
      EXPECT_LT(ws, 0.01f);
      EXPECT_EQ(rr, 0.0f);
    }
  }
}

TEST(Wrsolv, StartValues) {
  struct Case {
    const char* name;
    float prevws, prevrr;
    int iterations;
    std::array<float, 2> first;  // state after the first iteration
  };
  // From (5, 2) the first step of the worked example leads to (29.31, 5.31); from the truth itself the fit
  // does not move and converges at once.
  const Case cases[] = {
      {"no previous solution", 0.0f, 0.0f, 4, {29.31f, 5.31f}},
      {"previous 3.2 and 0.0 start at 5 and 2", 3.2f, 0.0f, 4, {29.31f, 5.31f}},
      {"previous 5 and 2 exactly", 5.0f, 2.0f, 4, {29.31f, 5.31f}},
      {"previous solution at the truth", 20.0f, 5.0f, 1, {20.0f, 5.0f}},
  };
  const std::array<float, kChannels> tb = model_tbs(kExampleFreqs, 28.0f, 20.0f, 3000.0f, 20.0f, 5.0f);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Solve s = solve_example(tb, c.prevws, c.prevrr);
    EXPECT_EQ(s.trace.iterations, c.iterations);
    EXPECT_NEAR(s.trace.x[0][0], c.first[0], 0.01);
    EXPECT_NEAR(s.trace.x[0][1], c.first[1], 0.01);
  }
}

// Limits on the updated state: negative becomes 0.01, above 100 jumps back to 20.
TEST(Wrsolv, StateLimits) {
  struct Case {
    const char* name;
    float u, r, tilt;  // truth, plus a linear tilt across the channels (K per channel)
    float proposed_u_min, proposed_u_max;
    float limited_u;
  };
  const Case cases[] = {
      {"calm sea: the first step overshoots below zero", 0.0f, 0.0f, 0.0f, -1e9f, 0.0f, 0.01f},
      {"heavy rain, tilted: the first step overshoots past 100", 0.5f, 60.0f, -8.0f, 100.0f, 1e9f, 20.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::array<float, kChannels> tb = model_tbs(kExampleFreqs, 28.0f, 20.0f, 3000.0f, c.u, c.r);
    for (std::size_t k = 0; k < kChannels; ++k) tb[k] += c.tilt * (static_cast<float>(k) - 2.5f);
    const Solve s = solve_example(tb, 0.0f, 0.0f);
    ASSERT_GE(s.trace.iterations, 1);
    ASSERT_GT(s.trace.proposed[0][0], c.proposed_u_min);
    ASSERT_LT(s.trace.proposed[0][0], c.proposed_u_max);
    EXPECT_EQ(s.trace.x[0][0], c.limited_u);
  }
}

// A calm sea with 1 mm/h of rain: every step proposes a slightly negative wind, which becomes 0.01 again,
// a relative change near 100 % each time, so the fit never meets the 1 % test.
TEST(Wrsolv, NoConvergence) {
  const std::array<float, kChannels> tb = model_tbs(kExampleFreqs, 28.0f, 20.0f, 3000.0f, 0.0f, 1.0f);
  const Solve s = solve_example(tb, 0.0f, 0.0f, 1 << 2);
  EXPECT_EQ(s.trace.iterations, 21);
  EXPECT_EQ(s.ws, 0.0f);
  EXPECT_EQ(s.rr, 0.0f);
  EXPECT_TRUE(bit_set(s.err, 6));
  EXPECT_FALSE(bit_set(s.err, 2));
  EXPECT_NE(s.qf, -1.0f) << "quality of the 21st iteration";
  EXPECT_GE(s.qf, 0.0f);
}

// Reported wind: fitted U - (0.2035 - 0.0043 U) R, not below 0.
TEST(Wrsolv, RainCorrection) {
  struct Case {
    const char* name;
    float u, r;
    float prevws, prevrr;
    float ws, rr;
    float tol_rr;
  };
  const Case cases[] = {
      // Started at the truth: no step, converged in the first iteration, fitted values exact.
      {"U 10, R 5", 10.0f, 5.0f, 10.0f, 5.0f, 10.0f - (0.2035f - 0.043f) * 5.0f, 5.0f, 0.0f},
      {"U 60, R 5: the correction raises the wind", 60.0f, 5.0f, 60.0f, 5.0f,
       60.0f - (0.2035f - 0.0043f * 60.0f) * 5.0f, 5.0f, 0.0f},
      // Fitted from the usual start.
      {"U 0.5, R 20: never negative", 0.5f, 20.0f, 0.0f, 0.0f, 0.0f, 20.0f, 0.05f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Solve s =
        solve_example(model_tbs(kExampleFreqs, 28.0f, 20.0f, 3000.0f, c.u, c.r), c.prevws, c.prevrr);
    EXPECT_NEAR(s.ws, c.ws, 1e-4);
    EXPECT_NEAR(s.rr, c.rr, c.tol_rr + 1e-6);
    EXPECT_FALSE(bit_set(s.err, 6));
  }
}

// Channels outside 4..8 GHz have a zero model and a zero Jacobian: the state does not move, the fit counts
// as converged at once, and the whole measured values enter the quality figure.
TEST(Wrsolv, OutOfBandChannels) {
  const std::array<float, kChannels> freq = {3.0f, 9.0f, 3.5f, 0.0f, 0.0f, 0.0f};
  const Solve s = solve_example({100.0f, 100.0f, 100.0f, 0.0f, 0.0f, 0.0f}, 0.0f, 0.0f, 0, 3, freq);
  EXPECT_EQ(s.trace.iterations, 1);
  EXPECT_FLOAT_EQ(s.rr, 2.0f);
  EXPECT_FLOAT_EQ(s.ws, 5.0f - (0.2035f - 0.0215f) * 2.0f);
  EXPECT_FLOAT_EQ(s.qf, 100.0f);
}

TEST(Wrsolv, TooFewChannelsChangeNothing) {
  struct Case {
    int n;
  };
  const Case cases[] = {{0}, {1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "n " << c.n);
    std::array<float, kChannels> tb = {50.0f, 50.0f, 50.0f, 50.0f, 50.0f, 50.0f};
    std::array<float, kChannels> emis = {0.36f, 0.36f, 0.36f, 0.36f, 0.36f, 0.36f};
    float ws = 3.0f, rr = 4.0f, qf = 5.0f;
    std::int32_t err = 0x44;
    wrsolv(tb, kExampleFreqs, ws, rr, 28.0f, 20.0f, 3000.0f, 1.0f, c.n, 0.0f, 0.0f, emis, err, qf);
    EXPECT_EQ(ws, 3.0f);
    EXPECT_EQ(rr, 4.0f);
    EXPECT_EQ(qf, 5.0f);
    EXPECT_EQ(err, 0x44);
    EXPECT_EQ(tb[0], 50.0f) << "no calm-sea check either";
  }
}

}  // namespace
}  // namespace sfmr
