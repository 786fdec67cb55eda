#include "records/brightness.hpp"

namespace sfmr {

// Temporary placeholder until the brightness record is built: the clock step only.
void decodebright(State& s, Console& /*console*/, const std::string& /*line*/) {
  if (s.time.bphase == 0) {
    s.time.bphase = 1;
    return;
  }
  if (++s.time.sec > 86399) {
    s.time.sec = 0;
    ++s.time.day;
  }
  s.time.bphase = 0;
}

}  // namespace sfmr
