// sfmrsim: makes the inputs of a simulated research flight for sfmrbatch.
//
//   sfmrsim grid FILE
//       writes the SST grid file of a smooth climatology (2048 x 4096 bytes)
//   sfmrsim flight DIR [options]
//       writes DIR/NAME.dat (raw data), NAME.cal (calibration), NAME.setup (setup file), NAME.answers
//       (console answers) and NAME.truth.csv (wind and rain along the track)
//     --name NAME      file stem (default sample)
//     --seed N         random seed (default 1); the same seed gives the same files
//     --hours H        length of the flight (default 2)
//     --start HH:MM:SS time of the first record (default 23:10:00, so the flight crosses midnight)
//     --date DD/MM/YYYY date of the first record (default 07/12/2026)
//     --sst FILE       SST grid file, with the land mask in the working directory or its parent: marks the
//                      seconds over land; the setup file names this file
//     --no-land        start at the storm instead of ferrying in over land
//     --roll DEG       bank angle in turns (default 25; below 8 the turns pass the roll check)
//     --drop P         probability of a missing "%A" line (default 0.01)
//     --gap S          one gap of S seconds without "%A" lines (default 40)
//     --damage P       probability of a damaged line (default 0.002)
//     --noise K        brightness temperature noise in K (default 0.2)
//     --binary P       probability that a line gets a bit flip or is replaced by binary noise (default 0)
//     --keep F         share of the raw file's bytes written, 0..1: a transfer cut short (default 1)
//     --force          replace files that are there already
// Every file is written under a temporary name and renamed when complete; existing files are kept unless
// --force is given.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <memory>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "common/cli.hpp"
#include "common/publish.hpp"
#include "core/console.hpp"
#include "core/text.hpp"
#include "records/aircraft.hpp"
#include "sim/flight.hpp"
#include "sim/sst_grid.hpp"
#include "sim/storm_truth.hpp"
#include "sst/sst_field.hpp"

namespace {

namespace fs = std::filesystem;
using sfmr::tool::Publisher;
using sfmr::tool::Range;

constexpr sfmr::tool::ToolInfo kTool{
    .name = "sfmrsim",
    .usage = "sfmrsim grid FILE [--force] | sfmrsim flight DIR [OPTIONS] (sfmrsim --help lists them)",
    .help = R"(Makes the inputs of a simulated research flight for sfmrbatch.

  grid FILE           writes the SST grid file of a smooth climatology (2048 x 4096 bytes)
  flight DIR          writes DIR/NAME.dat (raw data), NAME.cal (calibration), NAME.setup (setup file),
                      NAME.answers (console answers) and NAME.truth.csv (wind and rain along the track)
  --name NAME         file stem (default sample)
  --seed N            random seed, a whole number from 0 (default 1); the same seed gives the same files
  --hours H           length of the flight, above 0 and at most 23 (default 2)
  --start HH:MM:SS    time of the first record (default 23:10:00, so the flight crosses midnight)
  --date DD/MM/YYYY   date of the first record (default 07/12/2026)
  --sst FILE          SST grid file, with the land mask in the working directory or its parent: marks the
                      seconds over land; the setup file names this file
  --no-land           start at the storm instead of ferrying in over land
  --roll DEG          bank angle in turns, 0 to 60 (default 25; below 8 the turns pass the roll check)
  --drop P            probability of a missing "%A" line, 0 to 1 (default 0.01)
  --gap S             one gap of S seconds without "%A" lines, a whole number from 0 (default 40)
  --damage P          probability of a damaged line, 0 to 1 (default 0.002)
  --noise K           brightness temperature noise in K, at least 0 (default 0.2)
  --binary P          probability that a line gets a bit flip or is replaced by binary noise (default 0)
  --keep F            share of the raw file's bytes written, 0 to 1: a transfer cut short (default 1)
  --damage-report FILE  also writes FILE: a header line "raw_line,original" and one line per damaged record,
                      its line number in the raw file (from 1) and the record as it was before the damage
                      (the rest of the line, commas and all)
  --vmax MS           peak wind of the symmetric vortex, 10 to 100 m/s (default 50)
  --rmw KM            its radius of maximum wind, 5 to 150 km (default 35)
  --asymmetry F       extra wind on the right of the motion, a share of --vmax, 0 to 0.5 (default 4 m/s)
  --storm-dir DEG     direction the storm moves towards, 0 to 360 (default 0)
  --storm-speed MS    its speed, 0 to 20 m/s (default 0: a still storm)
  --miss KM           the legs pass KM right of the moving centre, -100 to 100 (default 0: through it)
  --storm-truth       write the storm's truth (implied by the six storm options): NAME.centre.csv (the
                      centre every 10 s), NAME.storm_truth.csv (Vmax, RMW, motion, wind radii), NAME.bdeck
                      and NAME.hurdat2 (the track hourly)
  --force             replace files that are there already (otherwise an existing file is an error)
  --help, --version   this text, the version

Every file is written under a temporary name and renamed when complete.
Exit status: 0 success, 1 error (one line on standard error, no file left behind), 2 usage error.
)"};

