#include "driver/main_loop.hpp"

#include <cmath>
#include <exception>
#include <iostream>

#include "core/run_end.hpp"
#include "core/text.hpp"
#include "records/aircraft.hpp"
#include "records/brightness.hpp"
#include "records/onboard.hpp"
#include "records/thermal.hpp"
#include "setup/cal_file.hpp"
#include "setup/out_file.hpp"
#include "setup/raw_file.hpp"
#include "setup/setup_file.hpp"

namespace sfmr {

void dispatch_line(State& s, Console& console, std::string_view line) {
  const std::string_view tag = line.substr(0, 2);
  if (tag == "%T") {
    decodetherm(s, console, line);
  } else if (tag == "%A") {
    decodeacft(s, line);
  } else if (tag == "%B") {
    decodebright(s, console, line);
  } else if (tag == "%R") {
    decodeps(s, line);
  }
}

void per_second_step(Run& run, Console& console) {
  State& s = run.s;
  float& sst = run.sst;
  s.time.lastsec = s.time.sec;
  run.sst_field.getsst(s, sst);
  // A non-negative default selects the aircraft's own SST for every grid answer except land (-1.0).
  if (s.cal.default_sst >= 0.0f && sst >= 0.0f) sst = s.acft.AcftSST;
  if (sst == 0.0f) sst = std::fabs(s.cal.default_sst);
  s.diag.on = 0;
  run.retrieval.sfmr5_6x(s, console, sst);
  run.writer.writeout(s, run.outfile, sst);
}

void process_raw(Run& run, Console& console) {
  std::string_view line;  // a view of the raw file's line buffer, kLineLength characters
  for (;;) {
    const int status = run.rawfile.read(line);
    if (status > 0) throw RunEnd(1, "Read error on input file.  IOStat=" + format_I(status, 5));
    if (status < 0) break;
    dispatch_line(run.s, console, line);
    if (run.s.time.sec != run.s.time.lastsec) per_second_step(run, console);
  }
}

void startup(Run& run, Console& console) {
  std::string infile(kLineLength, ' ');
  std::string calfile(kLineLength, ' ');
  std::string sstfile(kLineLength, ' ');
  State& s = run.s;

  get_setupfile(console, s, infile, calfile, sstfile);
  console.line("Setup success");
  get_infile(console, s, infile, run.rawfile);
  console.line("S/N success");
  get_cals(console, s, calfile);
  console.line("Cal File success");
  run.sst_field.sst4main(console, sstfile, run.sst);
  if (run.sst < 0.0f) {
    // Every second then takes its SST from the aircraft record or the default; say so rather than let the
    // operator believe the SST file is in use.
    console.line("SST field not loaded; using aircraft or default SST");
    s.cal.default_sst = std::fabs(s.cal.default_sst);
  }
  create_outfile(console, infile, run.outfile);
  console.line("Create Out File success");
  clear_common(s);
  run.rawfile.rewind();
}

int run_sfmrbatch(std::istream& in, std::ostream& out) {
  Console console(in, out);
  const auto run = std::make_unique<Run>();
  try {
    startup(*run, console);
    process_raw(*run, console);
    run->rawfile.close();
    run->outfile.close();
    return 0;
  } catch (const RunEnd& end) {
    if (!end.message.empty()) console.line(end.message);
    return end.status;
  } catch (const std::exception& e) {
    std::cerr << "sfmrbatch: internal error: " << e.what() << '\n';
    return 1;
  }
}

}  // namespace sfmr
