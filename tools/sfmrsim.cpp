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
//     --vmax MS, --rmw KM  the symmetric vortex's peak wind (default 50 m/s) and its radius (default 35 km)
//     --asymmetry F    extra wind on the right of the motion as a share of Vmax (default 4 m/s)
//     --storm-dir DEG, --storm-speed MS  direction the storm moves towards and its speed (default still)
//     --miss KM        the legs pass KM right of the moving centre (default 0: through it)
//   beside the flight: NAME.centre.csv (true centre every 10 s), NAME.storm_truth.csv (Vmax, RMW, motion,
//   wind radii), NAME.bdeck and NAME.hurdat2 (the true track hourly, as ATCF b-deck and HURDAT2)
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "core/console.hpp"
#include "core/text.hpp"
#include "records/aircraft.hpp"
#include "sim/flight.hpp"
#include "sim/sst_grid.hpp"
#include "sim/storm_truth.hpp"
#include "sst/sst_field.hpp"

namespace {

int usage() {
  std::cerr
      << "usage: sfmrsim grid FILE\n"
         "       sfmrsim flight DIR [--name NAME] [--seed N] [--hours H] [--start HH:MM:SS]\n"
         "                          [--date DD/MM/YYYY] [--sst FILE] [--no-land] [--roll DEG] [--drop P]\n"
         "                          [--gap S] [--damage P] [--noise K] [--binary P] [--keep F]\n"
         "                          [--vmax MS] [--rmw KM] [--asymmetry F] [--storm-dir DEG]\n"
         "                          [--storm-speed MS] [--miss KM]\n";
  return 2;
}

template <typename T>
bool parse_number(const std::string& text, T& value) {
  return sfmr::read_value(text, &value);
}

bool parse_real(const std::string& text, double& value) {
  float v = 0.0f;
  if (!parse_number(text, v)) return false;
  value = v;
  return true;
}

int make_grid(const std::string& path) {
  std::ofstream out(path, std::ios::binary);
  sfmr::sim::write_sst_grid(out);
  out.close();
  if (!out) {
    std::cerr << "sfmrsim: cannot write " << path << '\n';
    return 1;
  }
  return 0;
}

int make_flight(const std::string& dir, const std::vector<std::string>& args) {
  sfmr::sim::FlightOptions o;
  sfmr::sim::Storm storm;
  double asymmetry = -1.0, storm_dir = 0.0, storm_speed = 0.0;
  std::string name = "sample";
  std::string sst_file = "sfmr_sst.bin";
  bool use_sst = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool has_value = i + 1 < args.size();
    const std::string value = has_value ? args[i + 1] : std::string();
    bool ok = true;
    if (a == "--no-land") {
      o.land_leg = false;
      continue;
    }
    if (!has_value) return usage();
    ++i;
    if (a == "--name") {
      name = value;
    } else if (a == "--seed") {
      std::int32_t seed = 0;
      ok = parse_number(value, seed) && seed >= 0;
      o.seed = static_cast<std::uint64_t>(seed);
    } else if (a == "--hours") {
      ok = parse_real(value, o.hours) && o.hours > 0.0 && o.hours <= 23.0;
    } else if (a == "--start") {
      std::int32_t sec = -1;
      sfmr::decodetime(sfmr::fixed_text(value), sec);
      ok = sec >= 0;
      o.start_sec = sec;
    } else if (a == "--date") {
      std::int32_t day = -1;
      sfmr::decodedate(sfmr::fixed_text(value), day);
      ok = day > 0 && parse_number(value.substr(0, 2), o.day) && parse_number(value.substr(3, 2), o.month) &&
           parse_number(value.substr(6, 4), o.year);
    } else if (a == "--sst") {
      sst_file = value;
      use_sst = true;
    } else if (a == "--roll") {
      ok = parse_real(value, o.turn_roll);
    } else if (a == "--drop") {
      ok = parse_real(value, o.drop_acft);
    } else if (a == "--gap") {
      ok = parse_number(value, o.gap_seconds) && o.gap_seconds >= 0;
    } else if (a == "--damage") {
      ok = parse_real(value, o.damage);
    } else if (a == "--noise") {
      ok = parse_real(value, o.noise);
    } else if (a == "--binary") {
      ok = parse_real(value, o.binary_damage) && o.binary_damage >= 0.0 && o.binary_damage <= 1.0;
    } else if (a == "--keep") {
      ok = parse_real(value, o.keep) && o.keep >= 0.0 && o.keep <= 1.0;
    } else if (a == "--vmax") {
      ok = parse_real(value, storm.vmax) && storm.vmax > 10.0 && storm.vmax < 100.0;
    } else if (a == "--rmw") {
      ok = parse_real(value, storm.rmax) && storm.rmax >= 5.0 && storm.rmax <= 150.0;
    } else if (a == "--asymmetry") {
      ok = parse_real(value, asymmetry) && asymmetry >= 0.0 && asymmetry <= 0.5;
    } else if (a == "--storm-dir") {
      ok = parse_real(value, storm_dir) && storm_dir >= 0.0 && storm_dir <= 360.0;
    } else if (a == "--storm-speed") {
      ok = parse_real(value, storm_speed) && storm_speed >= 0.0 && storm_speed <= 20.0;
    } else if (a == "--miss") {
      ok = parse_real(value, o.miss_km) && std::fabs(o.miss_km) <= 100.0;
    } else {
      return usage();
    }
    if (!ok) {
      std::cerr << "sfmrsim: bad value for " << a << ": " << value << '\n';
      return 2;
    }
  }

