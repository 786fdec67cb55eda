#include "records/onboard.hpp"

namespace sfmr {

// Temporary placeholder until the onboard solution record is built.
void decodeps(State& /*s*/, const std::string& /*line*/) {}

}  // namespace sfmr
