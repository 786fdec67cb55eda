// Channel quality filters: the least-squares line, the median test and the line test, with their diagnostic
// lines. Expected fits are exact rational evaluations of the least-squares formulas.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "retrieval/filters.hpp"
#include "retrieval_support.hpp"

namespace sfmr {
namespace {

using testing::TestConsole;

// The console transcript as separate lines, each of which must end with CR LF.
std::vector<std::string> console_lines(const std::string& text) {
  EXPECT_TRUE(text.empty() || text.ends_with("\r\n")) << "every line ends with CR LF";
  EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), std::count(text.begin(), text.end(), '\n'));
  return testing::lines_of(text);
}

State state_with(const std::array<float, kChannels>& freq, const std::array<float, kChannels>& tb,
                 float filter, std::int32_t diag_on) {
  State s;
  s.cal.freq = freq;
  s.sfmr.Tb = tb;
  s.cal.filter = filter;
  s.diag.on = diag_on;
  return s;
}

const std::array<float, kChannels> kSixFreqs = {4.5f, 5.1f, 5.7f, 6.3f, 6.9f, 7.5f};

TEST(Lstsqcalc, Fit) {
  struct Case {
    const char* name;
    std::array<float, kChannels> freq, tb;
    ChannelFlags ok;
    std::int32_t n;
    float slope, offset, adev;
    std::array<float, kChannels> resid;
    double tol;
  };
  const Case cases[] = {
      {"flat zigzag; residual of the unused channel too",
       {1, 2, 3, 4, 5, 6},
       {10, 12, 10, 12, 10, 20},
       {1, 1, 1, 1, 1, 0},
       5,
       0.0f,
       10.8f,
       4.3817805f,
       {0.8f, -1.2f, 0.8f, -1.2f, 0.8f, -9.2f},
       1e-5},
      {"rising line with one warm channel",
       {5, 6, 7, 8, 9, 10},
       {150, 155, 160, 165, 170, 195},
       {1, 1, 1, 1, 1, 1},
       6,
       7.857143f,
       106.904762f,
       30.860670f,
       {-3.809524f, -0.952381f, 1.904762f, 4.761905f, 7.619048f, -9.523810f},
       2e-4},
      {"one frequency: slope 0, offset the mean",
       {5, 5, 5, 5, 0, 0},
       {100, 102, 104, 106, 0, 0},
       {1, 1, 1, 1, 0, 0},
       4,
       0.0f,
       103.0f,
       7.7459667f,
       {3.0f, 1.0f, -1.0f, -3.0f, 103.0f, 103.0f},
       1e-5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const State s = state_with(c.freq, c.tb, 0.0f, 0);
    std::array<float, kChannels> resid{};
    float slope = -1.0f, offset = -1.0f, adev = -1.0f;
    std::int32_t n = -1;
    lstsqcalc(s, c.ok, resid, slope, offset, adev, n);
    EXPECT_EQ(n, c.n);
    EXPECT_NEAR(slope, c.slope, c.tol) << "want " << c.slope << " got " << slope;
    EXPECT_NEAR(offset, c.offset, c.tol) << "want " << c.offset << " got " << offset;
    EXPECT_NEAR(adev, c.adev, c.tol) << "want " << c.adev << " got " << adev;
    for (std::size_t k = 0; k < kChannels; ++k) {
      EXPECT_NEAR(resid[k], c.resid[k], c.tol)
          << "residual " << k << " want " << c.resid[k] << " got " << resid[k];
    }
  }
}

TEST(Lstsqcalc, TooFewChannelsOnlyCount) {
  struct Case {
    const char* name;
    ChannelFlags ok;
    std::int32_t n;
  };
  const Case cases[] = {{"one channel", {0, 0, 1, 0, 0, 0}, 1}, {"no channel", {0, 0, 0, 0, 0, 0}, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const State s = state_with(kSixFreqs, {150, 152, 154, 156, 158, 160}, 0.0f, 0);
    std::array<float, kChannels> resid = {7, 7, 7, 7, 7, 7};
    float slope = 7.0f, offset = 7.0f, adev = 7.0f;
    std::int32_t n = -1;
    lstsqcalc(s, c.ok, resid, slope, offset, adev, n);
    EXPECT_EQ(n, c.n);
    EXPECT_EQ(slope, 7.0f);
    EXPECT_EQ(offset, 7.0f);
    EXPECT_EQ(adev, 7.0f);
    for (float r : resid) EXPECT_EQ(r, 7.0f);
  }
}

TEST(Checkoutlier, TakesOutFarthestChannels) {
  struct Case {
    const char* name;
    float filter;
    std::array<float, kChannels> tb;
    ChannelFlags ok;
    std::int32_t once;
    ChannelFlags want;
    std::vector<std::string> diag;
  };
  const Case cases[] = {
      {"filter -2: median 155, ADev 9.667, channel 4 goes",
       -2.0f,
       {150, 152, 154, 156, 200, 158},
       {1, 1, 1, 1, 1, 1},
       0,
       {1, 1, 1, 1, 0, 1},
       {"Median:  155.0 ADev:    9.7", "MaxDif:   45.0 Index:  5"}},
      {"filter -1: two passes take out channels 3 and 4",
       -1.0f,
       {150, 152, 154, 230, 200, 156},
       {1, 1, 1, 1, 1, 1},
       0,
       {1, 1, 1, 0, 0, 1},
       {"Median:  155.0 ADev:   21.7", "MaxDif:   75.0 Index:  4"}},
      {"filter -1, one pass: only channel 3",
       -1.0f,
       {150, 152, 154, 230, 200, 156},
       {1, 1, 1, 1, 1, 1},
       1,
       {1, 1, 1, 0, 1, 1},
       {"Median:  155.0 ADev:   21.7", "MaxDif:   75.0 Index:  4"}},
      {"filter -3: only channel 3",
       -3.0f,
       {150, 152, 154, 230, 200, 156},
       {1, 1, 1, 1, 1, 1},
       0,
       {1, 1, 1, 0, 1, 1},
       {"Median:  155.0 ADev:   21.7", "MaxDif:   75.0 Index:  4"}},
      {"equal differences: the earlier channel first",
       -1.0f,
       {100, 150, 150, 150, 150, 200},
       {1, 1, 1, 1, 1, 1},
       1,
       {0, 1, 1, 1, 1, 1},
       {"Median:  150.0 ADev:   16.7", "MaxDif:   50.0 Index:  1"}},
      {"equal differences, two passes: both",
       -1.0f,
       {100, 150, 150, 150, 150, 200},
       {1, 1, 1, 1, 1, 1},
       0,
       {0, 1, 1, 1, 1, 0},
       {"Median:  150.0 ADev:   16.7", "MaxDif:   50.0 Index:  1"}},
      {"nothing beyond the threshold: it is shown with index 0",
       -3.0f,
       {150, 152, 154, 156, 158, 160},
       {1, 1, 1, 1, 1, 1},
       0,
       {1, 1, 1, 1, 1, 1},
       {"Median:  155.0 ADev:    3.0", "MaxDif:    9.0 Index:  0"}},
      {"unusable channels stay out of the median and are never chosen",
       -2.0f,
       {150, 152, 999, 156, 200, 158},
       {1, 1, 0, 1, 1, 1},
       0,
       {1, 1, 0, 1, 0, 1},
       {"Median:  156.0 ADev:   11.2", "MaxDif:   44.0 Index:  5"}},
      {"three usable channels: nothing, silently",
       -1.0f,
       {150, 500, 154, 0, 0, 0},
       {1, 1, 1, 0, 0, 0},
       0,
       {1, 1, 1, 0, 0, 0},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (std::int32_t diag_on : {1, 0}) {
      SCOPED_TRACE(diag_on != 0 ? "diagnostics on" : "diagnostics off");
      const State s = state_with(kSixFreqs, c.tb, c.filter, diag_on);
      TestConsole tc;
      ChannelFlags ok = c.ok;
      checkoutlier(s, tc.console, ok, c.once);
      EXPECT_EQ(ok, c.want);
      if (diag_on != 0) {
        EXPECT_EQ(console_lines(tc.out.str()), c.diag);
      } else {
        EXPECT_EQ(tc.out.str(), "");
      }
    }
  }
}

TEST(Checklinear, TakesOutChannelsOffTheLine) {
  struct Case {
    const char* name;
    float filter;
    std::array<float, kChannels> freq, tb;
    ChannelFlags ok, want;
  };
  const Case cases[] = {
      {"filter 2: the warm channel 5 goes, the rest lie on a line",
       2.0f,
       {5, 6, 7, 8, 9, 10},
       {150, 155, 160, 165, 170, 195},
       {1, 1, 1, 1, 1, 1},
       {1, 1, 1, 1, 1, 0}},
      {"filter 31: adev 30.861 is below it",
       31.0f,
       {5, 6, 7, 8, 9, 10},
       {150, 155, 160, 165, 170, 195},
       {1, 1, 1, 1, 1, 1},
       {1, 1, 1, 1, 1, 1}},
      {"filter 0: fit only",
       0.0f,
       {5, 6, 7, 8, 9, 10},
       {150, 155, 160, 165, 170, 195},
       {1, 1, 1, 1, 1, 1},
       {1, 1, 1, 1, 1, 1}},
      {"four usable channels: too few",
       0.5f,
       {5, 6, 7, 8, 9, 10},
       {150, 155, 160, 199, 170, 195},
       {1, 1, 1, 1, 0, 0},
       {1, 1, 1, 1, 0, 0}},
      // Slope exactly 35 K/GHz, offset 10 K, residuals 20, -10, -20, -10, 20 about it.
      {"slope exactly 35: neither implausible nor inside the window",
       2.0f,
       {4, 5, 6, 7, 8, 0},
       {170, 175, 200, 245, 310, 0},
       {1, 1, 1, 1, 1, 0},
       {1, 1, 1, 1, 1, 0}},
      // Slope 35.5: implausible, so one median pass takes out the channel farthest from the median 200.
      {"slope 35.5: implausible, the median test takes one",
       2.0f,
       {4, 5, 6, 7, 8, 0},
       {170, 175, 200, 245, 312.5f, 0},
       {1, 1, 1, 1, 1, 0},
       {1, 1, 1, 1, 0, 0}},
      // Slope 22, offset -110: implausible by the offset alone; median 10 and ADev 24 take out channel 4.
      {"offset below 0: implausible",
       2.0f,
       {4, 5, 6, 7, 8, 0},
       {-10, 0, 10, 20, 90, 0},
       {1, 1, 1, 1, 1, 0},
       {1, 1, 1, 1, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const State s = state_with(c.freq, c.tb, c.filter, 0);
    TestConsole tc;
    ChannelFlags ok = c.ok;
    checklinear(s, tc.console, ok);
    EXPECT_EQ(ok, c.want);
    EXPECT_EQ(tc.out.str(), "") << "no diagnostics while diag.on is 0";
  }
}

// An implausible first line (slope 60.4 K/GHz from a 400 K channel): the median test takes out channel 5,
// the second line is plausible but its adev 2.81 is above the filter, so the residual loop takes out the
// channel with the largest residual, channel 3 (-0.95); then four channels remain and the loop ends.
TEST(Checklinear, DiagnosticLines) {
  struct Case {
    const char* name;
    std::int32_t diag_on;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"diagnostics on",
       1,
       {"  TBs:  150.0  153.0  154.0  157.5  158.0  400.0",
        "Resid: -45.19 -11.95  23.30  56.04  91.78-113.98",
        "FrqOk:      1      1      1      1      1      1", "Slope:  60.40 Offset: -167.0 ADev: 369.34",
        "Median:  155.8 ADev:   43.1", "MaxDif:  244.3 Index:  6", "", "After Outlier Check",
        "FrqOk:      1      1      1      1      1      0", "",
        "  TBs:  150.0  153.0  154.0  157.5  158.0  400.0",
        "Resid:   0.40  -0.55   0.50  -0.95   0.60-239.35",
        "FrqOk:      1      1      1      1      1      0", "Slope:   3.42 Offset:  135.0 ADev:   2.81"}},
      {"diagnostics off", 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const State s = state_with(kSixFreqs, {150, 153, 154, 157.5f, 158, 400}, 1.0f, c.diag_on);
    TestConsole tc;
    ChannelFlags ok = {1, 1, 1, 1, 1, 1};
    checklinear(s, tc.console, ok);
    EXPECT_EQ(ok, (ChannelFlags{1, 1, 1, 0, 1, 0}));
    EXPECT_EQ(console_lines(tc.out.str()), c.lines);
  }
}

}  // namespace
}  // namespace sfmr
