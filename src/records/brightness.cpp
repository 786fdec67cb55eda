#include "records/brightness.hpp"

#include <cstdint>

#include "core/constants.hpp"
#include "core/text.hpp"
#include "records/fields.hpp"

namespace sfmr {

namespace {

// One second on every second "%B" line; an "%A" line with a valid time re-arms the count.
void clock_step(TimeRecord& t) {
  if (t.bphase == 0) {
    t.bphase = 1;
    return;
  }
  if (++t.sec > kSecondsPerDay - 1) {
    t.sec = 0;
    ++t.day;
  }
  t.bphase = 0;
}

// The oldest slot hands its ratio to its channel, then every slot moves one place towards the oldest.
void shift_delay_line(GBufferRecord& g, SfmrRecord& sfmr) {
  if (g.chan[0] >= 1 && g.chan[0] <= kChannels)
    sfmr.ratio[static_cast<std::size_t>(g.chan[0] - 1)] = g.ratio[0];
  for (std::size_t k = 0; k < 3; ++k) {
    g.ratio[k] = g.ratio[k + 1];
    g.chan[k] = g.chan[k + 1];
  }
  g.chan[3] = 0;
}

// Channel digit and count ratio of a "%B" line; false for a bad line.
bool decode_counts(std::string_view line, std::int32_t& digit, float& ratio) {
  FieldViews fields(line);
  fields.next();  // tag
  const char d = field_char(fields.next(), 0);
  if (d < '0' || d > '5') return false;
  std::int32_t c1 = 0, c2 = 0, c3 = 0;
  if (!read_value(fields.next(), &c1) || !read_value(fields.next(), &c2) || !read_value(fields.next(), &c3))
    return false;
  if (c2 == c3) return false;
  // Differences in 64 bits so that counts near the 32-bit limits cannot overflow; quotient in double.
  const std::int64_t num = std::int64_t{c2} - c1;
  const std::int64_t den = std::int64_t{c2} - c3;
  digit = d - '0';
  ratio = static_cast<float>(static_cast<double>(num) / static_cast<double>(den));
  return true;
}

}  // namespace

void decodebright(State& s, Console& console, std::string_view line) {
  clock_step(s.time);
  shift_delay_line(s.gbuffer, s.sfmr);
  std::int32_t digit = 0;
  float ratio = 0.0f;
  if (decode_counts(line, digit, ratio)) {
    s.gbuffer.chan[3] = digit + 1;
    s.gbuffer.ratio[3] = ratio;
    return;
  }
  const std::int32_t sec = s.time.sec;
  console.line("%B Read Error @ " + format_I(sec / 3600, 2) + ":" + format_I(sec % 3600 / 60, 2, 2) + ":" +
               format_I(sec % 60, 2, 2));
}

}  // namespace sfmr
