// sfmrbatch: batch processor for airborne stepped-frequency microwave radiometer data. It takes no
// arguments; the operator's answers come on standard input.
#include <iostream>

#include "driver/main_loop.hpp"

int main() {
  return sfmr::run_sfmrbatch(std::cin, std::cout);
}
