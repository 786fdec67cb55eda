#include "records/thermal.hpp"

namespace sfmr {

// Temporary placeholder until the thermal record is built.
void decodetherm(State& /*s*/, Console& /*console*/, const std::string& /*line*/) {}

}  // namespace sfmr
