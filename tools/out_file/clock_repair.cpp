#include "out_file/clock_repair.hpp"

#include <cmath>

#include "core/constants.hpp"
#include "out_file/out_reader.hpp"

namespace sfmr::flight {

namespace {

constexpr std::int32_t kDay = kSecondsPerDay;
constexpr std::int32_t kHalfDay =
    kSecondsPerDay / 2;              // s: a step of the time of day beyond this is across midnight
constexpr double kEdge = 1.0 / 3.0;  // s: a repaired line beside a good line of the same second

}  // namespace

std::size_t repair_clock(std::vector<OutSecond>& s) {
  const std::size_t n = s.size();
  if (n == 0) return 0;
  // The recorded time of day continued across midnight: each step is taken within (-12 h, +12 h].
  s[0].recorded = s[0].clock;
  for (std::size_t i = 1; i < n; ++i) {
    std::int32_t step = s[i].clock - s[i - 1].clock;
    if (step <= -kHalfDay) step += kDay;
    if (step > kHalfDay) step -= kDay;
    s[i].recorded = s[i - 1].recorded + step;
  }
  // The working clock: recorded plus the shift of an unreconciled reset (non-zero makes lines unverified).
  std::int64_t shift = 0;
  auto clock = [&](std::size_t j) { return s[j].recorded + shift; };
  auto keep = [&](std::size_t j) {
    s[j].elapsed = clock(j);
    s[j].time = static_cast<double>(s[j].elapsed);
    s[j].time_quality = shift == 0 ? TimeQuality::AsRecorded : TimeQuality::Unverified;
  };
  keep(0);
  bool first_jump = true;
  std::size_t i = 1;
  while (i < n) {
    const std::int64_t good = s[i - 1].elapsed;  // the last good time
    const std::int64_t step = clock(i) - good;
    if (step == 1) {
      keep(i++);
      continue;
    }
    // A jump away: look for the jump back to a time that continues the sequence before it.
    const bool away_back = step <= 0;
    std::size_t back = 0;
    for (std::size_t b = i + 1; b < n && b - i <= kMaxRepairRun; ++b) {
      const std::int64_t jump = clock(b) - clock(b - 1);
      const bool returns = away_back ? jump > 1 : jump <= 0;
      const std::int64_t gap = clock(b) - good;
      const bool resumes = b + 1 == n || clock(b + 1) - clock(b) == 1;
      if (returns && gap >= 1 && gap <= 2 * static_cast<std::int64_t>(b - i) + 1 && resumes) {
        back = b;
        break;
      }
    }
    if (back == 0 && first_jump && i <= kMaxRepairRun && away_back &&
        s[0].clock < static_cast<std::int32_t>(kMaxRepairRun)) {
      // The lines before the first aircraft record count from the clock's start: they take the seconds
      // before the first line of the sequence, one a line, with nothing before them to confirm it.
      for (std::size_t j = 0; j < i; ++j) {
        s[j].elapsed = clock(i) - static_cast<std::int64_t>(i - j);
        s[j].time = static_cast<double>(s[j].elapsed);
        s[j].time_quality = TimeQuality::Unverified;
      }
      first_jump = false;
      keep(i++);
      continue;
    }
    first_jump = false;
    if (back == 0) {
      if (!away_back) {  // a gap in the data: the time is as recorded
        keep(i++);
        continue;
      }
      // A reset that never comes back: every later line continues from the last good time.
      shift += good + 1 - clock(i);
      keep(i++);
      continue;
    }
    const auto k = static_cast<std::int64_t>(back - i);
    const std::int64_t resumed = clock(back);
    const std::int64_t gap = resumed - good;
    const bool fits = gap >= k - 1 && gap <= k + 1;
    const TimeQuality quality = fits && shift == 0 ? TimeQuality::Repaired : TimeQuality::Unverified;
    for (std::int64_t j = 0; j < k; ++j) {
      OutSecond& line = s[i + static_cast<std::size_t>(j)];
      if (fits || gap > k + 1) {
        line.elapsed = (fits && gap < k + 1 ? good : good + 1) + j;
        line.time = static_cast<double>(line.elapsed);
        if (line.elapsed == good) line.time += kEdge;
        if (line.elapsed == resumed) line.time -= kEdge;
      } else {
        line.time =
            static_cast<double>(good) + static_cast<double>((j + 1) * gap) / static_cast<double>(k + 1);
        line.elapsed = std::llround(line.time);
      }
      line.time_quality = quality;
    }
    keep(back);  // the sequence resumes
    i = back + 1;
  }
  // Times count from the midnight before the first line's repaired time.
  if (s[0].elapsed < 0) {
    for (OutSecond& line : s) {
      line.elapsed += kDay;
      line.recorded += kDay;
      line.time += kDay;
    }
  }
  std::size_t replaced = 0;
  for (const OutSecond& line : s) replaced += line.time_quality != TimeQuality::AsRecorded ? 1 : 0;
  return replaced;
}

}  // namespace sfmr::flight
