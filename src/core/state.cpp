#include "core/state.hpp"

namespace sfmr {

void zero_tb(State& s) {
  s.sfmr.Tb.fill(0.0f);
}

void clear_common(State& s) {
  s.time.sec = 0;
  s.time.lastsec = 0;
  s.time.bphase = 0;
  zero_tb(s);
  s.sfmr.Th.fill(0.0f);
}

}  // namespace sfmr
