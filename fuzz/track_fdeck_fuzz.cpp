// The track reader over any bytes after an f-deck centre fix: every line read as an ATCF f-deck line.
#include "track_fuzz.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  sfmr::fuzz::check_track_file("AL, 09, 202409261215, 50, AIRC, CI, , 2441N, 8519W, , 1, 110\n", data, size);
  return 0;
}
