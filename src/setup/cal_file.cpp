#include "setup/cal_file.hpp"

namespace sfmr {

// Temporary placeholder until the calibration reader is built.
void get_cals(Console& /*console*/, State& /*s*/, const std::string& /*calfile*/) {}

}  // namespace sfmr
