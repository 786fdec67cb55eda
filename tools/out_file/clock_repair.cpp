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

// The recorded time of day continued across midnight: each step is taken within (-12 h, +12 h].
void continue_across_midnight(std::vector<OutSecond>& s) {
  s[0].recorded = s[0].clock;
  for (std::size_t i = 1; i < s.size(); ++i) {
    std::int32_t step = s[i].clock - s[i - 1].clock;
    if (step <= -kHalfDay) step += kDay;
    if (step > kHalfDay) step -= kDay;
    s[i].recorded = s[i - 1].recorded + step;
  }
}

// The walk over the lines with the working clock: recorded plus the shift of an unreconciled reset (non-zero
// makes lines unverified).
struct Walk {
  std::vector<OutSecond>& s;
  std::int64_t shift = 0;

  std::int64_t clock(std::size_t j) const { return s[j].recorded + shift; }

  // Line j keeps the working clock's time.
  void keep(std::size_t j) {
    s[j].elapsed = clock(j);
    s[j].time = static_cast<double>(s[j].elapsed);
    s[j].time_quality = shift == 0 ? TimeQuality::AsRecorded : TimeQuality::Unverified;
  }

  // The line of the jump back after a jump away at line i (backwards when `away_back`) to a time that
  // continues the sequence before it (`good`, the last good time); 0 when there is none within
  // kMaxRepairRun lines.
  std::size_t jump_back(std::size_t i, std::int64_t good, bool away_back) const {
    const std::size_t n = s.size();
    for (std::size_t b = i + 1; b < n && b - i <= kMaxRepairRun; ++b) {
      const std::int64_t jump = clock(b) - clock(b - 1);
      const bool returns = away_back ? jump > 1 : jump <= 0;
      const std::int64_t gap = clock(b) - good;
      const bool resumes = b + 1 == n || clock(b + 1) - clock(b) == 1;
      if (returns && gap >= 1 && gap <= 2 * static_cast<std::int64_t>(b - i) + 1 && resumes) return b;
    }
    return 0;
  }

  // The lines before the first aircraft record count from the clock's start: lines 0..i-1 take the seconds
  // before line i, one a line, with nothing before them to confirm it.
  void count_back_from(std::size_t i) {
    for (std::size_t j = 0; j < i; ++j) {
      s[j].elapsed = clock(i) - static_cast<std::int64_t>(i - j);
      s[j].time = static_cast<double>(s[j].elapsed);
      s[j].time_quality = TimeQuality::Unverified;
    }
  }

  // The run of lines i..back-1 between the last good time and the resumed one at `back`.
  void place_run(std::size_t i, std::size_t back, std::int64_t good) {
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
  }
};

}  // namespace

std::size_t repair_clock(std::vector<OutSecond>& s) {
  const std::size_t n = s.size();
  if (n == 0) return 0;
  continue_across_midnight(s);
  Walk w{s};
  w.keep(0);
  bool first_jump = true;
  std::size_t i = 1;
  while (i < n) {
    const std::int64_t good = s[i - 1].elapsed;  // the last good time
    const std::int64_t step = w.clock(i) - good;
    if (step == 1) {
      w.keep(i++);
      continue;
    }
    // A jump away: look for the jump back to a time that continues the sequence before it.
    const bool away_back = step <= 0;
    const std::size_t back = w.jump_back(i, good, away_back);
    if (back == 0 && first_jump && i <= kMaxRepairRun && away_back &&
        s[0].clock < static_cast<std::int32_t>(kMaxRepairRun)) {
      w.count_back_from(i);
      first_jump = false;
      w.keep(i++);
      continue;
    }
    first_jump = false;
    if (back == 0) {
      // Forwards a gap in the data, the time as recorded; backwards a reset that never comes back: every
      // later line continues from the last good time.
      if (away_back) w.shift += good + 1 - w.clock(i);
      w.keep(i++);
      continue;
    }
    w.place_run(i, back, good);
    w.keep(back);  // the sequence resumes
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
