// The program: start-up sequence, the line loop over the raw data file, and the per-second step.
#pragma once

#include <istream>
#include <memory>
#include <ostream>
#include <string>

#include "core/console.hpp"
#include "core/files.hpp"
#include "core/state.hpp"
#include "output/writer.hpp"
#include "retrieval/driver.hpp"
#include "sst/sst_field.hpp"

namespace sfmr {

// Everything a run owns: the shared state, the subsystems that keep state between calls, and the two files
// that stay open for the whole run.
struct Run {
  State s;
  SstField sst_field;
  Retrieval retrieval;
  Writer writer;
  TextFile rawfile;
  OutFile outfile;
  float sst = 0.0f;  // SST value of the current second, deg C
};

// Hands a raw line to the decoder of its tag ("%T", "%A", "%B", "%R"); other lines go nowhere.
void dispatch_line(State& s, Console& console, std::string_view line);

// The step of one second of data: SST lookup and source selection, retrieval, output line.
void per_second_step(Run& run, Console& console);

// Reads the raw file to its end, dispatching every line and running the per-second step whenever the data
// clock moves. A read error ends the run (status 1).
void process_raw(Run& run, Console& console);

// Start-up: parameters, raw file and serial number, calibration, SST field, output file, reset, rewind.
void startup(Run& run, Console& console);

// The whole program over the given console streams; returns the exit status.
int run_sfmrbatch(std::istream& in, std::ostream& out);

}  // namespace sfmr
