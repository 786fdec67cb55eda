// A simulated flight as whole-program tests run it: the files in the working directory and the program's
// output read back.
#pragma once

#include <sstream>
#include <string>
#include <string_view>

#include "sim/flight.hpp"
#include "support/test_util.hpp"

namespace sfmr::testing {

// Answers for a run from flight.setup: the setup file's name, then "y" and the serial number for a raw file
// whose "%P" record is missing or damaged.
constexpr std::string_view kFlightAnswers = "flight.setup\ny\n17\n";

// Writes flight.dat (the simulated flight), flight.cal and flight.setup naming sst.bin, with the default SST
// `default_sst` (a positive value: SST from the aircraft) and the line filter. sst.bin is written only when
// it does not exist yet, as a file too short to be a grid. `damaged` receives the raw file's damaged bytes.
inline void write_flight_files(const sim::FlightOptions& options, std::string_view default_sst = "5.0",
                               std::vector<sim::ByteRange>* damaged = nullptr) {
  const sim::Radiometer radiometer = sim::sample_radiometer();
  std::ostringstream raw, truth, cal;
  sim::write_flight(options, sim::Storm{}, radiometer, nullptr, raw, truth, damaged);
  sim::write_calibration_file(cal, radiometer);
  write_file("flight.dat", raw.str());
  write_file("flight.cal", cal.str());
  if (!std::filesystem::exists("sst.bin")) write_file("sst.bin", "too short to be a grid");
  write_file("flight.setup", text_lines({"&A", "flight.dat", "&B", "flight.cal", "&C", "sst.bin", "&D",
                                         "4.74 5.31 5.57 6.02 6.69 7.09", "&E", default_sst, "&F", "2.0"}));
}

}  // namespace sfmr::testing
