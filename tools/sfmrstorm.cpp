// sfmrstorm: storm structure from SFMR flights through a tropical cyclone: centre fixes from the wind field,
// the storm's motion, radial legs with their peak 10-s mean wind and RMW, and the wind radii per quadrant.
// The method is described in storm/analysis.hpp.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <numbers>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "archive/nc_reader.hpp"
#include "common/cli.hpp"
#include "common/process.hpp"
#include "common/publish.hpp"
#include "core/text.hpp"
#include "recon/fix_compare.hpp"
#include "recon/hdob.hpp"
#include "recon/message_text.hpp"
#include "storm/analysis.hpp"
#include "storm/evidence.hpp"
#include "storm/outputs.hpp"
#include "storm/recon_input.hpp"
#include "tracks/track_file.hpp"

namespace {

namespace fs = std::filesystem;
using sfmr::tool::Publisher;

constexpr sfmr::tool::ToolInfo kTool{
    .name = "sfmrstorm",
    .usage = "sfmrstorm FLIGHT.nc|HDOB... [--track FILE] [--storm ID] [--fixes FILE] [-o PREFIX] [--force]",
    .help = R"(Storm structure from the archive files (sfmr2nc) of flights through the same tropical cyclone,
or from their HDOB archives (the aircraft's 30-s messages), or both.

  FLIGHT.nc       archive files of sfmr2nc; several flights of one storm are analysed together
  HDOB            an HDOB archive (recognised from its content): each mission is a flight of 30-s lines, the
                  radiometer's peaks held over the 30 s each covers; where the lines carry the extrapolated
                  surface pressure and the flight-level wind, their pressure minimum and wind centre time
                  the passes together with the radiometer's wind
  --track FILE    an ATCF b-deck, ATCF f-deck or HURDAT2 file (recognised from its content): the centre
                  when a flight has no pass, the prior motion, and the track rows of PREFIX.centres.csv
  --storm ID      the storm in a track file with several (basin, number and year: AL092024); without
                  --track, the storm of an HDOB archive with several (05A or its name)
  --fixes FILE    vortex data messages or an ATCF f-deck: PREFIX.fix_compare.csv holds each centre fix
                  against the operational fix nearest in time; the report gives the median distance
  -o PREFIX       output prefix (default: the first flight's file name without .nc)
  --force         replace outputs that are there already

Writes PREFIX.centres.csv, .legs.csv, .radii.csv, .storm.txt, .fdeck, .storm.nc, .radial.png and .storm.png
(and .fix_compare.csv with --fixes), each under a temporary name renamed when complete. Peaks are 10-s means of the retrieved wind; radii in n mi.

Inputs: the flights are taken in time order, whatever the order of the arguments. Refused: the same flight
twice; flights of different storms (without --track: more than 12 h apart, or never within 200 km of each
other plus 20 m/s times the gap; with --track: a flight never within 300 km of the track's centre). A track
file may be the tool's own f-deck.

Centre: from the passes' eye signatures in the wind. Without --track, a vortex is also sought in every
straight second of the flights; it places the centre where no pass shows the eye, and where the passes'
centre fits the winds far worse than it does (its fixes then carry its larger error, or the passes' errors
take the distance between the two where it cannot be told right); the report says which. A flight with no
pass, no track and no such vortex near it is refused.

Wind radii only where the data show the crossing: the outermost 10-s mean at or above the threshold in the
quadrant (a mean within 2 km of a quadrant boundary's line counts for both). Clearly above or below: by
more than two noises of the leg's 10-s mean; sure: still counted for the quadrant with the centre moved by
two of its errors. Flags: E, a lower bound (no sure mean below the threshold within 5 km beyond it, or the
data end, or a leg counted for it ends, not clearly below it); U, unknown, radius empty (no sure mean
clearly above the threshold and none inside the RMW by two errors of the RMW and centre, or fewer than 20
sure means; the f-deck leaves it blank); 0 only when sure means inside the RMW stay below the threshold. A
quadrant never sampled is U, never 0.

The plots are drawn after the other files are written, their ranges from their data. A plot gnuplot fails
to draw is not written: exit status 1 with one line naming it and gnuplot's message; the other files stand.
Exit status: 0 success, 1 error (one line on standard error; nothing written, except after a plot failure),
2 usage error.
)"};

constexpr double kSameStormGapHours = 12.0;  // h: flights further apart need a track joining them
constexpr double kSameStormKm = 200.0;       // km: flights of one storm come this near each other...
constexpr double kStormDriftMs = 20.0;       // m/s: ...plus the farthest a storm moves in the gap between
constexpr double kNearTrackKm = 300.0;       // km: a flight of the track's storm comes this near its centre

std::string read_whole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) sfmr::tool::fail(path + ": cannot open");
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// A flight read from its file (an HDOB mission keeps its 30-s lines).
struct Input {
  std::string path;
  sfmr::storm::Series series;
  std::shared_ptr<const sfmr::storm::HdobLines> lines;
  double start() const { return series.t.empty() ? HUGE_VAL : series.t.front(); }
  double end() const { return series.t.empty() ? HUGE_VAL : series.t.back(); }
  std::string span() const {
    return series.t.empty() ? std::string("no records")
                            : sfmr::storm::iso_time(start()) + " to " + sfmr::storm::iso_time(end());
  }
};

// Smallest distance (km) between the positions of two flights, every minute of each.
double closest_km(const sfmr::storm::Series& a, const sfmr::storm::Series& b) {
  double best = HUGE_VAL;
  for (std::size_t i = 0; i < a.t.size(); i += 60)
    for (std::size_t j = 0; j < b.t.size(); j += 60) {
      double km = HUGE_VAL, bearing = 0.0;
      sfmr::storm::range_bearing(a.lat[i], a.lon[i], b.lat[j], b.lon[j], km, bearing);
      if (std::isfinite(km)) best = std::min(best, km);
    }
  return best;
}

// What the HDOB archives among the inputs came to, for the report.
struct HdobNotes {
  std::vector<std::string> lines;  // per archive: its missions, faulty messages and suspect values
  std::set<std::string> storms;    // storm of each mission
};

// The missions of an HDOB archive as flights; `storm` chooses one of several storms.
void read_hdob_input(const std::string& path, const std::string& text, const std::string& storm,
                     std::vector<Input>& flights, HdobNotes& notes) {
  sfmr::recon::HdobArchive archive;
  try {
    archive = sfmr::recon::read_hdob(text, path, storm);
  } catch (const std::runtime_error& e) {
    sfmr::tool::fail(e.what());
  }
  const sfmr::recon::HdobCounts& c = archive.counts;
  std::ostringstream note;
  note << path << ": " << archive.messages.size() << " HDOB messages, " << archive.observations.size()
       << " lines; " << archive.faults.size()
       << " faulty messages left out; suspect values not used: position " << c.suspect_position
       << ", pressure " << c.suspect_pressure << ", wind " << c.suspect_wind << ", radiometer "
       << c.suspect_sfmr << "; transmission faults dropped: " << c.fault_peak + c.fault_zero_position
       << "; repeated messages " << c.repeated_messages << ", missing " << c.missing_messages << "\n";
  for (const std::string& f : archive.faults) note << "  left out: " << f << "\n";
  notes.lines.push_back(note.str());
  for (sfmr::storm::HdobMission& m : sfmr::storm::hdob_missions(archive)) {
    notes.storms.insert(m.storm + " (" + path + ")");
    flights.push_back(
        {path, std::move(m.series), std::make_shared<sfmr::storm::HdobLines>(std::move(m.lines))});
  }
}

// HDOB missions of more than one storm cannot share the analysis.
void check_hdob_storms(const HdobNotes& notes) {
  std::set<std::string> ids;
  for (const std::string& s : notes.storms) ids.insert(s.substr(0, s.find(' ')));
  if (ids.size() < 2) return;
  std::string list;
  for (const std::string& s : notes.storms) list += (list.empty() ? "" : ", ") + s;
  sfmr::tool::fail("HDOB missions of several storms: " + list + " (--storm chooses one in an archive)");
}

// The flights in time order (the results do not depend on the order of the arguments), each once.
std::vector<Input> read_flights(const std::vector<std::string>& paths, const std::string& storm,
                                HdobNotes& notes) {
  std::vector<Input> flights;
  for (const std::string& path : paths) {
    std::string text;
    if (fs::is_regular_file(path)) text = read_whole(path);
    const sfmr::recon::ReconFile kind = sfmr::recon::recon_file_kind(text);
    if (kind == sfmr::recon::ReconFile::kHdob) {
      read_hdob_input(path, text, storm, flights, notes);
      continue;
    }
    if (kind == sfmr::recon::ReconFile::kVortex)
      sfmr::tool::fail(path + ": vortex data messages, not a flight (--fixes compares with them)");
    sfmr::archive::ArchiveFlight f;
    const std::string error = sfmr::archive::read_archive_flight(path, f);
    if (!error.empty())
      sfmr::tool::fail(
          path + ": " + error +
          (error.starts_with("not a netCDF file") && !text.empty() ? "; nor an HDOB archive" : ""));
    if (f.flight.empty()) f.flight = fs::path(path).stem().string();
    flights.push_back({path, sfmr::storm::series_of(f), nullptr});
  }
  check_hdob_storms(notes);
  std::stable_sort(flights.begin(), flights.end(), [](const Input& a, const Input& b) {
    return a.start() != b.start() ? a.start() < b.start() : a.series.name < b.series.name;
  });
  for (std::size_t i = 0; i < flights.size(); ++i)
    for (std::size_t j = 0; j < i; ++j) {
      const sfmr::storm::Series &a = flights[j].series, &b = flights[i].series;
      auto same = [](const std::vector<double>& x, const std::vector<double>& y) {
        return std::equal(x.begin(), x.end(), y.begin(), y.end(),
                          [](double u, double v) { return u == v || (std::isnan(u) && std::isnan(v)); });
      };
      const bool same_records =
          same(a.t, b.t) && same(a.lat, b.lat) && same(a.lon, b.lon) && same(a.wind, b.wind);
      const bool same_name = a.name == b.name && flights[i].start() <= flights[j].end();
      if (same_records || same_name)
        sfmr::tool::fail(flights[i].path + ": the same flight (" + b.name + ") as " + flights[j].path);
    }
  return flights;
}

// Without a track, consecutive flights must be near in time and place: flights of different storms (or of
// one storm far apart) cannot share the analysis's one constant motion.
void check_one_storm(const std::vector<Input>& flights) {
  for (std::size_t i = 1; i < flights.size(); ++i) {
    const Input &a = flights[i - 1], &b = flights[i];
    if (a.series.t.empty() || b.series.t.empty()) continue;
    const double gap = std::max(0.0, b.start() - a.end());
    const std::string both = a.path + " (" + a.span() + ") and " + b.path + " (" + b.span() + ")";
    if (gap > kSameStormGapHours * 3600.0)
      sfmr::tool::fail("flights of different storms, or of one storm with no track joining them: " + both +
                       " are " + std::to_string(std::lround(gap / 3600.0)) + " h apart (--track joins them)");
    const double km = closest_km(a.series, b.series);
    if (km > kSameStormKm + kStormDriftMs * gap / 1000.0)
      sfmr::tool::fail("flights of different storms: " + both + " come no nearer than " +
                       std::to_string(std::lround(km)) + " km to each other");
  }
}

// Reads the --track file, chooses its storm and checks that every flight comes near it.
void read_track(const std::string& path, const std::string& id, sfmr::storm::TrackFile& file,
                sfmr::storm::Context& ctx, const std::vector<Input>& flights) {
  try {
    file = sfmr::storm::parse_track_file(read_whole(path));
    ctx.track = &sfmr::storm::choose_storm(file, id);
  } catch (const std::runtime_error& e) {
    sfmr::tool::fail(path + ": " + e.what());
  }
  ctx.track_file = path;
  const auto& points = ctx.track->points;
  bool overlap = false;
  for (const auto& s : ctx.flights)
    if (!s.t.empty() && s.t.back() >= points.front().time && s.t.front() <= points.back().time)
      overlap = true;
  if (!overlap)
    sfmr::tool::fail(path + ": the track of " + ctx.track->id + " (" +
                     sfmr::storm::iso_time(points.front().time) + " to " +
                     sfmr::storm::iso_time(points.back().time) + ") does not overlap the flights");
  for (const Input& f : flights) {
    const sfmr::storm::Series& s = f.series;
    double best = HUGE_VAL;
    for (std::size_t i = 0; i < s.t.size(); i += 60) {
      double lat = 0.0, lon = 0.0, km = HUGE_VAL, bearing = 0.0;
      sfmr::storm::track_position(*ctx.track, s.t[i], lat, lon);
      sfmr::storm::range_bearing(lat, lon, s.lat[i], s.lon[i], km, bearing);
      if (std::isfinite(km)) best = std::min(best, km);
    }
    if (!s.t.empty() && !std::isfinite(best))
      sfmr::tool::fail(f.path + ": the flight has no position to compare with the track in " + path);
    if (best > kNearTrackKm)
      sfmr::tool::fail(f.path + ": the flight comes no nearer than " + std::to_string(std::lround(best)) +
                       " km to the centre of " + ctx.track->id + " in " + path +
                       ": a flight of another storm");
  }
}

std::string quoted(const std::string& s) {
  return "'" + s + "'";
}

// The frame of a plot without data: fixed ranges and a note, so that gnuplot still draws it.
std::string empty_frame() {
  return "set xrange [0:1]\nset yrange [0:1]\nset label 'no leg data' at graph 0.5,0.5 center\n"
         "plot 1/0 notitle\n";
}

// gnuplot script of the radial plot: every leg second's wind against its distance, the ranges from the
// data (the distance from 0).
std::string radial_script(const fs::path& data, const std::string& png, double rmw_km, bool has_data) {
  std::ostringstream g;
  g << "set terminal pngcairo size 1000,700\nset output " << quoted(png) << "\n";
  g << "set title 'Retrieved surface wind against distance from the centre (one colour per leg)'\n";
  g << "set xlabel 'distance from the centre (km)'\nset ylabel 'wind speed (m s-1)'\nset key off\nset grid\n";
  if (!has_data) return g.str() + empty_frame();
  g << "set xrange [0:*]\nset yrange [0:*]\n";
  if (rmw_km > 0.0)
    g << "set arrow from " << rmw_km << ", graph 0 to " << rmw_km << ", graph 1 nohead dt 2 lw 2\n"
      << "set label 'RMW' at " << rmw_km << ", graph 0.95 offset 0.5,0\n";
  g << "plot " << quoted(data.string()) << " using 1:2:3 with points pt 7 ps 0.3 lc variable\n";
  return g.str();
}

// gnuplot script of the plan: the legs in storm-relative km coloured by wind, the wind radii as quarter
// circles and the fixes; the ranges from the data, one scale on both axes.
std::string plan_script(const fs::path& dir, const std::string& png, const sfmr::storm::Analysis& an,
                        const sfmr::storm::PlanExtent& e) {
  std::ostringstream g;
  g << "set terminal pngcairo size 1000,700\nset output " << quoted(png) << "\n";
  g << "set size ratio -1\nset title 'Legs in storm-relative km coloured by wind, wind radii per quadrant'\n";
  g << "set xlabel 'km east of the centre'\nset ylabel 'km north of the centre'\nset key off\n";
  if (e.points == 0) return g.str() + empty_frame();
  const double pad = 0.03 * std::max({e.x1 - e.x0, e.y1 - e.y0, 1.0});
  g << "set xrange [" << e.x0 - pad << ":" << e.x1 + pad << "]\nset yrange [" << e.y0 - pad << ":"
    << e.y1 + pad << "]\n";
  g << "set cblabel 'wind speed (m s-1)'\nset palette rgb 33,13,10\n";
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
  g << "plot " << quoted((dir / "plan.dat").string()) << " using 1:2:3 with points pt 7 ps 0.3 palette";
  if (an.centre_from_flight)
    g << ", " << quoted((dir / "fixes.dat").string()) << " using 1:2 with points pt 2 ps 2 lc rgb 'black'";
  g << "\n";
  return g.str();
}

// Draws the two plots into the temporaries of `radial` and `plan`, commits the ones drawn and returns what
// failed ("PREFIX.radial.png (gnuplot: ...)"; empty when both are drawn).
std::string draw_plots(const std::string& prefix, const sfmr::storm::Analysis& an,
                       const sfmr::storm::Context& ctx, Publisher& radial, Publisher& plan) {
  const sfmr::tool::ScratchDir scratch(fs::absolute(prefix).parent_path(), "sfmrstorm");
  const fs::path dir = scratch.path();
  sfmr::storm::PlanExtent extent;
  {
    std::ofstream r(dir / "radial.dat"), p(dir / "plan.dat"), x(dir / "fixes.dat");
    sfmr::storm::write_radial_data(r, an, ctx);
    extent = sfmr::storm::write_plan_data(p, an, ctx);
    for (const auto& pass : an.passes) {
      double lat = 0.0, lon = 0.0, km = 0.0, b = 0.0;
      an.centre(pass.time, lat, lon);
      sfmr::storm::range_bearing(lat, lon, pass.lat, pass.lon, km, b);
      x << km * std::sin(b * std::numbers::pi / 180.0) << ' ' << km * std::cos(b * std::numbers::pi / 180.0)
        << '\n';
    }
  }
  double rmw = 0.0, vmax = -1.0;
  for (const auto& leg : an.legs)
    if (leg.has_peak && leg.peak > vmax) {
      vmax = leg.peak;
      rmw = leg.peak_radius_km;
    }
  const bool has_data = extent.points > 0;
  std::vector<sfmr::tool::ChildCommand> g(2);
  g[0].in_text = radial_script(dir / "radial.dat", fs::absolute(radial.temp_path()).string(), rmw, has_data);
  g[1].in_text = plan_script(dir, fs::absolute(plan.temp_path()).string(), an, extent);
  for (auto& c : g) {
    c.argv = {"gnuplot"};
    c.out = sfmr::tool::Sink::kDiscard;
  }
  const std::vector<sfmr::tool::ChildResult> results = sfmr::tool::run_children(g);
  std::string failed;
  Publisher* const png[] = {&radial, &plan};
  for (std::size_t i = 0; i < 2; ++i) {
    const sfmr::tool::ChildResult& r = results[i];
    // gnuplot goes on after an error in its script and ends with a non-zero status; its last message is
    // the error.
    if (r.failure().empty()) {
      png[i]->commit();
      continue;
    }
    std::string last;
    if (r.err.find_first_not_of(" \t\n") != std::string::npos) {
      last = r.err.substr(r.err.rfind('\n', r.err.find_last_not_of(" \t\n")) + 1);
      last.erase(0, last.find_first_not_of(" \t"));
      last = last.substr(0, last.find_last_not_of(" \t\n") + 1);
    }
    failed += (failed.empty() ? "" : "; ") + png[i]->target().string() + " (" +
              r.failure_line("gnuplot", last) + ")";
  }
  return failed;
}

// The fixes of --fixes held against the analysis's.
struct FixCheck {
  std::vector<sfmr::recon::OperationalFix> operational;
  sfmr::recon::FixComparison comparison;
};

FixCheck compare_with(const std::string& path, const sfmr::storm::Analysis& an, double reference_time) {
  FixCheck check;
  try {
    check.operational = sfmr::storm::read_operational_fixes(read_whole(path), path, reference_time);
  } catch (const std::runtime_error& e) {
    sfmr::tool::fail(e.what());
  }
  std::vector<sfmr::recon::CentreFix> tool;
  for (const sfmr::storm::Pass& p : an.passes) tool.push_back({p.time, p.lat, p.lon});
  check.comparison = sfmr::recon::compare_fixes(tool, check.operational);
  return check;
}

// The report's part on reconnaissance messages: the HDOB archives read, the evidence of each fix, and the
// comparison with the operational fixes.
void write_recon_report(std::ostream& out, const sfmr::storm::Analysis& an, const HdobNotes& notes,
                        const FixCheck* check, const std::string& fixes_path) {
  if (notes.lines.empty() && !check) return;
  out << "\nFrom reconnaissance messages\n";
  if (!notes.lines.empty()) {
    out << "HDOB archives (30-s lines: positions to whole minutes; each radiometer wind is the peak 10-s "
           "mean "
           "over its 30 s, so a leg's peak is the largest HDOB peak, not a further 10-s mean):\n";
    for (const std::string& l : notes.lines) out << "  " << l;
  }
  out << "Evidence placing each fix:\n";
  for (const sfmr::storm::Pass& p : an.passes)
    out << "  " << sfmr::storm::iso_time(p.time) << "  " << p.evidence << "\n";
  if (!check) return;
  const sfmr::recon::FixSummary sum = sfmr::recon::summarise_fixes(check->comparison, check->operational);
  out << "Operational fixes (" << fixes_path << "): " << check->operational.size() << "; fixes within "
      << std::lround(sfmr::recon::kUnmatchedWindowS / 60.0) << " min of one: " << sum.compared;
  if (sum.compared > 0)
    out << ", median distance " << sfmr::format_trimmed(sum.median_distance_km, 2) << " km";
  out << "\n";
  for (const std::size_t i : sum.beyond_accuracy) {
    const sfmr::recon::FixPair& pr = check->comparison.pairs[i];
    const sfmr::recon::OperationalFix& o = check->operational[static_cast<std::size_t>(pr.operational)];
    out << "  more than three times the crew's accuracy (" << sfmr::format_trimmed(o.accuracy_nmi, 1)
        << " n mi) apart: " << sfmr::storm::iso_time(pr.fix.time) << ", "
        << sfmr::format_trimmed(pr.distance_km, 2) << " km from the fix of " << sfmr::storm::iso_time(o.time)
        << "\n";
  }
  for (const std::size_t i : check->comparison.unmatched)
    out << "  no fix of the tool's within 15 min of the operational fix of "
        << sfmr::storm::iso_time(check->operational[i].time) << "\n";
}

int run(const std::vector<std::string>& words) {
  const sfmr::tool::Args args(
      words, {{"--track", true}, {"--storm", true}, {"--fixes", true}, {"-o", true}, {"--force"}});
  const std::vector<std::string>& inputs =
      args.positional(1, 1000, "needs at least one FLIGHT.nc or HDOB archive");
  const auto replace = sfmr::tool::replace_if(args.flag("--force"));
  std::string prefix = args.text("-o", "");
  if (prefix.empty()) {
    prefix = inputs.front();
    if (prefix.size() > 3 && prefix.ends_with(".nc")) prefix.resize(prefix.size() - 3);
  }
  std::vector<std::string> endings = {".centres.csv", ".legs.csv", ".radii.csv",  ".storm.txt",
                                      ".fdeck",       ".storm.nc", ".radial.png", ".storm.png"};
  const auto fixes_path = args.text("--fixes");
  if (fixes_path) endings.push_back(".fix_compare.csv");
  for (const std::string& e : endings) sfmr::tool::check_replaceable(prefix + e, replace);
  const std::string storm_id = args.text("--storm", "");

  HdobNotes notes;
  const std::vector<Input> flights = read_flights(inputs, args.text("--track") ? "" : storm_id, notes);
  if (!storm_id.empty() && !args.text("--track") && notes.lines.empty())
    sfmr::tool::usage_error("--storm needs --track or an HDOB archive");
  sfmr::storm::Context ctx;
  for (const Input& f : flights) ctx.flights.push_back(f.series);
  sfmr::storm::TrackFile track_file;
  sfmr::storm::CentreFn track_centre;
  if (const auto track = args.text("--track")) {
    read_track(*track, storm_id, track_file, ctx, flights);
    const sfmr::storm::StormTrack* t = ctx.track;
    track_centre = [t](double time, double& lat, double& lon) {
      sfmr::storm::track_position(*t, time, lat, lon);
    };
  } else {
    check_one_storm(flights);
  }
  for (const std::string& a : words) ctx.command_line += (ctx.command_line.empty() ? "sfmrstorm " : " ") + a;

  std::vector<const sfmr::storm::HdobLines*> lines;
  for (const Input& f : flights) lines.push_back(f.lines.get());
  sfmr::storm::Analysis an;
  try {
    an = sfmr::storm::analyse(ctx.flights, track_centre, sfmr::storm::hdob_refiner(lines));
    sfmr::storm::place_by_flight_level_wind(an, lines);
    sfmr::storm::recentre_on_wind_fixes(an, ctx.flights);
  } catch (const std::runtime_error& e) {
    sfmr::tool::fail(e.what());
  }
  std::unique_ptr<FixCheck> check;
  if (fixes_path) check = std::make_unique<FixCheck>(compare_with(*fixes_path, an, flights.front().start()));

  // The analysis's files first: they stand whatever becomes of the plots.
  {
    Publisher centres(prefix + ".centres.csv", replace), legs(prefix + ".legs.csv", replace),
        radii(prefix + ".radii.csv", replace), report(prefix + ".storm.txt", replace),
        fdeck(prefix + ".fdeck", replace), nc(prefix + ".storm.nc", replace);
    sfmr::storm::write_centres_csv(centres.stream(), an, ctx);
    sfmr::storm::write_legs_csv(legs.stream(), an, ctx);
    sfmr::storm::write_radii_csv(radii.stream(), an);
    sfmr::storm::write_report(report.stream(), an, ctx);
    write_recon_report(report.stream(), an, notes, check.get(), fixes_path.value_or(""));
    sfmr::storm::write_fdeck(fdeck.stream(), an, ctx);
    try {
      sfmr::storm::write_storm_nc(nc.temp_path().string(), an, ctx);
    } catch (const std::runtime_error& e) {
      sfmr::tool::fail(prefix + ".storm.nc: " + e.what());
    }
    std::unique_ptr<Publisher> compare;
    if (check) {
      compare = std::make_unique<Publisher>(prefix + ".fix_compare.csv", replace);
      sfmr::recon::write_fix_compare_csv(compare->stream(), check->comparison, check->operational);
    }
    for (Publisher* f : {&centres, &legs, &radii, &report, &fdeck, &nc}) f->commit();
    if (compare) compare->commit();
  }
  Publisher radial(prefix + ".radial.png", replace), plan(prefix + ".storm.png", replace);
  const std::string failed = draw_plots(prefix, an, ctx, radial, plan);
  if (!failed.empty()) sfmr::tool::fail("plot not drawn, the other outputs are written: " + failed);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  return sfmr::tool::run_tool(argc, argv, kTool, run);
}
