// Repair of the data clock of a processed flight: seconds whose times are out of sequence with their
// neighbours get the times that the sequence of lines implies.
//
// A damaged aircraft record whose time is readable but wrong moves sfmrbatch's data clock away; the
// brightness records advance it one second a line from the wrong time until the next good aircraft
// record moves it back. Such a run of lines is recognised by a jump away (backwards, or forwards) and a
// jump back to a time that continues the sequence before the run: the resumed time lies at most one second
// a line (plus one) after the last good time. The lines of the run get one second a line: from the last
// good time itself when the resumed time leaves no more room (sfmrbatch writes one extra line at each
// jump of its clock, the damaged record's and the good record's, so a run of k lines usually resumes k - 1
// seconds after the last good time), else from the second after it. The repair is verified when the run
// fits between the two good times this way (the resumed time is k - 1, k or k + 1 seconds after the last
// good one). Otherwise its lines are `Unverified`: one second a line from the last good time when the
// resumed time leaves room for more (seconds lost inside the run), spread evenly between the two good
// times when it leaves less. A jump backwards that never comes back (a clock reset) shifts every later line
// to continue one second a line from the last good time, all of them `Unverified`; when it is the first
// jump of the flight, within its first kMaxRepairRun lines and from a first time within kMaxRepairRun s
// after midnight, it is the lines before it that are out of
// sequence (sfmrbatch's clock counts from zero until the first aircraft record with a readable time), and
// they take the seconds before the jump, one a line, `Unverified`.
//
// `time` increases strictly from line to line: a repaired line whose second is that of the good line before
// (after) the run is placed a third of a second after (before) it; rounded to the second, `time` is the
// repaired second (`elapsed`).
#pragma once

#include <cstdint>
#include <vector>

namespace sfmr::flight {

struct OutSecond;

enum class TimeQuality : std::int8_t {
  AsRecorded = 0,  // the time as the output file writes it
  Repaired = 1,    // out of sequence, replaced by the time of its line in the sequence, verified
  Unverified = 2,  // out of sequence, replaced, but the sequence does not confirm it
};

// Lines a run out of sequence may hold at most; a jump away without a jump back within it is a gap (forwards)
// or a clock reset (backwards).
constexpr std::size_t kMaxRepairRun = 900;

// Sets `recorded`, `elapsed`, `time` and `time_quality` of every line from the time of day (`clock`) of
// each line. Returns the number of lines whose time was replaced.
std::size_t repair_clock(std::vector<OutSecond>& seconds);

}  // namespace sfmr::flight
