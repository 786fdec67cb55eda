#include "plot/quicklook.hpp"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/cli.hpp"
#include "common/input.hpp"
#include "common/process.hpp"
#include "common/publish.hpp"
#include "common/share.hpp"
#include "look/error_report.hpp"
#include "look/flight_summary.hpp"
#include "look/truth.hpp"
#include "out_file/out_reader.hpp"
#include "plot/coast.hpp"
#include "plot/plot_data.hpp"
#include "plot/scratch.hpp"
#include "uncertainty/setup_check.hpp"

namespace sfmr::plot {

namespace {

namespace fs = std::filesystem;
using flight::OutSecond;

// What the plots show: the seconds of one flight, or of a campaign's flights one after the other, with
// the truth and the standard errors when given.
struct Flights {
  std::vector<OutSecond> seconds;
  int count = 0;  // flights read
  std::map<int, look::TruthSecond> truth;
  std::optional<std::vector<uncertainty::SecondError>> errors;
};

// The output files that the campaign list names (one a line), read one after the other.
void read_campaign(const std::string& list, Flights& f) {
  std::ifstream in(list);
  if (!in) tool::fail(list + ": cannot open");
  for (std::string path; std::getline(in, path);) {
    if (path.empty()) continue;
    std::vector<OutSecond> one;
    if (std::string e = flight::read_out_file(path, one); !e.empty()) tool::fail(e);
    f.seconds.insert(f.seconds.end(), one.begin(), one.end());
    ++f.count;
  }
}

// The truth file, refused when it is not the flight's (look::truth_mismatch).
void read_truth(const std::string& path, Flights& f) {
  std::ifstream in = tool::open_input(path);
  f.truth = look::read_truth(in);
  if (const std::string why = look::truth_mismatch(f.seconds, f.truth); !why.empty())
    tool::fail(path + ": " + why);
}

// The standard errors of the retrieval with the run's setup file, refused when it is not the flight's.
void estimate_with_setup(const std::string& setup, const std::string& out_file, Flights& f) {
  uncertainty::FlightInputs inputs;
  if (const std::string e = uncertainty::read_inputs(setup, inputs); !e.empty()) tool::fail(e);
  if (const std::string why = uncertainty::setup_mismatch(f.seconds, inputs); !why.empty())
    tool::fail(setup + " is not the setup of " + out_file + " (" + why + ")");
  f.errors = uncertainty::estimate_errors(f.seconds, inputs);
}

// The flight's seconds, or the campaign's.
Flights read_flights(const QuickLook& q) {
  Flights f;
  if (!q.campaign.empty()) {
    read_campaign(q.campaign, f);
  } else if (const std::string e = flight::read_out_file(q.flight, f.seconds); !e.empty()) {
    tool::fail(e);
  }
  if (f.seconds.empty()) tool::fail((q.campaign.empty() ? q.flight : q.campaign) + ": no data lines");
  return f;
}

// The PNG files: their names, and the temporaries gnuplot draws into (removed when anything fails).
struct Pngs {
  int first = 0;  // a campaign has the map (1) alone
  fs::path outputs[2];
  std::optional<tool::Publisher> publishers[2];
  fs::path partial[2];  // absolute: gnuplot runs in the scratch directory
};

void plan_outputs(const QuickLook& q, Pngs& p) {
  const bool campaign = !q.campaign.empty();
  const fs::path prefix = output_prefix(q.prefix, campaign ? q.campaign : q.flight);
  const auto replace = tool::replace_if(q.force);
  p.first = campaign ? 1 : 0;
  p.outputs[0] = prefix.string() + ".timeseries.png";
  p.outputs[1] = prefix.string() + ".map.png";
  for (int i = p.first; i < 2; ++i) tool::check_replaceable(p.outputs[i], replace);
  for (int i = p.first; i < 2; ++i) {
    p.publishers[i].emplace(p.outputs[i], replace);
    p.partial[i] = fs::absolute(p.publishers[i]->temp_path());
  }
}

// The binary series, the status bands, the error band and the track in `dir`.
void write_data_files(const fs::path& dir, const Flights& f, const MapFrame& frame) {
  const bool have_truth = !f.truth.empty();
  const bool written =
      write_to(dir / "retrieved.bin",
               [&](std::ostream& os) {
                 std::ofstream onboard(dir / "onboard.bin", std::ios::binary);
                 std::ofstream truth_file;
                 if (have_truth) truth_file.open(dir / "truth.bin", std::ios::binary);
                 write_series({os, onboard, have_truth ? &truth_file : nullptr}, f.seconds, f.truth);
                 onboard.close();
                 truth_file.close();
                 if (!onboard || (have_truth && !truth_file)) os.setstate(std::ios::failbit);
               }) &&
      (!f.errors ||
       write_to(dir / "errors.dat",
                [&](std::ostream& os) { uncertainty::write_error_band(os, f.seconds, *f.errors); })) &&
      write_to(dir / "bands.dat", [&](std::ostream& os) { write_bands(os, f.seconds); }) &&
      write_to(dir / "track.bin", [&](std::ostream& os) {
        std::ofstream grey(dir / "grey.bin", std::ios::binary);
        write_track(os, grey, f.seconds, frame);
        grey.close();
        if (!grey) os.setstate(std::ios::failbit);
      });
  if (!written) tool::fail("cannot write the plot data in " + dir.string());
}

// The titles: the flight's file name and time span, or the campaign's title and number of flights.
struct Titles {
  std::string name, span, start_label, end_label;
};

Titles titles(const QuickLook& q, const Flights& f, const OutSecond& first_pos, const OutSecond& last_pos) {
  const bool campaign = !q.campaign.empty();
  const look::FlightSummary summary = look::summarise_flight(f.seconds);
  return {
      .name = campaign ? q.title : fs::path(q.flight).filename().string(),
      .span = campaign ? std::to_string(f.count) + " flights"
                       : look::clock_label(summary.first) + " to " + look::clock_label(summary.last) + " UTC",
      .start_label = (campaign ? "first flight's start " : "start ") + look::clock_label(first_pos.elapsed),
      .end_label = (campaign ? "last flight's end " : "end ") + look::clock_label(last_pos.elapsed)};
}

// The top of the wind speed colour bar: the largest retrieved or true wind, up to a multiple of 10 m/s.
double colour_bar_top(const Flights& f) {
  const look::FlightSummary summary = look::summarise_flight(f.seconds);
  double ws_max = summary.max_ws ? summary.max_ws->value : 0.0;
  for (const auto& [sec, t] : f.truth) ws_max = std::max(ws_max, t.ws);
  return std::max(10.0, std::ceil(ws_max / 10.0) * 10.0);
}

// settings.gp: the variables both scripts read (their headers list them).
void write_settings(std::ostream& os, const fs::path& dir, const QuickLook& q, const Flights& f,
                    const MapFrame& frame, const Pngs& pngs) {
  const auto first_pos = std::find_if(f.seconds.begin(), f.seconds.end(), look::has_position);
  const auto last_pos = std::find_if(f.seconds.rbegin(), f.seconds.rend(), look::has_position);
  const auto lon_of = [&](const OutSecond& s) {
    return frame.shifted && s.Lon < 0.0f ? s.Lon + 360.0 : static_cast<double>(s.Lon);
  };
  const Titles t = titles(q, f, *first_pos, *last_pos);
  const auto file = [&](const char* name) { return gnuplot_string((dir / name).string()); };
  os << "retrievedfile = " << file("retrieved.bin") << "\nonboardfile = " << file("onboard.bin")
     << "\ntruthfile = " << file("truth.bin") << "\nbandfile = " << file("bands.dat")
     << "\nerrorfile = " << file("errors.dat") << "\nhas_errors = " << (f.errors ? 1 : 0)
     << "\ntrackfile = " << file("track.bin") << "\ngreyfile = " << file("grey.bin")
     << "\nland_colour = " << gnuplot_string(colour_text(kLandColour))
     << "\nseriesout = " << gnuplot_string(pngs.partial[0].string())
     << "\nmapout = " << gnuplot_string(pngs.partial[1].string())
     << "\nflightname = " << gnuplot_string(t.name) << "\ntimespan = " << gnuplot_string(t.span)
     << "\nhas_truth = " << (f.truth.empty() ? 0 : 1) << "\ntmin = " << f.seconds.front().elapsed
     << "\ntmax = " << f.seconds.back().elapsed + 1 << "\nwest = " << number(frame.west)
     << "\neast = " << number(frame.east) << "\nsouth = " << number(frame.south)
     << "\nnorth = " << number(frame.north) << "\nmapratio = " << number(frame.ratio)
     << "\ncbmax = " << number(colour_bar_top(f)) << "\nstart_lon = " << number(lon_of(*first_pos))
     << "\nstart_lat = " << number(first_pos->Lat) << "\nend_lon = " << number(lon_of(*last_pos))
     << "\nend_lat = " << number(last_pos->Lat) << "\nstart_label = " << gnuplot_string(t.start_label)
     << "\nend_label = " << gnuplot_string(t.end_label) << "\nxtic_list = " << gnuplot_string(frame.xtics)
     << "\nytic_list = " << gnuplot_string(frame.ytics) << "\n";
  write_band_names(os);
}

}  // namespace

fs::path output_prefix(const std::string& prefix, const std::string& named_after) {
  const fs::path stem = fs::path(named_after).replace_extension();
  if (prefix.empty()) return stem;
  std::error_code ec;
  if (prefix.back() == '/' || fs::is_directory(prefix, ec)) return fs::path(prefix) / stem.filename();
  return prefix;
}

void draw_quicklook(const QuickLook& q) {
  // One gnuplot draws both plots, one script after the other (each begins with reset), reading its
  // commands from its standard input as their data come to exist. It starts first and loads its PNG
  // terminal (cairo, the fonts) while the output file is read; it draws the time series while GMT computes
  // the map's coastlines and land (when they are not in the cache), and the map last.
  const tool::ScratchDir scratch(fs::temp_directory_path(), "sfmrplot");
  const fs::path dir = scratch.path();
  tool::FedChild drawing(helper({"gnuplot", "-"}, dir));
  drawing.feed("set terminal pngcairo\n");

  const bool campaign = !q.campaign.empty();
  Flights f = read_flights(q);
  const auto frame = map_frame(f.seconds);
  if (!frame)
    tool::fail(campaign ? q.campaign + ": no valid position in any flight"
                        : q.flight + ": no valid position in the flight");
  if (!q.truth.empty()) read_truth(q.truth, f);
  if (!q.setup.empty()) estimate_with_setup(q.setup, q.flight, f);

  const fs::path series_script = tool::find_shared_file("timeseries.gp", "tools/plot/timeseries.gp");
  const fs::path map_script = tool::find_shared_file("map.gp", "tools/plot/map.gp");
  if (series_script.empty() || map_script.empty())
    tool::fail("plot scripts timeseries.gp and map.gp not found");
  Pngs pngs;
  plan_outputs(q, pngs);

  write_data_files(dir, f, *frame);
  if (!write_to(dir / "settings.gp", [&](std::ostream& os) { write_settings(os, dir, q, f, *frame, pngs); }))
    tool::fail("cannot write the plot settings in " + dir.string());
  drawing.feed("load " + gnuplot_string((dir / "settings.gp").string()) + "\n" +
               (campaign ? std::string() : "load " + gnuplot_string(series_script.string()) + "\n"));

  const LandRaster raster = land_raster(*frame);
  const Coast coast = make_coast(*frame, dir, raster, q.cache);
  const fs::path land_file = dir / "land.dat";
  const int land_levels = write_land_file(coast, *frame, raster, land_file);
  drawing.feed("coastfile = " + gnuplot_string(fs::absolute(coast.coast).string()) +
               "\nlandfile = " + gnuplot_string(fs::absolute(land_file).string()) + "\nland_levels = " +
               std::to_string(land_levels) + "\nload " + gnuplot_string(map_script.string()) + "\n");
  check(drawing.wait(), "gnuplot");
  for (int i = pngs.first; i < 2; ++i) {
    std::error_code ec;
    if (fs::file_size(pngs.partial[i], ec) == 0 || ec)
      tool::fail("gnuplot wrote no " + pngs.outputs[i].string());
  }
  for (int i = pngs.first; i < 2; ++i) pngs.publishers[i]->commit();
}

}  // namespace sfmr::plot
