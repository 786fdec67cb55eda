#include "setup/out_file.hpp"

#include "driver/run_end.hpp"
#include "driver/text.hpp"

namespace sfmr {

// Temporary placeholder until output naming is built: creates <infile>.OUT.
void create_outfile(Console& /*console*/, const std::string& infile, OutFile& outfile) {
  if (outfile.create(std::string(trimmed(infile)) + ".OUT") != 0) throw RunEnd(1);
}

}  // namespace sfmr
