// The "%T" record decoder over the first line of the input, on a fresh state.
// fuzz-max-len: 256 (longest input of a campaign: one line; fuzz/CMakeLists.txt reads it)
#include "record_fuzz.hpp"
#include "records/thermal.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  sfmr::fuzz::decode_line(data, size, [](sfmr::State& s, sfmr::Console& console, const std::string& line) {
    sfmr::decodetherm(s, console, line);
  });
  return 0;
}
