// The track reader over any bytes after a HURDAT2 storm header: every line read as a HURDAT2 line.
#include "track_fuzz.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  sfmr::fuzz::check_track_file("AL092024,             SAMPLE,      2,\n", data, size);
  return 0;
}
