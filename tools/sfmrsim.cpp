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
//     and the storm's options (profile, asymmetries, rain ring, pattern, misses, a real track, the storm's
//     epoch), which `sfmrsim --help` lists with their ranges and defaults
//     --hdob, --vdm, --sondes N  the flight's HDOBs, vortex data messages and dropsondes (sim/recon_messages,
//                      sim/sonde_drops)
//     --force          replace files that are there already
// Every file is written under a temporary name and renamed when complete; existing files are kept unless
// --force is given.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "common/cli.hpp"
#include "common/input.hpp"
#include "common/publish.hpp"
#include "core/calendar.hpp"
#include "core/console.hpp"
#include "core/text.hpp"
#include "records/aircraft.hpp"
#include "sim/flight.hpp"
#include "sim/recon_messages.hpp"
#include "sim/sonde_drops.hpp"
#include "sim/sst_grid.hpp"
#include "sim/storm_truth.hpp"
#include "sim/track_storm.hpp"
#include "sonde/eol.hpp"
#include "sonde/tempdrop.hpp"
#include "sst/sst_field.hpp"
#include "tracks/track_file.hpp"

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
  --profile KIND      wind profile: holland (Holland 1980), wdr (Vmax (r/RMW)^n inside the RMW, a dual
                      exponential outside, after Willoughby, Darling and Rahn 2006) or concentric (the
                      Holland vortex plus a second, outer eyewall with a moat between) (default holland)
  --holland-b B       Holland's shape parameter, 0.8 to 2.5 (default 1.6; also the outer ring's decay)
  --wdr-n N           wdr: power of the inner profile, 0.3 to 3 (default 1)
  --wdr-x1 KM         wdr: slow e-folding length outside the RMW, 50 to 500 km (default 250)
  --wdr-x2 KM         wdr: fast e-folding length, 5 to 100 km (default 25)
  --wdr-a A           wdr: share of the fast decay, 0 to 1 (default 0.15)
  --outer-radius F    concentric: radius of the outer maximum in RMWs, 2 to 3.5 (default 2.5)
  --outer-ratio R     concentric: outer maximum over the inner one, 0.6 to 1.1 (default 0.8)
  --asymmetry F       extra wind, a share of --vmax, 0 to 0.5 (default 4 m/s), largest 90 degrees clockwise
                      of the direction of motion (the right of the motion); for a still storm due north
  --wn1 MS            wavenumber-1 asymmetry, 0 to 30 m/s, added to --asymmetry (default 0)
  --wn1-dir DEG       bearing of its largest wind from the centre, clockwise from north, 0 to 360
                      (default 0), whatever the motion
  --wn2 MS            wavenumber-2 asymmetry, 0 to 20 m/s (default 0)
  --wn2-dir DEG       bearing of one of its two maxima (the other opposite), 0 to 360 (default 0)
                      Every asymmetry is its full amount from the RMW outwards and fades linearly to 0
                      at the centre.
  --eye-wind MS       least wind inside the RMW, 0 to 25 m/s and at most half of --vmax (default 0: the
                      profile's own, which falls to the 3 m/s background at the centre)
  --rain-ring F       radius of the eyewall rain ring in RMWs, 0.8 to 1.4 (default 1.15)
  --rain-dir DEG      bearing of the ring's heaviest rain, 0 to 360; a quarter of it on the opposite side
                      (default: the same all round)
  --storm-dir DEG     direction the storm moves towards, 0 to 360 (default 0)
  --storm-speed MS    its speed, 0 to 20 m/s (default 0: a still storm)
  --pattern P         flight pattern round the centre, each pass from about 110 km out to the opposite side
                      (default figure4): figure4 (passes heading west, then south, in turn), rotated4 (the
                      figure-four turned 45 degrees clockwise), alpha (the cross legs always turn right:
                      passes heading west, south, east, north), butterfly (three passes 60 degrees apart,
                      heading south, north-east, north-west), random (passes of random heading and length,
                      80 to 160 km each side) or single (one pass heading west, then straight on)
  --pattern-rotation DEG  turns the pattern clockwise about the centre, 0 to 360 (default 0; rotated4 45)
  --miss KM           the legs pass KM right of the moving centre, -100 to 100 (default 0: through it);
                      with --pattern random each pass misses by a random distance from -KM to KM
  --misses KM,KM,...  the miss of each pass in turn, -100 to 100 km each, repeated when there are more
                      passes than values (replaces --miss)
  --storm-time TIME   the time (YYYYMMDDHH or YYYYMMDDHHMM, UTC) at which the storm's centre is at its
                      starting place, 26N 85W (default: the first record); a flight starting later finds the
                      storm moved along its motion, so flights of one storm at different times share a track
  --track FILE        a storm from a real track: an ATCF b-deck or HURDAT2 file (read as sfmrstorm reads
                      --track); needs --at. The storm is put at the track's position at --at (interpolated)
                      moving as the track does from 90 minutes before to 90 minutes after, with its Vmax
                      (the field's largest wind) and RMW (--rmw when the track gives none), a Holland profile
                      whose B and wavenumber-1 asymmetry (amplitude up to 30 % of Vmax, any direction) are
                      fitted by least squares to the quadrant radii R34, R50, R64 of the nearest track time.
                      The profile, asymmetry and intensity options are then ignored; the fit is printed.
                      Far from Florida give --no-land too (the ferry starts inland Florida).
  --storm ID          the storm in a track file with several (basin, number and year: AL092024)
  --at TIME           the track time, YYYYMMDDHH or YYYYMMDDHHMM (UTC), within the track; the flight
                      starts then unless --date or --start say otherwise, and the storm moves on from there
  --storm-truth       write the storm's truth (implied by every storm option above): NAME.centre.csv (the
                      centre every 10 s), NAME.storm_truth.csv (Vmax: the largest wind of the field; RMW:
                      its distance from the centre; motion; wind radii of the field per quadrant),
                      NAME.storm_kind.csv (the profile and its parameters, the bearing of the largest wind,
                      the symmetric Vmax and RMW), NAME.passes.csv (each pass: time of the closest
                      approach, heading, planned and flown miss), NAME.bdeck and NAME.hurdat2 (the track
                      hourly, under the storm id and name of --track, else AL99 SIMULATED)
  --hdob              write NAME.hdob: HDOB messages of the flight (an observation every 30 s: flight-level
                      air of a storm in gradient-wind balance, the peak 10-s radiometer wind, the truth's
                      plus 1 m/s of retrieval-like noise, and its rain rate)
  --fl-inflow DEG     inflow angle of the flight-level wind in the messages, 0 to 15 deg (default 5);
                      the wind is the vortex's plus the storm's motion (earth-relative)
  --fl-noise MS       an independent error of each HDOB line's 30-s flight-level wind, standard deviation
                      0 to 5 m/s in each of its east and north components (default 0: the turbulence of
                      1 m/s each second only)
  --pressure-noise HPA  an independent error of each HDOB line's extrapolated surface pressure, standard
                      deviation 0 to 3 hPa (default 0: the code's rounding to 0.1 hPa only)
  --vdm               write NAME.vdm, a vortex data message per centre pass (the centre within its stated
                      2 n mi accuracy), and NAME.vdm_truth.csv (each fix's true and written centre)
  --sondes N          drop N sondes, 1 to 99, at the passes' eye, eyewall and outer points: NAME.tempdrop
                      (TEMP DROP bulletins), NAME.sondes/D*.eol (EOL files) and NAME.sonde_truth.csv (the
                      truth's 10-m wind at each splash)
  --mission N         the flight's mission number into its storm, 1 to 99 (default 1): the messages' and
                      sondes' mission identifier NN, the storm's number and basin letter (0199A; a storm
                      from --track under its own number, name and basin); the second flight of a storm
                      flown twice is --mission 2
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

// Seconds since 1970 of YYYYMMDDHH or YYYYMMDDHHMM (UTC); a usage error naming the option otherwise.
double stamp_seconds(const std::string& option, const std::string& text) {
  auto part = [&](std::size_t at, std::size_t n) {
    std::int32_t v = -1;
    const std::string digits = text.substr(at, n);
    const bool ok =
        digits.find_first_not_of("0123456789") == std::string::npos && sfmr::read_value(digits, &v);
    return ok ? v : -1;
  };
  const bool shape = text.size() == 10 || text.size() == 12;
  const int y = shape ? part(0, 4) : -1, m = shape ? part(4, 2) : -1, d = shape ? part(6, 2) : -1;
  const int h = shape ? part(8, 2) : -1, mi = text.size() == 12 ? part(10, 2) : 0;
  if (y < 0 || m < 0 || d < 0 || h < 0 || h > 23 || mi < 0 || mi > 59 || !sfmr::is_civil_date(y, m, d))
    sfmr::tool::usage_error(option + " " + text + ": must be a time YYYYMMDDHH or YYYYMMDDHHMM (UTC)");
  return 86400.0 * static_cast<double>(sfmr::days_from_civil(y, m, d)) + 3600.0 * h + 60.0 * mi;
}

void pattern_options(const sfmr::tool::Args& args, sfmr::sim::FlightOptions& o) {
  using sfmr::sim::Pattern;
  static const std::pair<const char*, Pattern> kPatterns[] = {
      {"figure4", Pattern::kFigure4},     {"rotated4", Pattern::kRotated4}, {"alpha", Pattern::kAlpha},
      {"butterfly", Pattern::kButterfly}, {"random", Pattern::kRandom},     {"single", Pattern::kSingle}};
  const std::string pattern = args.text("--pattern", "figure4");
  bool known = false;
  for (const auto& [word, value] : kPatterns)
    if (pattern == word) o.pattern = value, known = true;
  if (!known)
    sfmr::tool::usage_error("--pattern " + pattern +
                            ": must be figure4, rotated4, alpha, butterfly, random or single");
  o.pattern_rotation = args.real("--pattern-rotation", o.pattern_rotation, {.min = 0.0, .max = 360.0});
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
    if (!ok || !sfmr::is_civil_date(o.year, o.month, o.day))
      sfmr::tool::usage_error("--date " + *date + ": must be a date DD/MM/YYYY");
  }
  o.land_leg = !args.flag("--no-land");
  o.mission = static_cast<int>(args.integer("--mission", o.mission, {.min = 1.0, .max = 99.0}));
  o.turn_roll = args.real("--roll", o.turn_roll, kRoll);
  o.drop_acft = args.real("--drop", o.drop_acft, kProbability);
  o.gap_seconds = args.integer("--gap", o.gap_seconds, kNonNegative);
  o.damage = args.real("--damage", o.damage, kProbability);
  o.noise = args.real("--noise", o.noise, kNonNegative);
  o.binary_damage = args.real("--binary", o.binary_damage, kProbability);
  o.keep = args.real("--keep", o.keep, kProbability);
  constexpr sfmr::tool::Range kMiss{.min = -100.0, .max = 100.0};
  o.miss_km = args.real("--miss", o.miss_km, kMiss);
  pattern_options(args, o);
  if (const auto misses = args.text("--misses")) {
    std::size_t at = 0;
    while (at <= misses->size()) {
      const std::size_t comma = std::min(misses->find(',', at), misses->size());
      const auto km = sfmr::tool::read_real(std::string_view(*misses).substr(at, comma - at), kMiss);
      if (!km)
        sfmr::tool::usage_error("--misses " + *misses + ": must be numbers from -100 to 100 km, KM,KM,...");
      o.misses.push_back(*km);
      at = comma + 1;
    }
  }
  return o;
}

// The wind profile and its shape parameters.
void profile_options(const sfmr::tool::Args& args, sfmr::sim::Storm& s) {
  const std::string profile = args.text("--profile", "holland");
  if (profile == "wdr") {
    s.profile = sfmr::sim::Profile::kWdr;
  } else if (profile == "concentric") {
    s.profile = sfmr::sim::Profile::kConcentric;
  } else if (profile != "holland") {
    sfmr::tool::usage_error("--profile " + profile + ": must be holland, wdr or concentric");
  }
  s.holland_b = args.real("--holland-b", s.holland_b, {.min = 0.8, .max = 2.5});
  s.wdr_n = args.real("--wdr-n", s.wdr_n, {.min = 0.3, .max = 3.0});
  s.wdr_x1 = args.real("--wdr-x1", s.wdr_x1, {.min = 50.0, .max = 500.0});
  s.wdr_x2 = args.real("--wdr-x2", s.wdr_x2, {.min = 5.0, .max = 100.0});
  s.wdr_a = args.real("--wdr-a", s.wdr_a, {.min = 0.0, .max = 1.0});
  s.outer_radius = args.real("--outer-radius", s.outer_radius, {.min = 2.0, .max = 3.5});
  s.outer_ratio = args.real("--outer-ratio", s.outer_ratio, {.min = 0.6, .max = 1.1});
}

sfmr::sim::Storm storm_options(const sfmr::tool::Args& args) {
  constexpr sfmr::tool::Range kDirection{.min = 0.0, .max = 360.0};
  sfmr::sim::Storm s;
  s.vmax = args.real("--vmax", s.vmax, {.min = 10.0, .max = 100.0});
  s.rmax = args.real("--rmw", s.rmax, {.min = 5.0, .max = 150.0});
  profile_options(args, s);
  if (args.text("--asymmetry"))
    s.asymmetry = s.vmax * args.real("--asymmetry", 0.0, {.min = 0.0, .max = 0.5});
  s.wn1 = args.real("--wn1", s.wn1, {.min = 0.0, .max = 30.0});
  s.wn1_dir = args.real("--wn1-dir", s.wn1_dir, kDirection);
  s.wn2 = args.real("--wn2", s.wn2, {.min = 0.0, .max = 20.0});
  s.wn2_dir = args.real("--wn2-dir", s.wn2_dir, kDirection);
  s.eye_wind = args.real("--eye-wind", s.eye_wind, {.min = 0.0, .max = 25.0});
  // Below the eyewall's wind, so that the largest wind stays on the eyewall.
  if (s.eye_wind > 0.5 * s.vmax) sfmr::tool::usage_error("--eye-wind must be at most half of --vmax");
  s.rain_ring = args.real("--rain-ring", s.rain_ring, {.min = 0.8, .max = 1.4});
  s.rain_dir = args.real("--rain-dir", s.rain_dir, kDirection);
  const double dir = args.real("--storm-dir", 0.0, kDirection) * std::numbers::pi / 180.0;
  const double speed = args.real("--storm-speed", 0.0, {.min = 0.0, .max = 20.0});
  s.motion_east = speed * std::sin(dir);
  s.motion_north = speed * std::cos(dir);
  return s;
}

// Where the storm is in time: from a real track at --at (the flight starting then unless --date or --start
// say otherwise), or at its starting position at --storm-time; either way the flight starting later finds
// it moved along its motion.
void place_storm(const sfmr::tool::Args& args, sfmr::sim::FlightOptions& o, sfmr::sim::Storm& storm) {
  const auto track = args.text("--track");
  const auto at = args.text("--at");
  if (track && !at) sfmr::tool::usage_error("--track needs --at TIME");
  if (!track && (at || args.text("--storm"))) sfmr::tool::usage_error("--at and --storm need --track FILE");
  if (track && args.text("--storm-time"))
    sfmr::tool::usage_error("--storm-time and --track exclude each other");
  double reference = 0.0;
  if (track) {
    reference = stamp_seconds("--at", *at);
    if (!args.text("--date") && !args.text("--start")) {
      int y = 0, m = 0, d = 0;
      sfmr::civil_from_days(static_cast<long>(std::floor(reference / 86400.0)), y, m, d);
      o.year = y, o.month = m, o.day = d;
      o.start_sec = static_cast<std::int32_t>(reference - 86400.0 * std::floor(reference / 86400.0));
    }
    std::ifstream in = sfmr::tool::open_input(*track);
    std::ostringstream text;
    text << in.rdbuf();
    try {
      const sfmr::storm::TrackFile file = sfmr::storm::parse_track_file(text.str());
      const sfmr::storm::StormTrack& chosen = sfmr::storm::choose_storm(file, args.text("--storm", ""));
      const sfmr::sim::RadiiFit fit = sfmr::sim::storm_from_track(chosen, reference, storm);
      std::cout << "sfmrsim: storm " << chosen.id << " at " << *at << ": Holland B " << storm.holland_b
                << ", wavenumber 1 of " << storm.wn1 << " m/s towards " << storm.wn1_dir
                << " degrees, fitted to " << fit.radii << " wind radii (rms " << fit.rms_nmi << " n mi)\n";
    } catch (const std::runtime_error& e) {
      sfmr::tool::fail(*track + ": " + e.what());
    }
  } else if (const auto when = args.text("--storm-time")) {
    reference = stamp_seconds("--storm-time", *when);
  } else {
    return;
  }
  storm.epoch = reference -
                (86400.0 * static_cast<double>(sfmr::days_from_civil(o.year, o.month, o.day)) + o.start_sec);
}

// The options of `sfmrsim flight` (a table).
sfmr::tool::Args flight_args(const std::vector<std::string>& words) {
  return sfmr::tool::Args(words, {{"--name", true},
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
                                  {"--profile", true},
                                  {"--holland-b", true},
                                  {"--wdr-n", true},
                                  {"--wdr-x1", true},
                                  {"--wdr-x2", true},
                                  {"--wdr-a", true},
                                  {"--outer-radius", true},
                                  {"--outer-ratio", true},
                                  {"--wn1", true},
                                  {"--wn1-dir", true},
                                  {"--wn2", true},
                                  {"--wn2-dir", true},
                                  {"--eye-wind", true},
                                  {"--rain-ring", true},
                                  {"--rain-dir", true},
                                  {"--pattern", true},
                                  {"--pattern-rotation", true},
                                  {"--misses", true},
                                  {"--track", true},
                                  {"--storm", true},
                                  {"--at", true},
                                  {"--storm-time", true},
                                  {"--storm-truth"},
                                  {"--hdob"},
                                  {"--vdm"},
                                  {"--fl-inflow", true},
                                  {"--fl-noise", true},
                                  {"--pressure-noise", true},
                                  {"--sondes", true},
                                  {"--mission", true},
                                  {"--force"}});
}

// The options that describe the storm: any of them writes the storm's truth files. The files of a flight
// without them stay as they were before the storm could be chosen.
constexpr const char* kStormOptions[] = {
    "--vmax",      "--rmw",     "--asymmetry",        "--storm-dir",   "--storm-speed",
    "--miss",      "--profile", "--holland-b",        "--wdr-n",       "--wdr-x1",
    "--wdr-x2",    "--wdr-a",   "--outer-radius",     "--outer-ratio", "--wn1",
    "--wn1-dir",   "--wn2",     "--wn2-dir",          "--eye-wind",    "--rain-ring",
    "--rain-dir",  "--pattern", "--pattern-rotation", "--misses",      "--track",
    "--storm-time"};

// The damage report: a header line and one line per damaged record, its line number in `text` (from 1) and
// the record as it was before the damage.
std::string damage_report_text(const std::string& text, const std::vector<sfmr::sim::ByteRange>& damaged) {
  std::string report = "raw_line,original\n";
  std::size_t line = 1, counted = 0;
  for (const auto& d : damaged) {
    if (d.original.empty() || d.end > text.size()) continue;
    // The damaged record is the last line of its range (a stray line may come before it).
    line += static_cast<std::size_t>(std::count(text.begin() + static_cast<std::ptrdiff_t>(counted),
                                                text.begin() + static_cast<std::ptrdiff_t>(d.end - 1), '\n'));
    counted = d.end - 1;
    report += std::to_string(line) + "," + d.original + "\n";
  }
  return report;
}

const std::vector<std::string> kStormEndings = {".centre.csv",      ".bdeck",          ".hurdat2",
                                                ".storm_truth.csv", ".storm_kind.csv", ".passes.csv"};

void write_storm_truth(const std::string& base, sfmr::tool::Replace replace,
                       const sfmr::sim::FlightOptions& o, const sfmr::sim::Storm& storm, int seconds) {
  Publisher centre(base + ".centre.csv", replace), facts(base + ".storm_truth.csv", replace),
      bdeck(base + ".bdeck", replace), hurdat(base + ".hurdat2", replace),
      kind(base + ".storm_kind.csv", replace), passes(base + ".passes.csv", replace);
  sfmr::sim::write_centre_track(centre.stream(), o, storm, seconds);
  sfmr::sim::write_storm_facts(facts.stream(), storm);
  sfmr::sim::write_bdeck(bdeck.stream(), o, storm, seconds);
  sfmr::sim::write_hurdat2(hurdat.stream(), o, storm, seconds);
  sfmr::sim::write_storm_kind(kind.stream(), storm);
  sfmr::sim::write_passes(passes.stream(), o, storm, seconds);
  for (Publisher* f : {&centre, &facts, &bdeck, &hurdat, &kind, &passes}) f->commit();
}

// The reconnaissance messages and sondes the options ask for, each a file name and its text; the EOL files
// of the sondes under NAME.sondes/.
std::vector<std::pair<fs::path, std::string>> message_files(const sfmr::tool::Args& args,
                                                            const fs::path& base,
                                                            const sfmr::sim::FlightOptions& o,
                                                            const sfmr::sim::Storm& storm,
                                                            const sfmr::SstField* field, int sondes) {
  std::vector<std::pair<fs::path, std::string>> files;
  if (!args.flag("--hdob") && !args.flag("--vdm") && sondes == 0) return files;
  const int seconds = static_cast<int>(std::lround(o.hours * 3600.0));
  sfmr::sim::AirOptions air;
  air.inflow_deg = args.real("--fl-inflow", air.inflow_deg, {.min = 0.0, .max = 15.0});
  air.wind_noise_ms = args.real("--fl-noise", air.wind_noise_ms, {.min = 0.0, .max = 5.0});
  air.pressure_noise_hpa = args.real("--pressure-noise", air.pressure_noise_hpa, {.min = 0.0, .max = 3.0});
  const std::vector<sfmr::sim::FlightSecond> s = sfmr::sim::flight_seconds(o, storm, field, seconds, air);
  const std::string stem = base.string();
  if (args.flag("--hdob"))
    files.emplace_back(stem + ".hdob", sfmr::sim::hdob_text(o, sfmr::sim::flight_mission(o, storm), s, air));
  if (args.flag("--vdm")) {
    std::string truth;
    files.emplace_back(stem + ".vdm", sfmr::sim::vdm_text(o, storm, s, truth));
    files.emplace_back(stem + ".vdm_truth.csv", truth);
  }
  if (sondes > 0) {
    const std::vector<sfmr::sim::Drop> drops = sfmr::sim::drop_sondes(o, storm, s, sondes);
    std::string tempdrop;
    for (const sfmr::sim::Drop& d : drops) {
      tempdrop += sfmr::sonde::write_tempdrop(d.sonde);
      files.emplace_back(fs::path(stem + ".sondes") / sfmr::sim::eol_file_name(d.sonde),
                         sfmr::sonde::write_eol(d.sonde));
    }
    files.emplace_back(stem + ".tempdrop", tempdrop);
    files.emplace_back(stem + ".sonde_truth.csv", sfmr::sim::sonde_truth_csv(o, drops));
  }
  return files;
}

std::unique_ptr<sfmr::SstField> load_sst(const std::string& sst_file) {
  std::istringstream in;
  std::ostringstream discard;
  sfmr::Console quiet(in, discard);
  auto field = std::make_unique<sfmr::SstField>();
  float status = 0.0f;
  field->sst4main(quiet, sst_file, status);
  if (status < 0.0f) sfmr::tool::fail("SST grid " + sst_file + " or its land mask did not load");
  return field;
}

int make_flight(const std::vector<std::string>& words) {
  const sfmr::tool::Args args = flight_args(words);
  const fs::path dir = args.positional(2, 2, "flight needs DIR")[1];
  sfmr::sim::FlightOptions o = flight_options(args);
  sfmr::sim::Storm storm = storm_options(args);
  place_storm(args, o, storm);
  const std::string name = args.text("--name", "sample");
  if (name.empty() || name.front() == '.' || name.find('/') != std::string::npos)
    sfmr::tool::usage_error("--name '" + name +
                            "': must be a file stem, not beginning with '.', without '/'");
  const int sondes = args.integer("--sondes", 0, {.min = 1.0, .max = 99.0});
  const std::string sst_file = args.text("--sst", "sfmr_sst.bin");
  const std::unique_ptr<sfmr::SstField> field = args.text("--sst") ? load_sst(sst_file) : nullptr;

  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) sfmr::tool::fail(dir.string() + ": cannot create the directory (" + ec.message() + ")");
  const fs::path base = dir / name;
  const auto replace = sfmr::tool::replace_if(args.flag("--force"));
  // Every name is checked before any file is begun.
  bool storm_truth = args.flag("--storm-truth");
  for (const char* option : kStormOptions) storm_truth = storm_truth || args.text(option).has_value();
  std::vector<std::string> endings = {".dat", ".truth.csv", ".cal", ".setup", ".answers"};
  if (storm_truth) endings.insert(endings.end(), kStormEndings.begin(), kStormEndings.end());
  for (const std::string& ending : endings) sfmr::tool::check_replaceable(base.string() + ending, replace);
  const auto messages = message_files(args, base, o, storm, field.get(), sondes);
  for (const auto& [path, text] : messages) sfmr::tool::check_replaceable(path, replace);
  Publisher raw(base.string() + ".dat", replace), truth(base.string() + ".truth.csv", replace),
      cal(base.string() + ".cal", replace), setup(base.string() + ".setup", replace),
      answers(base.string() + ".answers", replace);
  const sfmr::sim::Radiometer radiometer = sfmr::sim::sample_radiometer();
  const auto damage_report = args.text("--damage-report");
  std::vector<sfmr::sim::ByteRange> damaged;
  std::ostringstream raw_text;
  const int seconds =
      sfmr::sim::write_flight(o, storm, radiometer, field.get(), damage_report ? raw_text : raw.stream(),
                              truth.stream(), damage_report ? &damaged : nullptr);
  if (damage_report) {
    const std::string text = raw_text.str();
    raw.stream() << text;
    sfmr::tool::publish_text(*damage_report, damage_report_text(text, damaged), replace);
  }
  if (storm_truth) write_storm_truth(base.string(), replace, o, storm, seconds);
  sfmr::sim::write_calibration_file(cal.stream(), radiometer);
  sfmr::sim::write_setup_file(setup.stream(), name + ".dat", name + ".cal",
                              fs::path(sst_file).filename().string(), radiometer);
  answers.stream() << name << ".setup\n";
  for (const auto& [path, text] : messages) {
    fs::create_directories(path.parent_path(), ec);
    if (ec)
      sfmr::tool::fail(path.parent_path().string() + ": cannot create the directory (" + ec.message() + ")");
    sfmr::tool::publish_text(path, text, replace);
  }
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
