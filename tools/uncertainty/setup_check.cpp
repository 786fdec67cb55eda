#include "uncertainty/setup_check.hpp"

#include <algorithm>
#include <cmath>

#include "core/constants.hpp"
#include "core/text.hpp"
#include "retrieval/forward_model.hpp"

namespace sfmr::uncertainty {

namespace {

// "the solve at HH:MM:SS (F012345)".
std::string solve_text(const flight::OutSecond& s) {
  const std::int32_t c = s.clock;
  return "the solve at " + format_I(c / 3600, 2, 2) + ":" + format_I(c / 60 % 60, 2, 2) + ":" +
         format_I(c % 60, 2, 2) + " (" + std::string(trimmed(s.Err.text)) + ")";
}

// The channels' use over the flight's solves: a disabled channel used, an enabled one never used.
std::string channel_mismatch(const std::vector<flight::OutSecond>& seconds,
                             const std::array<float, kChannels>& freq) {
  int solves = 0;
  std::array<int, kChannels> used{}, in_range{};
  for (const flight::OutSecond& s : seconds) {
    if (s.Err.kind != flight::RetrievalKind::ChannelList) continue;
    ++solves;
    for (std::size_t k = 0; k < kChannels; ++k) {
      if (s.Err.channel_used[k] && !(freq[k] > 0.0f))
        return "channel " + std::to_string(k) + " is disabled there but " + solve_text(s) + " used it";
      used[k] += s.Err.channel_used[k] ? 1 : 0;
      in_range[k] += s.Tb[k] > 0.0f && s.Tb[k] <= 270.0f ? 1 : 0;
    }
  }
  if (solves < kMinSolves) return {};
  for (std::size_t k = 0; k < kChannels; ++k) {
    if (freq[k] > 0.0f && used[k] == 0 && 2 * in_range[k] > solves)
      return "channel " + std::to_string(k) + " is enabled there but none of the " + std::to_string(solves) +
             " solves used it";
  }
  return {};
}

}  // namespace

std::string setup_mismatch(const std::vector<flight::OutSecond>& seconds, const FlightInputs& inputs) {
  if (std::string why = channel_mismatch(seconds, inputs.freq); !why.empty()) return why;
  std::vector<double> differences;
  ChannelModels models;
  std::array<float, kChannels> emis{};
  float emis_sst = NAN;
  for (const flight::OutSecond& s : seconds) {
    if (s.Err.kind != flight::RetrievalKind::ChannelList || std::isnan(s.SFQF) || std::isnan(s.SFWS) ||
        std::isnan(s.SFRR) || std::isnan(s.SST) || std::isnan(s.TAmb) || std::isnan(s.RAlt))
      continue;
    if (!(s.SST == emis_sst)) {
      klsw_loop(inputs.freq, s.SST, emis, inputs.serial, kChannels);
      emis_sst = s.SST;
    }
    const auto ts = static_cast<float>(s.SST + kKelvinOffset),
               ta = static_cast<float>(s.TAmb + kKelvinOffset);
    const std::array<float, 2> x = {static_cast<float>(model_wind(s.SFWS, s.SFRR)), s.SFRR};
    double sum = 0.0;
    int n = 0;
    for (std::size_t k = 0; k < kChannels; ++k) {
      if (!s.Err.channel_used[k] || std::isnan(s.Tb[k])) continue;
      const double d =
          static_cast<double>(s.Tb[k]) - models.of(k, inputs.freq[k], ts, s.RAlt, ta, emis[k]).tb(x);
      sum += d * d;
      ++n;
    }
    if (n > 0) differences.push_back(std::fabs(std::sqrt(sum / n) - s.SFQF));
  }
  if (differences.empty()) return {};
  const auto middle = differences.begin() + static_cast<std::ptrdiff_t>(differences.size() / 2);
  std::nth_element(differences.begin(), middle, differences.end());
  if (!(*middle <= kMisfitTolerance))
    return "its frequencies do not reproduce the printed misfit SFQF: the median difference is " +
           format_trimmed(*middle, 3) + " K over " + std::to_string(differences.size()) +
           " solves (at most " + format_trimmed(kMisfitTolerance, 3) + " K)";
  return {};
}

}  // namespace sfmr::uncertainty