  if (asymmetry >= 0.0) storm.asymmetry = asymmetry * storm.vmax;
  storm.motion_east = storm_speed * std::sin(storm_dir * 3.141592653589793 / 180.0);
  storm.motion_north = storm_speed * std::cos(storm_dir * 3.141592653589793 / 180.0);

  std::unique_ptr<sfmr::SstField> field;
  if (use_sst) {
    std::istringstream in;
    std::ostringstream discard;
    sfmr::Console quiet(in, discard);
    field = std::make_unique<sfmr::SstField>();
    float status = 0.0f;
    field->sst4main(quiet, sst_file, status);
    if (status < 0.0f) {
      std::cerr << "sfmrsim: SST grid " << sst_file << " or its land mask did not load\n";
      return 1;
    }
  }

  std::filesystem::create_directories(dir);
  const std::filesystem::path base = std::filesystem::path(dir) / name;
  const sfmr::sim::Radiometer radiometer = sfmr::sim::sample_radiometer();
  std::ofstream raw(base.string() + ".dat", std::ios::binary);
  std::ofstream truth(base.string() + ".truth.csv", std::ios::binary);
  std::ofstream cal(base.string() + ".cal", std::ios::binary);
  std::ofstream setup(base.string() + ".setup", std::ios::binary);
  std::ofstream answers(base.string() + ".answers", std::ios::binary);
  std::ofstream centre(base.string() + ".centre.csv", std::ios::binary);
  std::ofstream facts(base.string() + ".storm_truth.csv", std::ios::binary);
  std::ofstream bdeck(base.string() + ".bdeck", std::ios::binary);
  std::ofstream hurdat(base.string() + ".hurdat2", std::ios::binary);
  const int seconds = sfmr::sim::write_flight(o, storm, radiometer, field.get(), raw, truth);
  sfmr::sim::write_centre_track(centre, o, storm, seconds);
  sfmr::sim::write_storm_facts(facts, storm);
  sfmr::sim::write_bdeck(bdeck, o, storm, seconds);
  sfmr::sim::write_hurdat2(hurdat, o, storm, seconds);
  sfmr::sim::write_calibration_file(cal, radiometer);
  sfmr::sim::write_setup_file(setup, name + ".dat", name + ".cal",
                              std::filesystem::path(sst_file).filename().string(), radiometer);
  answers << name << ".setup\n";
  for (std::ofstream* f : {&raw, &truth, &cal, &setup, &answers, &centre, &facts, &bdeck, &hurdat}) {
    f->close();
    if (!*f) {
      std::cerr << "sfmrsim: cannot write the files in " << dir << '\n';
      return 1;
    }
  }
  std::cout << "sfmrsim: " << seconds << " seconds of flight written to " << base.string() << ".*\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 2 && args[0] == "grid") return make_grid(args[1]);
  if (args.size() >= 2 && args[0] == "flight") return make_flight(args[1], {args.begin() + 2, args.end()});
  return usage();
}
