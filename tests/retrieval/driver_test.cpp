// Per-second retrieval driver: data check, calibration to brightness temperatures, channel selection,
// hold-off, status bits, and whole seconds retrieved from synthetic counts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "retrieval/driver.hpp"
#include "retrieval_support.hpp"

namespace sfmr {
namespace {

using testing::identity_calibration;
using testing::kFreqs;
using testing::model_tbs;
using testing::realistic_calibration;
using testing::set_ratios;
using testing::TestConsole;

TEST(Checkdata, RollLandAndHoldOff) {
  struct Case {
    const char* name;
    float roll, sst;
    std::int32_t nocompute_in;
    std::int32_t err_in;
    bool big_roll, over_land;
    std::int32_t nocompute_out;
  };
  const Case cases[] = {
      {"roll 8.0 is accepted", 8.0f, 20.0f, 0, 0, false, false, 0},
      {"roll -8.0 is accepted", -8.0f, 20.0f, 0, 0, false, false, 0},
      {"roll 8.01: hold-off 4, lowered to 3", 8.01f, 20.0f, 0, 0, true, false, 3},
      {"roll -8.01 likewise", -8.01f, 20.0f, 0, 0, true, false, 3},
      {"negative SST is land", 0.0f, -0.5f, 0, 0, false, true, 3},
      {"SST 0.0 is not land", 0.0f, 0.0f, 0, 0, false, false, 0},
      {"both at once", 9.0f, -1.0f, 0, 0, true, true, 3},
      {"a running hold-off is lowered", 0.0f, 20.0f, 2, 0, false, false, 1},
      {"good data clears both bits", 0.0f, 20.0f, 0, (1 << 1) | (1 << 5), false, false, 0},
      {"other bits are left alone", 0.0f, 20.0f, 0, 0x3F45, false, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    State s;
    s.acft.Roll = c.roll;
    s.sfmr.Err = c.err_in;
    std::int32_t nocompute = c.nocompute_in;
    checkdata(s, c.sst, nocompute);
    EXPECT_EQ(bit_set(s.sfmr.Err, 1), c.big_roll);
    EXPECT_EQ(bit_set(s.sfmr.Err, 5), c.over_land);
    EXPECT_EQ(nocompute, c.nocompute_out);
    EXPECT_EQ(s.sfmr.Err & ~((1 << 1) | (1 << 5)), c.err_in & ~((1 << 1) | (1 << 5)));
  }
}

// Each constant's role, with Th2..Th6 = 7, 14, 21, 28, 45.5 (so ThN/35 = 0.2, 0.4, 0.6, 0.8, 1.3) and
// N = 3: a single constant of 10 gives c1 10, c2 Th4 6, c3 N 30, c4 N Th4 18, c5 Th5 8, c6 Th2 2,
// c7 N Th3 12, c8 Th3 4, c9 Th6 13.
TEST(Btemp, CalibrationConstants) {
  struct Case {
    std::size_t constant;  // index of the one non-zero constant
    float tb;
  };
  const Case cases[] = {{0, 10.0f}, {1, 6.0f},  {2, 30.0f}, {3, 18.0f}, {4, 8.0f},
                        {5, 2.0f},  {6, 12.0f}, {7, 4.0f},  {8, 13.0f}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "c" << c.constant + 1);
    State s;
    s.sfmr.Th = {1.0f, 2.0f, 7.0f, 14.0f, 21.0f, 28.0f, 45.5f, 3.0f};
    for (std::size_t k = 0; k < kChannels; ++k) {
      s.cal.coef[k].fill(0.0f);
      s.cal.coef[k][c.constant] = 10.0f * static_cast<float>(k + 1);  // channel k scaled by k + 1
      s.sfmr.ratio[k] = 3.0f;
    }
    btemp(s);
    for (std::size_t k = 0; k < kChannels; ++k) {
      EXPECT_NEAR(s.sfmr.Tb[k], c.tb * static_cast<float>(k + 1), 1e-4) << "channel " << k;
    }
    EXPECT_FALSE(bit_set(s.sfmr.Err, 3));
  }
}

TEST(Btemp, ReferenceTemperatures) {
  struct Case {
    const char* name;
    std::array<float, 8> th;
    std::array<float, kChannels> ratio;
    bool ref_err;
    float th6_after;
    std::array<float, kChannels> tb;
  };
  // Constants: Tb = 100 + 2 N + Th6/35 x 35 (c1 100, c3 2, c9 35).
  const Case cases[] = {
      {"all present",
       {0, 0, 30, 31, 32, 33, 34, 0},
       {1, 2, 3, 4, 5, 6},
       false,
       34.0f,
       {136, 138, 140, 142, 144, 146}},
      {"Th6 missing takes Th5",
       {0, 0, 30, 31, 32, 33, 0, 0},
       {1, 2, 3, 4, 5, 6},
       false,
       33.0f,
       {135, 137, 139, 141, 143, 145}},
      {"ratio 0.0 gives 0.0",
       {0, 0, 30, 31, 32, 33, 34, 0},
       {1, 0, 3, 0, 5, 6},
       false,
       34.0f,
       {136, 0, 140, 0, 144, 146}},
      {"Th2 missing", {0, 0, 0, 31, 32, 33, 34, 0}, {1, 2, 3, 4, 5, 6}, true, 34.0f, {0, 0, 0, 0, 0, 0}},
      {"Th3 missing", {0, 0, 30, 0, 32, 33, 34, 0}, {1, 2, 3, 4, 5, 6}, true, 34.0f, {0, 0, 0, 0, 0, 0}},
      {"Th4 missing", {0, 0, 30, 31, 0, 33, 34, 0}, {1, 2, 3, 4, 5, 6}, true, 34.0f, {0, 0, 0, 0, 0, 0}},
      {"Th5 missing: Th6 is not filled in",
       {0, 0, 30, 31, 32, 0, 0, 0},
       {1, 2, 3, 4, 5, 6},
       true,
       0.0f,
       {0, 0, 0, 0, 0, 0}},
      {"Th1, Th7 and Th8 do not matter",
       {0, 9, 30, 31, 32, 33, 34, 9},
       {1, 2, 3, 4, 5, 6},
       false,
       34.0f,
       {136, 138, 140, 142, 144, 146}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    State s;
    for (auto& row : s.cal.coef) row = {100.0f, 0, 2.0f, 0, 0, 0, 0, 0, 35.0f};
    s.cal.freq = {5.0f, 0.0f, 6.0f, 0.0f, 7.0f, 0.0f};  // disabled channels are converted all the same
    s.sfmr.Th = c.th;
    s.sfmr.ratio = c.ratio;
    s.sfmr.Tb.fill(-5.0f);
    s.sfmr.Err = c.ref_err ? 0 : (1 << 3);
    btemp(s);
    EXPECT_EQ(bit_set(s.sfmr.Err, 3), c.ref_err);
    EXPECT_EQ(s.sfmr.Th[6], c.th6_after);
    for (std::size_t k = 0; k < kChannels; ++k) EXPECT_FLOAT_EQ(s.sfmr.Tb[k], c.tb[k]) << "channel " << k;
  }
}

// A sea second: brightness temperatures of the model at 15 m/s and 5 mm/h, through an identity calibration.
State sea_state() {
  State s;
  identity_calibration(s);
  s.cal.freq = kFreqs;
  s.cal.filter = 0.0f;
  s.acft.TAmb = 22.0f;
  s.acft.RAlt = 2000.0f;
  s.sfmr.serial = 5;
  s.sfmr.ratio = model_tbs(kFreqs, 28.0f, 22.0f, 2000.0f, 15.0f, 5.0f, 5);
  return s;
}

// Hold-off after a rejected second: that second and the next two make no retrieval; the third is
// retrieved again.
TEST(Sfmr56x, HoldOffTiming) {
  struct Step {
    float roll, sst;
    bool warm;  // four channels at 275 K
    bool no_data, big_roll, over_land;
    std::int32_t nocompute;
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
  };
  const std::vector<Case> cases = {
      {"roll 8.0 accepted, 8.01 rejected",
       {{8.0f, 28.0f, false, false, false, false, 0},
        {8.01f, 28.0f, false, true, true, false, 3},
        {0.0f, 28.0f, false, true, false, false, 2},
        {0.0f, 28.0f, false, true, false, false, 1},
        {0.0f, 28.0f, false, false, false, false, 0}}},
      {"land: SST -0.5",
       {{0.0f, -0.5f, false, true, false, true, 3},
        {0.0f, 28.0f, false, true, false, false, 2},
        {0.0f, 28.0f, false, true, false, false, 1},
        {0.0f, 28.0f, false, false, false, false, 0}}},
      {"a run of rejected seconds restarts the hold-off",
       {{8.01f, 28.0f, false, true, true, false, 3},
        {0.0f, 28.0f, false, true, false, false, 2},
        {-8.5f, 28.0f, false, true, true, false, 3},
        {0.0f, 28.0f, false, true, false, false, 2},
        {0.0f, 28.0f, false, true, false, false, 1},
        {0.0f, 28.0f, false, false, false, false, 0}}},
      {"four warm channels: no solve, then two seconds held off",
       {{0.0f, 28.0f, true, false, false, true, 3},
        {0.0f, 28.0f, false, true, false, false, 2},
        {0.0f, 28.0f, false, true, false, false, 1},
        {0.0f, 28.0f, false, false, false, false, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    State s = sea_state();
    const auto sea = s.sfmr.ratio;
    Retrieval retrieval;
    TestConsole tc;
    float last_ws = s.sfmr.SFWS;
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
      const Step& step = c.steps[i];
      SCOPED_TRACE(::testing::Message() << "second " << i + 1);
      s.acft.Roll = step.roll;
      s.sfmr.ratio = step.warm ? std::array<float, kChannels>{275, 275, 180, 275, 180, 275} : sea;
      float sst = step.sst;
      retrieval.sfmr5_6x(s, tc.console, sst);
      EXPECT_EQ(bit_set(s.sfmr.Err, 0), step.no_data);
      EXPECT_EQ(bit_set(s.sfmr.Err, 1), step.big_roll);
      EXPECT_EQ(bit_set(s.sfmr.Err, 5), step.over_land);
      EXPECT_EQ(retrieval.nocompute(), step.nocompute);
      const bool solved = !step.no_data && !step.warm;
      if (solved) {
        EXPECT_NEAR(s.sfmr.SFRR, 5.0f, 0.1f);
        EXPECT_EQ(retrieval.prevws(), s.sfmr.SFWS);
        EXPECT_EQ(retrieval.prevrr(), s.sfmr.SFRR);
      } else {
        EXPECT_EQ(s.sfmr.SFWS, last_ws) << "no solve: the wind speed stays";
      }
      last_ws = s.sfmr.SFWS;
    }
    EXPECT_EQ(tc.out.str(), "") << "the driver prints nothing";
  }
}

TEST(Sfmr56x, SstReplacement) {
  struct Case {
    const char* name;
    float roll, sst;
    float sst_after;
  };
  const Case cases[] = {
      {"SST 0.0 in a retrieved second becomes 25.0", 0.0f, 0.0f, 25.0f},
      {"SST 0.0 in a held-off second stays", 10.0f, 0.0f, 0.0f},
      {"any other SST stays", 0.0f, 0.5f, 0.5f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    State s = sea_state();
    s.acft.Roll = c.roll;
    Retrieval retrieval;
    TestConsole tc;
    float sst = c.sst;
    retrieval.sfmr5_6x(s, tc.console, sst);
    EXPECT_EQ(sst, c.sst_after);
  }
}

// Channel selection: usable when enabled and 0 < Tb <= 270 K; unusable channels above 270 K count as warm.
TEST(Sfmr56x, ChannelSelection) {
  struct Case {
    const char* name;
    std::array<float, kChannels> freq;
    std::array<float, kChannels> tb;  // Tb of the channel; 0 keeps the sea value
    float filter;
    std::array<bool, kChannels> selected;
    bool no_data, over_land, solved;
  };
  const Case cases[] = {
      {"all six", kFreqs, {0, 0, 0, 0, 0, 0}, 0.0f, {true, true, true, true, true, true}, false, false, true},
      {"270.0 is usable, 270.01 is not",
       kFreqs,
       {270.0f, 270.01f, 0, 0, 0, 0},
       0.0f,
       {true, false, true, true, true, true},
       false,
       false,
       true},
      {"three warm, three usable: solve with three",
       kFreqs,
       {275, 0, 280, 0, 290, 0},
       0.0f,
       {false, true, false, true, false, true},
       false,
       false,
       true},
      {"four warm: no solve, over land",
       kFreqs,
       {275, 275, 180, 275, 180, 275},
       0.0f,
       {false, false, true, false, true, false},
       false,
       true,
       false},
      {"disabled warm channels count as warm",
       {0, 0, 5.57f, 6.02f, 0, 0},
       {275, 275, 0, 0, 275, 275},
       0.0f,
       {false, false, true, true, false, false},
       false,
       true,
       false},
      {"two enabled channels: no data",
       {4.74f, 0, 0, 0, 0, 7.09f},
       {0, 0, 0, 0, 0, 0},
       0.0f,
       {true, false, false, false, false, true},
       true,
       false,
       false},
      {"a negative or zero Tb is not usable",
       kFreqs,
       {-3.0f, 0, 0, 0, 0, 0},
       0.0f,
       {false, true, true, true, true, true},
       false,
       false,
       true},
      // The median test (filter -2) takes out the channel 40 K off; the bit shows it.
      {"a channel dropped by the filter",
       kFreqs,
       {0, 0, 0, 170, 0, 0},
       -2.0f,
       {true, true, true, false, true, true},
       false,
       false,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    State s = sea_state();
    s.cal.freq = c.freq;
    s.cal.filter = c.filter;
    for (std::size_t k = 0; k < kChannels; ++k) {
      if (c.tb[k] != 0.0f) s.sfmr.ratio[k] = c.tb[k];
    }
    s.sfmr.Err = 0x3F00 ^ 0x1500;  // channel bits deliberately wrong beforehand
    s.sfmr.SFWS = -7.0f;
    Retrieval retrieval;
    TestConsole tc;
    float sst = 28.0f;
    retrieval.sfmr5_6x(s, tc.console, sst);
    for (std::size_t k = 0; k < kChannels; ++k) {
      EXPECT_EQ(bit_set(s.sfmr.Err, 8 + static_cast<int>(k)), c.selected[k]) << "channel " << k;
    }
    EXPECT_EQ(bit_set(s.sfmr.Err, 0), c.no_data);
    EXPECT_EQ(bit_set(s.sfmr.Err, 5), c.over_land);
    EXPECT_EQ(retrieval.nocompute(), c.over_land ? 3 : 0);
    EXPECT_EQ(s.sfmr.SFWS != -7.0f, c.solved);
    EXPECT_EQ(retrieval.prevws(), c.solved ? s.sfmr.SFWS : 0.0f);
  }
}

TEST(Sfmr56x, MissingReferenceTemperature) {
  State s = sea_state();
  s.sfmr.Th[5] = 0.0f;
  s.sfmr.SFWS = 12.5f;
  Retrieval retrieval;
  TestConsole tc;
  float sst = 28.0f;
  retrieval.sfmr5_6x(s, tc.console, sst);
  EXPECT_TRUE(bit_set(s.sfmr.Err, 3));
  EXPECT_TRUE(bit_set(s.sfmr.Err, 0)) << "no usable channel";
  for (float tb : s.sfmr.Tb) EXPECT_EQ(tb, 0.0f);
  EXPECT_EQ(s.sfmr.SFWS, 12.5f);
}

// Whole seconds: brightness temperatures of the forward model at a known wind speed U and rain rate R,
// turned into count ratios through the inverse of a realistic calibration, retrieved again. The reported
// wind is the rain-corrected one, U - (0.2035 - 0.0043 U) R.
TEST(Sfmr56x, RetrievesSyntheticCounts) {
  struct Case {
    const char* name;
    float u, r;
    float sst, tamb, ralt, filter;
    std::int32_t serial;
    std::array<float, kChannels> freq;
    float model_sst;  // SST the retrieval works with
  };
  const Case cases[] = {
      {"hurricane rain band, line filter", 35.0f, 20.0f, 29.0f, 24.0f, 3000.0f, 0.0f, 7, kFreqs, 29.0f},
      {"moderate wind and rain", 15.0f, 8.0f, 27.0f, 22.0f, 2000.0f, 0.0f, 7, kFreqs, 27.0f},
      {"no rain, outlier filter", 8.0f, 0.0f, 26.0f, 21.0f, 1500.0f, -3.0f, 7, kFreqs, 26.0f},
      {"light rain, positive line filter", 25.0f, 3.0f, 28.0f, 20.0f, 3000.0f, 2.0f, 7, kFreqs, 28.0f},
      {"unknown SST: 25 C is assumed", 20.0f, 5.0f, 0.0f, 20.0f, 2500.0f, 0.0f, 7, kFreqs, 25.0f},
      {"serial 20, two channels disabled",
       20.0f,
       5.0f,
       28.0f,
       20.0f,
       3000.0f,
       0.0f,
       20,
       {4.74f, 0.0f, 5.57f, 6.02f, 0.0f, 7.09f},
       28.0f},
      {"strong wind above 37 m/s", 45.0f, 10.0f, 28.0f, 20.0f, 3000.0f, 0.0f, 7, kFreqs, 28.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    State s;
    realistic_calibration(s);
    s.cal.freq = c.freq;
    s.cal.filter = c.filter;
    s.acft.TAmb = c.tamb;
    s.acft.RAlt = c.ralt;
    s.acft.Roll = 2.5f;
    s.sfmr.serial = c.serial;
    const auto tb = model_tbs(c.freq, c.model_sst, c.tamb, c.ralt, c.u, c.r, c.serial);
    set_ratios(s, tb);
    Retrieval retrieval;
    TestConsole tc;
    for (int second = 1; second <= 2; ++second) {  // the second one starts from the first one's solution
      SCOPED_TRACE(::testing::Message() << "second " << second);
      float sst = c.sst;
      retrieval.sfmr5_6x(s, tc.console, sst);
      EXPECT_EQ(sst, c.model_sst);
      for (std::size_t k = 0; k < kChannels; ++k) EXPECT_NEAR(s.sfmr.Tb[k], tb[k], 1e-3) << "channel " << k;
      const float want_ws = c.u - (0.2035f - 0.0043f * c.u) * c.r;
      EXPECT_NEAR(s.sfmr.SFRR, c.r, 0.1f);
      EXPECT_NEAR(s.sfmr.SFWS, want_ws, 0.1f);
      EXPECT_LT(s.sfmr.SFQF, 0.5f) << "misfit at the start of the last iteration";
      EXPECT_EQ(s.sfmr.Err & 0xFF, 0) << "no status bit below the channel bits";
      EXPECT_EQ(retrieval.prevws(), s.sfmr.SFWS);
      EXPECT_EQ(retrieval.prevrr(), s.sfmr.SFRR);
    }
  }
}

}  // namespace
}  // namespace sfmr
