#include "setup/setup_file.hpp"

#include "driver/text.hpp"

namespace sfmr {

// Temporary placeholder until the setup dialogue is built: asks for the three file names only.
void get_setupfile(Console& console, State& s, std::string& infile, std::string& calfile,
                   std::string& sstfile) {
  infile = console.ask("Enter raw data file name: ");
  calfile = console.ask("Enter cal file name: ");
  sstfile = console.ask("Enter SST file name: ");
  clear_common(s);
  s.acft.TAmb = 999.0f;
}

}  // namespace sfmr
