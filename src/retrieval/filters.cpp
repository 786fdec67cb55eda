#include "retrieval/filters.hpp"

#include <cmath>
#include <string>

#include "core/text.hpp"

namespace sfmr {

namespace {

// Diagnostic lines of the filters.
void show_tbs(const State& s, Console& console) {
  std::string text = "  TBs:";
  for (float tb : s.sfmr.Tb) text += format_F(tb, 7, 1);
  console.line(text);
}

void show_resid(Console& console, const std::array<float, kChannels>& resid) {
  std::string text = "Resid:";
  for (float r : resid) text += format_F(r, 7, 2);
  console.line(text);
}

void show_flags(Console& console, const ChannelFlags& ok) {
  std::string text = "FrqOk:";
  for (std::int32_t flag : ok) text += format_I(flag, 7);
  console.line(text);
}

void show_line(Console& console, float slope, float offset, float adev) {
  console.line("Slope:" + format_F(slope, 7, 2) + " Offset:" + format_F(offset, 7, 1) +
               " ADev:" + format_F(adev, 7, 2));
}

// Index (0..5) of the usable channel farthest from `median`, beyond `limit`; -1 when none is. Equal
// differences keep the earlier channel.
int farthest_from(const State& s, const ChannelFlags& ok, float median, double limit, double& maximum) {
  maximum = limit;
  int index = -1;
  for (std::size_t i = 0; i < ok.size(); ++i) {
    if (ok[i] == 0) continue;
    const double diff = std::fabs(static_cast<double>(s.sfmr.Tb[i]) - static_cast<double>(median));
    if (diff > maximum) {
      maximum = diff;
      index = static_cast<int>(i);
    }
  }
  return index;
}

// The plausible window of a fitted line is slope in (-10, 35) K/GHz and offset in (0, 350) K. A line on an
// edge of the window (slope exactly 35, say) is neither inside it nor implausible.
bool plausible(float slope, float offset) {
  return slope > -10.0f && slope < 35.0f && offset > 0.0f && offset < 350.0f;
}
bool implausible(float slope, float offset) {
  return slope < -10.0f || slope > 35.0f || offset < 0.0f || offset > 350.0f;
}

}  // namespace

// Least squares for t = slope f + offset:
//   slope = (n Sft - Sf St) / (n Sff - Sf^2),  offset = (St - slope Sf) / n.
void lstsqcalc(const State& s, const ChannelFlags& ok, std::array<float, kChannels>& resid, float& slope,
               float& offset, float& adev, std::int32_t& n) {
  double sum_f = 0.0, sum_t = 0.0, sum_ff = 0.0, sum_ft = 0.0;
  n = 0;
  for (std::size_t i = 0; i < ok.size(); ++i) {
    if (ok[i] == 0) continue;
    const double f = s.cal.freq[i];
    const double t = s.sfmr.Tb[i];
    ++n;
    sum_f += f;
    sum_t += t;
    sum_ff += f * f;
    sum_ft += f * t;
  }
  if (n <= 1) return;
  const double count = n;
  const double denominator = count * sum_ff - sum_f * sum_f;
  slope = denominator == 0.0 ? 0.0f : static_cast<float>((count * sum_ft - sum_f * sum_t) / denominator);
  offset = static_cast<float>((sum_t - static_cast<double>(slope) * sum_f) / count);
  double s1 = 0.0, s2 = 0.0;
  for (std::size_t i = 0; i < ok.size(); ++i) {
    resid[i] = static_cast<float>(static_cast<double>(slope) * static_cast<double>(s.cal.freq[i]) +
                                  static_cast<double>(offset) - static_cast<double>(s.sfmr.Tb[i]));
    if (ok[i] == 0) continue;
    s1 += resid[i];
    s2 += static_cast<double>(resid[i]) * static_cast<double>(resid[i]);
  }
  // The factor n - 1 multiplies. A negative argument (rounding only) gives NaN, which never exceeds the
  // filter value.
  adev = static_cast<float>(std::sqrt((count - 1.0) * (s2 - s1 * s1 / count)));
}

void checkoutlier(const State& s, Console& console, ChannelFlags& ok, std::int32_t once) {
  std::array<float, kChannels> list{};
  std::size_t n = 0;
  for (std::size_t i = 0; i < ok.size(); ++i) {
    if (ok[i] != 0) list[n++] = s.sfmr.Tb[i];
  }
  if (n <= 3) return;
  // Insertion sort, ascending: at most six values.
  for (std::size_t i = 1; i < n; ++i) {
    const float value = list[i];
    std::size_t j = i;
    for (; j > 0 && list[j - 1] > value; --j) list[j] = list[j - 1];
    list[j] = value;
  }
  const float median = n % 2 == 0 ? static_cast<float>(0.5 * (static_cast<double>(list[n / 2 - 1]) +
                                                              static_cast<double>(list[n / 2])))
                                  : list[n / 2];
  double sum = 0.0;
  for (std::size_t i = 0; i < n; ++i)
    sum += std::fabs(static_cast<double>(list[i]) - static_cast<double>(median));
  const float adev = static_cast<float>(sum / static_cast<double>(n));
  if (s.diag.on != 0) console.line("Median:" + format_F(median, 7, 1) + " ADev:" + format_F(adev, 7, 1));

  const double limit = std::fabs(static_cast<double>(s.cal.filter)) * static_cast<double>(adev);
  double maximum = 0.0;
  int index = farthest_from(s, ok, median, limit, maximum);
  if (s.diag.on != 0) console.line("MaxDif:" + format_F(maximum, 7, 1) + " Index:" + format_I(index + 1, 3));
  if (index >= 0) ok[static_cast<std::size_t>(index)] = 0;
  if (once != 0) return;
  index = farthest_from(s, ok, median, limit, maximum);
  if (index >= 0) ok[static_cast<std::size_t>(index)] = 0;
}

void checklinear(const State& s, Console& console, ChannelFlags& ok) {
  std::array<float, kChannels> resid{};
  float slope = 0.0f, offset = 0.0f, adev = 0.0f;
  std::int32_t n = 0;
  const float filter = s.cal.filter;
  const bool diag = s.diag.on != 0;

  lstsqcalc(s, ok, resid, slope, offset, adev, n);
  if (diag) {
    show_tbs(s, console);
    show_resid(console, resid);
    show_flags(console, ok);
    show_line(console, slope, offset, adev);
  }

  if (filter > 0.0f && adev > filter && n >= 5 && implausible(slope, offset)) {
    checkoutlier(s, console, ok, 1);
    if (diag) {
      console.line("");
      console.line("After Outlier Check");
      show_flags(console, ok);
    }
    lstsqcalc(s, ok, resid, slope, offset, adev, n);
    if (diag) {
      console.line("");
      show_tbs(s, console);
      show_resid(console, resid);
      show_flags(console, ok);
      show_line(console, slope, offset, adev);
    }
  }

  while (filter > 0.0f && n >= 5 && plausible(slope, offset) && adev > filter) {
    float maximum = 0.0f;
    int index = -1;
    for (std::size_t i = 0; i < ok.size(); ++i) {
      if (ok[i] != 0 && std::fabs(resid[i]) > maximum) {
        maximum = std::fabs(resid[i]);
        index = static_cast<int>(i);
      }
    }
    if (index < 0) break;
    ok[static_cast<std::size_t>(index)] = 0;
    lstsqcalc(s, ok, resid, slope, offset, adev, n);
  }
}

}  // namespace sfmr
