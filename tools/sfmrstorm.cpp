// sfmrstorm: storm structure from SFMR flights through a tropical cyclone: centre fixes from the wind field,
// the storm's motion, radial legs with their peak 10-s mean wind and RMW, and the wind radii per quadrant.
// The method is described in storm/analysis.hpp.
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "archive/nc_reader.hpp"
#include "common/cli.hpp"
#include "common/process.hpp"
#include "common/publish.hpp"
#include "storm/analysis.hpp"
#include "storm/outputs.hpp"
#include "storm/track_file.hpp"

namespace {

namespace fs = std::filesystem;
using sfmr::tool::Publisher;

constexpr sfmr::tool::ToolInfo kTool{
    .name = "sfmrstorm",
    .usage = "sfmrstorm FLIGHT.nc... [--track FILE] [--storm ID] [-o PREFIX] [--force]",
    .help = R"(Storm structure from the archive files (sfmr2nc) of flights through the same tropical cyclone.

  FLIGHT.nc       archive files of sfmr2nc; several flights of one storm are analysed together
  --track FILE    an ATCF b-deck, ATCF f-deck or HURDAT2 file (recognised from its content): the centre
                  when a flight has no pass, the prior motion, and the track rows of PREFIX.centres.csv
  --storm ID      the storm in a track file with several (basin, number and year: AL092024)
  -o PREFIX       output prefix (default: the first flight's file name without .nc)
  --force         replace outputs that are there already

Writes PREFIX.centres.csv, .legs.csv, .radii.csv, .storm.txt, .fdeck, .storm.nc, .radial.png and .storm.png,
each under a temporary name renamed when complete. Peaks are 10-s means of the retrieved wind; radii in n mi.
Exit status: 0 success, 1 error (one line on standard error, nothing written), 2 usage error.
)"};

std::string read_whole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) sfmr::tool::fail(path + ": cannot open");
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// gnuplot script of the two plots; data files in `dir`.
std::string plot_script(const fs::path& dir, const std::string& radial, const std::string& plan,
                        const sfmr::storm::Analysis& an, double rmw_km) {
  std::ostringstream g;
  auto q = [](const std::string& s) { return "'" + s + "'"; };
  g << "set terminal pngcairo size 1000,700\n";
  g << "set output " << q(radial) << "\n";
  g << "set title 'Retrieved surface wind against distance from the centre (one colour per leg)'\n";
  g << "set xlabel 'distance from the centre (km)'\nset ylabel 'wind speed (m s-1)'\nset key off\nset grid\n";
  g << "set xrange [0:200]\n";
  if (rmw_km > 0.0)
    g << "set arrow from " << rmw_km << ", graph 0 to " << rmw_km << ", graph 1 nohead dt 2 lw 2\n"
      << "set label 'RMW' at " << rmw_km << ", graph 0.95 offset 0.5,0\n";
  g << "plot " << q((dir / "radial.dat").string()) << " using 1:2:3 with points pt 7 ps 0.3 lc variable\n";
  g << "unset arrow\nunset label\nset output " << q(plan) << "\n";
  g << "set size ratio -1\nset title 'Flight in storm-relative km coloured by wind, wind radii per "
       "quadrant'\n";
  g << "set xlabel 'km east of the centre'\nset ylabel 'km north of the centre'\nset xrange [-250:250]\n"
       "set yrange [-250:250]\nset cblabel 'wind speed (m s-1)'\nset palette rgb 33,13,10\n";
  g << "set object circle at 0,0 size 1.5 fc rgb 'black' fs solid\n";
  int obj = 10;
  static const char* const kColour[] = {"'#1b9e77'", "'#d95f02'", "'#7570b3'"};
  for (std::size_t k = 0; k < 3; ++k)
    for (std::size_t quad = 0; quad < 4; ++quad) {
      const double r = an.radii.km[k][quad];
      if (!std::isfinite(r) || r <= 0.0) continue;
      // Quarter circle: gnuplot's arc angles run anticlockwise from east; NE spans 0..90 in the plot.
      const double a1 = 90.0 - 90.0 * static_cast<double>(quad + 1), a2 = a1 + 90.0;
      g << "set object " << obj++ << " circle at 0,0 size " << r << " arc [" << a1 << ":" << a2
        << "] fs empty border lc rgb " << kColour[k] << " lw 2 nowedge front\n";
    }
  g << "plot " << q((dir / "plan.dat").string()) << " using 1:2:3 with points pt 7 ps 0.3 palette";
  if (an.centre_from_flight)
    g << ", " << q((dir / "fixes.dat").string()) << " using 1:2 with points pt 2 ps 2 lc rgb 'black'";
  g << "\n";
  return g.str();
}

int run(const std::vector<std::string>& words) {
  const sfmr::tool::Args args(words, {{"--track", true}, {"--storm", true}, {"-o", true}, {"--force"}});
  const std::vector<std::string>& inputs = args.positional(1, 1000, "needs at least one FLIGHT.nc");
  const auto replace = sfmr::tool::replace_if(args.flag("--force"));
  std::string prefix = args.text("-o", "");
  if (prefix.empty()) {
    prefix = inputs.front();
    if (prefix.size() > 3 && prefix.ends_with(".nc")) prefix.resize(prefix.size() - 3);
  }
  const std::vector<std::string> endings = {".centres.csv", ".legs.csv", ".radii.csv",  ".storm.txt",
                                            ".fdeck",       ".storm.nc", ".radial.png", ".storm.png"};
  for (const std::string& e : endings) sfmr::tool::check_replaceable(prefix + e, replace);

  sfmr::storm::Context ctx;
  for (const std::string& path : inputs) {
    sfmr::archive::ArchiveFlight f;
    const std::string error = sfmr::archive::read_archive_flight(path, f);
    if (!error.empty()) sfmr::tool::fail(path + ": " + error);
    if (f.flight.empty()) f.flight = fs::path(path).stem().string();
    ctx.flights.push_back(sfmr::storm::series_of(f));
  }
  sfmr::storm::TrackFile track_file;
  const std::string storm_id = args.text("--storm", "");
  sfmr::storm::CentreFn track_centre;
  if (const auto track = args.text("--track")) {
    try {
      track_file = sfmr::storm::parse_track_file(read_whole(*track));
      ctx.track = &sfmr::storm::choose_storm(track_file, storm_id);
    } catch (const std::runtime_error& e) {
      sfmr::tool::fail(*track + ": " + e.what());
    }
    ctx.track_file = *track;
    const auto& points = ctx.track->points;
    bool overlap = false;
    for (const auto& s : ctx.flights)
      if (!s.t.empty() && s.t.back() >= points.front().time && s.t.front() <= points.back().time)
        overlap = true;
    if (!overlap)
      sfmr::tool::fail(*track + ": the track of " + ctx.track->id + " (" +
                       sfmr::storm::iso_time(points.front().time) + " to " +
                       sfmr::storm::iso_time(points.back().time) + ") does not overlap the flights");
    const sfmr::storm::StormTrack* t = ctx.track;
    track_centre = [t](double time, double& lat, double& lon) {
      sfmr::storm::track_position(*t, time, lat, lon);
    };
  } else if (!storm_id.empty()) {
    sfmr::tool::usage_error("--storm needs --track");
  }
  for (const std::string& a : words) ctx.command_line += (ctx.command_line.empty() ? "sfmrstorm " : " ") + a;

  sfmr::storm::Analysis an;
  try {
    an = sfmr::storm::analyse(ctx.flights, track_centre);
  } catch (const std::runtime_error& e) {
    sfmr::tool::fail(e.what());
  }

  Publisher centres(prefix + ".centres.csv", replace), legs(prefix + ".legs.csv", replace),
      radii(prefix + ".radii.csv", replace), report(prefix + ".storm.txt", replace),
      fdeck(prefix + ".fdeck", replace), nc(prefix + ".storm.nc", replace),
      radial(prefix + ".radial.png", replace), plan(prefix + ".storm.png", replace);
  sfmr::storm::write_centres_csv(centres.stream(), an, ctx);
  sfmr::storm::write_legs_csv(legs.stream(), an, ctx);
  sfmr::storm::write_radii_csv(radii.stream(), an);
  sfmr::storm::write_report(report.stream(), an, ctx);
  sfmr::storm::write_fdeck(fdeck.stream(), an, ctx);
  try {
    sfmr::storm::write_storm_nc(nc.temp_path().string(), an, ctx);
  } catch (const std::runtime_error& e) {
    sfmr::tool::fail(prefix + ".storm.nc: " + e.what());
  }

  // The plots, drawn by gnuplot into the temporaries.
  const sfmr::tool::ScratchDir scratch(fs::absolute(prefix).parent_path(), "sfmrstorm");
  const fs::path dir = scratch.path();
  {
    std::ofstream r(dir / "radial.dat"), p(dir / "plan.dat"), x(dir / "fixes.dat");
    sfmr::storm::write_radial_data(r, an, ctx);
    sfmr::storm::write_plan_data(p, an, ctx);
    for (const auto& pass : an.passes) {
      double lat = 0.0, lon = 0.0, km = 0.0, b = 0.0;
      an.centre(pass.time, lat, lon);
      sfmr::storm::range_bearing(lat, lon, pass.lat, pass.lon, km, b);
      x << km * std::sin(b * 3.141592653589793 / 180.0) << ' ' << km * std::cos(b * 3.141592653589793 / 180.0)
        << '\n';
    }
  }
  double rmw = 0.0, vmax = -1.0;
  for (const auto& leg : an.legs)
    if (leg.has_peak && leg.peak > vmax) {
      vmax = leg.peak;
      rmw = leg.peak_radius_km;
    }
  sfmr::tool::ChildCommand g;
  g.argv = {"gnuplot"};
  g.in_text = plot_script(dir, fs::absolute(radial.temp_path()).string(),
                          fs::absolute(plan.temp_path()).string(), an, rmw);
  g.out = sfmr::tool::Sink::kDiscard;
  const sfmr::tool::ChildResult result = sfmr::tool::run_child(g);
  if (!result.failure().empty())
    sfmr::tool::fail("gnuplot: " + result.failure() +
                     (result.err.empty() ? "" : ": " + result.err.substr(0, result.err.find('\n'))));

  for (Publisher* f : {&centres, &legs, &radii, &report, &fdeck, &nc, &radial, &plan}) f->commit();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  return sfmr::tool::run_tool(argc, argv, kTool, run);
}
