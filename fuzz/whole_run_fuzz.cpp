// One whole run of the program over a raw data file that is the input: start-up from a fixed setup file
// (aircraft SST, line filter), the simulated radiometer's calibration file and an SST file too short to load,
// so no grid is read. The run ends with status 0 or 1, and its output file, when there is one, is the header
// and lines of exactly the data line's width, every one ended by CR LF.
#include <filesystem>
#include <sstream>

#include "driver/main_loop.hpp"
#include "fuzz_util.hpp"
#include "sim/flight.hpp"

using namespace sfmr;

namespace {

void write_run_files() {
  fuzz::enter_scratch_dir();
  std::ostringstream cal;
  sim::write_calibration_file(cal, sim::sample_radiometer());
  fuzz::write_file("flight.cal", cal.str());
  fuzz::write_file("sst.bin", "too short to be a grid");
  fuzz::write_file("flight.setup",
                   "&A\nflight.dat\n&B\nflight.cal\n&C\nsst.bin\n&D\n4.74 5.31 5.57 6.02 6.69 7.09\n"
                   "&E\n5.0\n&F\n2.0\n");
}

void check_output(const std::string& name) {
  static const std::size_t kWidth = Writer::data_line(State{}, 0.0f).size();
  std::ifstream out(name, std::ios::binary);
  std::string line;
  for (int n = 0; std::getline(out, line); ++n) {
    fuzz::check(!line.empty() && line.back() == '\r', "output line ended by CR LF", line);
    line.pop_back();
    fuzz::check(n == 0 ? line == Writer::kHeader : line.size() == kWidth, "output line width", line);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool ready = (write_run_files(), true);
  if (!ready) return 0;
  fuzz::write_file("flight.dat", fuzz::as_text(data, size));
  // The setup file, then "y" and the serial number for a file without a usable "%P" record.
  std::istringstream in("flight.setup\ny\n17\n");
  std::ostringstream console;
  const int status = run_sfmrbatch(in, console);
  fuzz::check(status == 0 || status == 1, "run status", console.str());
  check_output("flight.OUT");
  std::filesystem::remove("flight.OUT");
  return 0;
}