constexpr Range kHours{.min = 0.0, .max = 23.0, .min_open = true};
// Bank angles an aircraft flies in a survey pattern, deg.
constexpr Range kRoll{.min = 0.0, .max = 60.0};

int make_grid(const std::vector<std::string>& words) {
  const sfmr::tool::Args args(words, {{"--force"}});
  const std::string& path = args.positional(2, 2, "grid needs FILE")[1];
  Publisher grid(path, sfmr::tool::replace_if(args.flag("--force")));
  sfmr::sim::write_sst_grid(grid.stream());
  grid.commit();
  return 0;
}

sfmr::sim::FlightOptions flight_options(const sfmr::tool::Args& args) {
  using sfmr::tool::kNonNegative;
  using sfmr::tool::kProbability;
  sfmr::sim::FlightOptions o;
  o.seed = static_cast<std::uint64_t>(args.integer("--seed", 1, kNonNegative));
  o.hours = args.real("--hours", o.hours, kHours);
  if (const auto start = args.text("--start")) {
    std::int32_t sec = -1;
    sfmr::decodetime(sfmr::fixed_text(*start), sec);
    if (sec < 0) sfmr::tool::usage_error("--start " + *start + ": must be a time HH:MM:SS");
    o.start_sec = sec;
  }
  if (const auto date = args.text("--date")) {
    std::int32_t day = -1;
    sfmr::decodedate(sfmr::fixed_text(*date), day);
    const bool ok = day > 0 && date->size() == 10 && sfmr::read_value(date->substr(0, 2), &o.day) &&
                    sfmr::read_value(date->substr(3, 2), &o.month) &&
                    sfmr::read_value(date->substr(6, 4), &o.year);
    if (!ok) sfmr::tool::usage_error("--date " + *date + ": must be a date DD/MM/YYYY");
  }
  o.land_leg = !args.flag("--no-land");
  o.turn_roll = args.real("--roll", o.turn_roll, kRoll);
  o.drop_acft = args.real("--drop", o.drop_acft, kProbability);
  o.gap_seconds = args.integer("--gap", o.gap_seconds, kNonNegative);
  o.damage = args.real("--damage", o.damage, kProbability);
  o.noise = args.real("--noise", o.noise, kNonNegative);
  o.binary_damage = args.real("--binary", o.binary_damage, kProbability);
  o.keep = args.real("--keep", o.keep, kProbability);
  o.miss_km = args.real("--miss", o.miss_km, {.min = -100.0, .max = 100.0});
  return o;
}

sfmr::sim::Storm storm_options(const sfmr::tool::Args& args) {
  sfmr::sim::Storm s;
  s.vmax = args.real("--vmax", s.vmax, {.min = 10.0, .max = 100.0});
  s.rmax = args.real("--rmw", s.rmax, {.min = 5.0, .max = 150.0});
  if (args.text("--asymmetry"))
    s.asymmetry = s.vmax * args.real("--asymmetry", 0.0, {.min = 0.0, .max = 0.5});
  const double dir = args.real("--storm-dir", 0.0, {.min = 0.0, .max = 360.0}) * std::numbers::pi / 180.0;
  const double speed = args.real("--storm-speed", 0.0, {.min = 0.0, .max = 20.0});
  s.motion_east = speed * std::sin(dir);
  s.motion_north = speed * std::cos(dir);
  return s;
}

