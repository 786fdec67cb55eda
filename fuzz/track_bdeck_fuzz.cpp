// The track reader over any bytes after a b-deck line: every line read as an ATCF b-deck line.
#include "track_fuzz.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  sfmr::fuzz::check_track_file("AL, 09, 2024092612,   , BEST,   0, 245N,  852W, 105,  955, HU\n", data, size);
  return 0;
}
