// sfmrplot: quick-look plots of a processed flight, from its output file alone.
//
//   sfmrplot FLIGHT.OUT [--truth TRUTH.csv] [--setup SETUP] [-o PREFIX] [--force]
//
// Writes PREFIX.timeseries.png (retrieved and onboard wind speed, rain rate and a band of each second's
// status against UTC time) and PREFIX.map.png (the track coloured by retrieved wind speed over the
// coastlines); PREFIX defaults to the output file's path without its extension. The simulator's truth file,
// when given, is drawn over the time series; with the run's setup file (--setup, for its frequencies) a band
// of one standard error is shaded around the retrieved wind speed and rain rate. The plots are drawn by
// gnuplot (tools/plot/*.gp, installed in share/sfmrbatch), the coastlines and the land come from GMT's GSHHG
// shorelines. Existing PNG files are kept unless --force is given; both files are written under temporary
// names and renamed at the end.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "core/text.hpp"
#include "flight/out_reader.hpp"
#include "look/flight_summary.hpp"
#include "look/plot_data.hpp"
#include "look/tool_support.hpp"
#include "look/truth.hpp"
#include "uncertainty/error_report.hpp"

namespace {

namespace fs = std::filesystem;
using sfmr::look::gnuplot_string;

constexpr const char* kUsage =
    "usage: sfmrplot FLIGHT.OUT [--truth TRUTH.csv] [--setup SETUP] [-o PREFIX] [--force]";
// Nodes of the land raster under the map, along its longer side.
constexpr int kLandNodes = 600;

int fail(const std::string& what) {
  std::cerr << "sfmrplot: " << what << '\n';
  return 1;
}

int usage_error(const std::string& what) {
  std::cerr << "sfmrplot: " << what << '\n' << kUsage << '\n';
  return 2;
}

struct Options {
  std::string flight, truth, prefix, setup;
  bool force = false;
};

// Writes `text` to `path`; false when it cannot.
template <typename Writer>
bool write_to(const fs::path& path, Writer&& writer) {
  std::ofstream out(path, std::ios::binary);
  writer(out);
  out.close();
  return static_cast<bool>(out);
}

std::string number(double v) {
  const std::string text = sfmr::format_F(v, 14, 4);
  return text.substr(text.find_first_not_of(' '));
}

// A helper program's failure as one line naming the program and the first line of its error output.
bool check_status(int status, const std::string& program, const fs::path& err, std::string& error) {
  if (status == 0) return true;
  const std::string detail = sfmr::look::first_line_of(err);
  error = program + (status == 127 || status < 0 ? " could not be run (is it installed?)"
                                                 : " failed" + (detail.empty() ? "" : ": " + detail));
  return false;
}

// Runs a helper program in `dir`, standard output into `out`.
bool run(const std::vector<std::string>& argv, const fs::path& dir, const fs::path& out, std::string& error) {
  const fs::path err = dir / (argv[0] + ".err");
  return check_status(sfmr::look::run_program(argv, dir, out, err), argv[0], err, error);
}

// Coastlines and a land raster of the map's region from GMT's low-resolution GSHHG shorelines.
bool make_coast(const sfmr::look::MapFrame& f, const fs::path& dir, int nx, int ny, std::string& error) {
  const std::string region =
      "-R" + number(f.west) + "/" + number(f.east) + "/" + number(f.south) + "/" + number(f.north);
  const std::string quiet = "--GMT_HISTORY=false";
  if (!run({"gmt", "coast", region, "-Dl", "-W", "-M", quiet}, dir, dir / "coast.gmt", error)) return false;
  if (!run({"gmt", "grdlandmask", region, "-I" + std::to_string(nx) + "+n/" + std::to_string(ny) + "+n",
            "-Dl", "-N0/1", "-Gland.nc", quiet},
           dir, dir / "landmask.log", error))
    return false;
  if (!run({"gmt", "grd2xyz", "land.nc", "-ZBLf", quiet}, dir, dir / "land.bin", error)) return false;
  std::ifstream gmt(dir / "coast.gmt");
  return write_to(dir / "coast.dat", [&](std::ostream& os) { sfmr::look::convert_segments(gmt, os); });
}

int plot(const Options& o) {
  std::vector<sfmr::flight::OutSecond> seconds;
  const std::string read_error = sfmr::flight::read_out_file(o.flight, seconds);
  if (!read_error.empty()) return fail(read_error);
  if (seconds.empty()) return fail(o.flight + ": no data lines");
  const auto frame = sfmr::look::map_frame(seconds);
  if (!frame) return fail(o.flight + ": no valid position in the flight");

  std::map<int, sfmr::look::TruthSecond> truth;
  if (!o.truth.empty()) {
    std::ifstream in(o.truth, std::ios::binary);
    if (!in) return fail(o.truth + ": cannot open");
    truth = sfmr::look::read_truth(in);
  }

  sfmr::uncertainty::FlightInputs inputs;
  if (!o.setup.empty()) {
    if (const std::string e = sfmr::uncertainty::read_inputs(o.setup, inputs); !e.empty()) return fail(e);
  }

  const fs::path series_script = sfmr::look::find_shared_file("timeseries.gp", "tools/plot/timeseries.gp");
  const fs::path map_script = sfmr::look::find_shared_file("map.gp", "tools/plot/map.gp");
  if (series_script.empty() || map_script.empty())
    return fail("plot scripts timeseries.gp and map.gp not found");

  const fs::path prefix = o.prefix.empty() ? fs::path(o.flight).replace_extension() : fs::path(o.prefix);
  const fs::path outputs[2] = {prefix.string() + ".timeseries.png", prefix.string() + ".map.png"};
  fs::path partial[2];
  for (int i = 0; i < 2; ++i) {
    std::error_code ec;
    if (!o.force && fs::exists(outputs[i], ec))
      return fail(outputs[i].string() + " exists (--force replaces it)");
    // Absolute: gnuplot runs in the scratch directory.
    partial[i] = fs::absolute(outputs[i]).parent_path() /
                 ("." + outputs[i].filename().string() + ".partial-" + std::to_string(getpid()));
  }
  // The partial files go when anything fails; after the renames there is nothing left to remove.
  struct Cleanup {
    fs::path* files;
    ~Cleanup() {
      std::error_code ec;
      for (int i = 0; i < 2; ++i) fs::remove(files[i], ec);
    }
  } cleanup{partial};

  sfmr::look::ScratchDir scratch(fs::temp_directory_path(), "sfmrplot");
  if (!scratch.ok()) return fail("cannot make a scratch directory in " + fs::temp_directory_path().string());
  const fs::path dir = scratch.path();
  const bool have_truth = !o.truth.empty();
  const auto& f = *frame;
  // The land raster's nodes follow the page: kLandNodes along the longer side.
  const int nx = f.ratio <= 1.0 ? kLandNodes : static_cast<int>(kLandNodes / f.ratio);
  const int ny = f.ratio <= 1.0 ? static_cast<int>(kLandNodes * f.ratio) : kLandNodes;

  std::string error;
  const bool written =
      write_to(
          dir / "series.dat",
          [&](std::ostream& os) { sfmr::look::write_series(os, seconds, have_truth ? &truth : nullptr); }) &&
      write_to(dir / "errors.dat",
               [&](std::ostream& os) {
                 sfmr::uncertainty::write_error_band(os, seconds,
                                                     sfmr::uncertainty::estimate_errors(seconds, inputs));
               }) &&
      write_to(dir / "bands.dat", [&](std::ostream& os) { sfmr::look::write_bands(os, seconds); }) &&
      write_to(dir / "track.dat", [&](std::ostream& os) { sfmr::look::write_track(os, seconds, f); });
  if (!written) return fail("cannot write the plot data in " + dir.string());
  if (!make_coast(f, dir, nx, ny, error)) return fail(error);

  const sfmr::look::FlightSummary summary = sfmr::look::summarise_flight(seconds);
  const std::string name = fs::path(o.flight).filename().string();
  const std::string span =
      sfmr::look::clock_label(summary.first) + " to " + sfmr::look::clock_label(summary.last) + " UTC";
  double ws_max = summary.max_ws ? summary.max_ws->value : 0.0;
  for (const auto& [sec, t] : truth) ws_max = std::max(ws_max, t.ws);
  const double cb_max = std::max(10.0, std::ceil(ws_max / 10.0) * 10.0);
  const auto& first = seconds.front();
  const auto& last = seconds.back();
  const auto first_pos = std::find_if(seconds.begin(), seconds.end(), sfmr::look::has_position);
  const auto last_pos = std::find_if(seconds.rbegin(), seconds.rend(), sfmr::look::has_position);
  const auto lon_of = [&](const sfmr::flight::OutSecond& s) {
    return f.shifted && s.Lon < 0.0f ? s.Lon + 360.0 : static_cast<double>(s.Lon);
  };

  const bool settings_ok = write_to(dir / "settings.gp", [&](std::ostream& os) {
    os << "seriesfile = " << gnuplot_string((dir / "series.dat").string()) << "\n"
       << "bandfile = " << gnuplot_string((dir / "bands.dat").string()) << "\n"
       << "errorfile = " << gnuplot_string((dir / "errors.dat").string()) << "\n"
       << "has_errors = " << (o.setup.empty() ? 0 : 1) << "\n"
       << "trackfile = " << gnuplot_string((dir / "track.dat").string()) << "\n"
       << "coastfile = " << gnuplot_string((dir / "coast.dat").string()) << "\n"
       << "landfile = " << gnuplot_string((dir / "land.bin").string()) << "\n"
       << "seriesout = " << gnuplot_string(partial[0].string()) << "\n"
       << "mapout = " << gnuplot_string(partial[1].string()) << "\n"
       << "flightname = " << gnuplot_string(name) << "\n"
       << "timespan = " << gnuplot_string(span) << "\n"
       << "has_truth = " << (have_truth ? 1 : 0) << "\n"
       << "tmin = " << first.elapsed << "\ntmax = " << last.elapsed + 1 << "\n"
       << "west = " << number(f.west) << "\neast = " << number(f.east) << "\n"
       << "south = " << number(f.south) << "\nnorth = " << number(f.north) << "\n"
       << "mapratio = " << number(f.ratio) << "\n"
       << "land_nx = " << nx << "\nland_ny = " << ny << "\n"
       << "land_dx = " << number((f.east - f.west) / (nx - 1)) << "\n"
       << "land_dy = " << number((f.north - f.south) / (ny - 1)) << "\n"
       << "cbmax = " << number(cb_max) << "\n"
       << "start_lon = " << number(lon_of(*first_pos)) << "\nstart_lat = " << number(first_pos->Lat) << "\n"
       << "end_lon = " << number(lon_of(*last_pos)) << "\nend_lat = " << number(last_pos->Lat) << "\n"
       << "start_label = " << gnuplot_string("start " + sfmr::look::clock_label(first_pos->elapsed)) << "\n"
       << "end_label = " << gnuplot_string("end " + sfmr::look::clock_label(last_pos->elapsed)) << "\n"
       << "xtic_list = " << gnuplot_string(f.xtics) << "\nytic_list = " << gnuplot_string(f.ytics) << "\n";
  });
  if (!settings_ok) return fail("cannot write the plot settings in " + dir.string());

  // The two plots are drawn side by side.
  int pids[2];
  const fs::path scripts[2] = {series_script, map_script};
  for (int i = 0; i < 2; ++i)
    pids[i] = sfmr::look::start_program({"gnuplot", (dir / "settings.gp").string(), scripts[i].string()}, dir,
                                        dir / ("gnuplot" + std::to_string(i) + ".log"),
                                        dir / ("gnuplot" + std::to_string(i) + ".err"));
  bool drawn = true;
  for (int i = 0; i < 2; ++i)
    drawn = check_status(sfmr::look::wait_program(pids[i]), "gnuplot",
                         dir / ("gnuplot" + std::to_string(i) + ".err"), error) &&
            drawn;
  if (!drawn) return fail(error);
  for (int i = 0; i < 2; ++i) {
    std::error_code ec;
    if (!fs::is_regular_file(partial[i], ec) || fs::file_size(partial[i], ec) == 0)
      return fail("gnuplot wrote no " + outputs[i].string());
  }
  for (int i = 0; i < 2; ++i) {
    std::error_code ec;
    fs::rename(partial[i], outputs[i], ec);
    if (ec)
      return fail("cannot rename " + partial[i].string() + " to " + outputs[i].string() + ": " +
                  ec.message());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  Options o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      std::cout
          << kUsage
          << "\nWrites PREFIX.timeseries.png (wind speed, rain rate and status against UTC time) and\n"
             "PREFIX.map.png (track coloured by retrieved wind speed, with coastlines). PREFIX defaults to\n"
             "FLIGHT without its extension; --truth draws the simulator's truth over the time series;\n"
             "--setup SETUP (the run's setup file: its channel frequencies) shades one standard error\n"
             "around the retrieved wind speed and rain rate (computed as sfmr2nc computes them);\n"
             "--force replaces existing PNG files.\n";
      return 0;
    }
    if (a == "--version") {
      std::cout << "sfmrplot (sfmrbatch) " << SFMR_VERSION << '\n';
      return 0;
    }
    if (a == "--force") {
      o.force = true;
    } else if (a == "--truth" || a == "-o" || a == "--setup") {
      if (i + 1 >= args.size()) return usage_error(a + " needs a value");
      (a == "-o" ? o.prefix : a == "--setup" ? o.setup : o.truth) = args[++i];
    } else if (!a.empty() && a[0] == '-') {
      return usage_error("unknown option " + a);
    } else if (o.flight.empty()) {
      o.flight = a;
    } else {
      return usage_error("more than one flight file");
    }
  }
  if (o.flight.empty()) return usage_error("no flight file");
  return plot(o);
}