int make_flight(const std::vector<std::string>& words) {
  const sfmr::tool::Args args(words, {{"--name", true},
                                      {"--seed", true},
                                      {"--hours", true},
                                      {"--start", true},
                                      {"--date", true},
                                      {"--sst", true},
                                      {"--no-land"},
                                      {"--roll", true},
                                      {"--drop", true},
                                      {"--gap", true},
                                      {"--damage", true},
                                      {"--noise", true},
                                      {"--binary", true},
                                      {"--keep", true},
                                      {"--damage-report", true},
                                      {"--vmax", true},
                                      {"--rmw", true},
                                      {"--asymmetry", true},
                                      {"--storm-dir", true},
                                      {"--storm-speed", true},
                                      {"--miss", true},
                                      {"--storm-truth"},
                                      {"--force"}});
  const fs::path dir = args.positional(2, 2, "flight needs DIR")[1];
  const sfmr::sim::FlightOptions o = flight_options(args);
  const std::string name = args.text("--name", "sample");
  if (name.empty() || name.front() == '.' || name.find('/') != std::string::npos)
    sfmr::tool::usage_error("--name '" + name +
                            "': must be a file stem, not beginning with '.', without '/'");
  const std::string sst_file = args.text("--sst", "sfmr_sst.bin");

  std::unique_ptr<sfmr::SstField> field;
  if (args.text("--sst")) {
    std::istringstream in;
    std::ostringstream discard;
    sfmr::Console quiet(in, discard);
    field = std::make_unique<sfmr::SstField>();
    float status = 0.0f;
    field->sst4main(quiet, sst_file, status);
    if (status < 0.0f) sfmr::tool::fail("SST grid " + sst_file + " or its land mask did not load");
  }

  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) sfmr::tool::fail(dir.string() + ": cannot create the directory (" + ec.message() + ")");
  const fs::path base = dir / name;
  const auto replace = sfmr::tool::replace_if(args.flag("--force"));
  // Every name is checked before any file is begun.
  // The storm's truth files only when the storm is asked for, so that the earlier options make the same
  // files.
  bool storm_truth = args.flag("--storm-truth");
  for (const char* option : {"--vmax", "--rmw", "--asymmetry", "--storm-dir", "--storm-speed", "--miss"})
    storm_truth = storm_truth || args.text(option).has_value();
  std::vector<std::string> endings = {".dat", ".truth.csv", ".cal", ".setup", ".answers"};
  if (storm_truth) endings.insert(endings.end(), {".centre.csv", ".bdeck", ".hurdat2", ".storm_truth.csv"});
  for (const std::string& ending : endings) sfmr::tool::check_replaceable(base.string() + ending, replace);
  Publisher raw(base.string() + ".dat", replace), truth(base.string() + ".truth.csv", replace),
      cal(base.string() + ".cal", replace), setup(base.string() + ".setup", replace),
      answers(base.string() + ".answers", replace);
  const sfmr::sim::Radiometer radiometer = sfmr::sim::sample_radiometer();
  const sfmr::sim::Storm storm = storm_options(args);
  const auto damage_report = args.text("--damage-report");
  std::vector<sfmr::sim::ByteRange> damaged;
  std::ostringstream raw_text;
  const int seconds =
      sfmr::sim::write_flight(o, storm, radiometer, field.get(), damage_report ? raw_text : raw.stream(),
                              truth.stream(), damage_report ? &damaged : nullptr);
  if (damage_report) {
    const std::string text = raw_text.str();
    raw.stream() << text;
    std::string report = "raw_line,original\n";
    std::size_t line = 1, counted = 0;
    for (const auto& d : damaged) {
      if (d.original.empty() || d.end > text.size()) continue;
      // The damaged record is the last line of its range (a stray line may come before it).
      line +=
          static_cast<std::size_t>(std::count(text.begin() + static_cast<std::ptrdiff_t>(counted),
                                              text.begin() + static_cast<std::ptrdiff_t>(d.end - 1), '\n'));
      counted = d.end - 1;
      report += std::to_string(line) + "," + d.original + "\n";
    }
    sfmr::tool::publish_text(*damage_report, report, replace);
  }
  if (storm_truth) {
    Publisher centre(base.string() + ".centre.csv", replace),
        facts(base.string() + ".storm_truth.csv", replace), bdeck(base.string() + ".bdeck", replace),
        hurdat(base.string() + ".hurdat2", replace);
    sfmr::sim::write_centre_track(centre.stream(), o, storm, seconds);
    sfmr::sim::write_storm_facts(facts.stream(), storm);
    sfmr::sim::write_bdeck(bdeck.stream(), o, storm, seconds);
    sfmr::sim::write_hurdat2(hurdat.stream(), o, storm, seconds);
    for (Publisher* f : {&centre, &facts, &bdeck, &hurdat}) f->commit();
  }
  sfmr::sim::write_calibration_file(cal.stream(), radiometer);
  sfmr::sim::write_setup_file(setup.stream(), name + ".dat", name + ".cal",
                              fs::path(sst_file).filename().string(), radiometer);
  answers.stream() << name << ".setup\n";
  for (Publisher* f : {&raw, &truth, &cal, &setup, &answers}) f->commit();
  std::cout << "sfmrsim: " << seconds << " seconds of flight written to " << base.string() << ".*\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  return sfmr::tool::run_tool(argc, argv, kTool, [](const std::vector<std::string>& args) {
    const std::string command = args.empty() ? "" : args[0];
    if (command == "grid") return make_grid(args);
    if (command == "flight") return make_flight(args);
    sfmr::tool::usage_error(command.empty() ? "no command" : "unknown command " + command);
  });
}
