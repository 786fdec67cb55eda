#include "setup/raw_file.hpp"

#include "driver/run_end.hpp"

namespace sfmr {

// Temporary placeholder until the serial-number search is built: opens the file only.
void get_infile(Console& /*console*/, State& s, const std::string& infile, TextFile& rawfile) {
  if (rawfile.open(infile) != 0) throw RunEnd(1);
  s.sfmr.serial = 1;
}

}  // namespace sfmr
