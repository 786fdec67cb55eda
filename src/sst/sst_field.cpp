#include "sst/sst_field.hpp"

namespace sfmr {

// Temporary placeholder until the SST field is built: never loads.
void SstField::sst4main(Console& /*console*/, std::string_view /*sstfile*/, float& sst) {
  loaded_ = false;
  sst = -1.0f;
}

void SstField::getsst(const State& /*s*/, float& sst) const {
  if (!loaded_) sst = 0.0f;
}

}  // namespace sfmr
