#include "retrieval/driver.hpp"

namespace sfmr {

// Temporary placeholder until the retrieval is built: no retrieval, status "NoData".
void Retrieval::sfmr5_6x(State& s, Console& /*console*/, float& /*sst*/) {
  set_bit(s.sfmr.Err, err_bit::kNoData, true);
}

}  // namespace sfmr
