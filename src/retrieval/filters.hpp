// Channel quality filters: take usable channels out of the solve when their brightness temperature does not
// fit with the others. They read sfmr.Tb, cal.freq, cal.filter and diag.on, only ever clear channel flags,
// and print diagnostic lines on the console while diag.on is non-zero.
#pragma once

#include <array>
#include <cstdint>

#include "core/console.hpp"
#include "core/state.hpp"

namespace sfmr {

// One flag per channel; non-zero = usable.
using ChannelFlags = std::array<std::int32_t, kChannels>;

// Straight-line least-squares fit of brightness temperature against frequency over the usable channels.
//   ok      channel flags (in)
//   resid   out: fitted minus measured brightness temperature of every channel, usable or not, K
//   slope   out: K/GHz             offset  out: K at 0 GHz
//   adev    out: sqrt((n - 1) x sum of squared residuals about their mean), K
//   n       out: number of usable channels
// With n <= 1 only n is written; the other outputs keep their values.
void lstsqcalc(const State& s, const ChannelFlags& ok, std::array<float, kChannels>& resid, float& slope,
               float& offset, float& adev, std::int32_t& n);

// Median test: a usable channel whose brightness temperature differs from the median of all usable ones by
// more than |cal.filter| times their mean absolute deviation is taken out, the farthest first. Two passes
// when once is 0, one pass otherwise; nothing happens with 3 or fewer usable channels.
void checkoutlier(const State& s, Console& console, ChannelFlags& ok, std::int32_t once);

// Line test: while a plausible line fits the usable channels with adev above cal.filter (> 0) and at least
// five channels remain, the channel with the largest residual is taken out. An implausible line first
// hands over to one pass of checkoutlier.
void checklinear(const State& s, Console& console, ChannelFlags& ok);

}  // namespace sfmr
