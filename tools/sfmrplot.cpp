// sfmrplot: quick-look plots of a processed flight, from its output file alone.
//
//   sfmrplot FLIGHT.OUT [--truth TRUTH.csv] [--setup SETUP] [-o PREFIX] [--cache DIR] [--force]
//   sfmrplot --campaign LIST [--title TITLE] -o PREFIX [--cache DIR] [--force]
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
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "common/cli.hpp"
#include "common/input.hpp"
#include "common/process.hpp"
#include "common/publish.hpp"
#include "common/share.hpp"
#include "core/text.hpp"
#include "look/error_report.hpp"
#include "look/flight_summary.hpp"
#include "look/plot_data.hpp"
#include "look/truth.hpp"
#include "out_file/out_reader.hpp"

namespace {

namespace fs = std::filesystem;
using sfmr::look::gnuplot_string;

using sfmr::tool::fail;

constexpr sfmr::tool::ToolInfo kTool{
    .name = "sfmrplot",
    .usage =
        "sfmrplot FLIGHT.OUT [--truth TRUTH.csv] [--setup SETUP] [-o PREFIX] [--cache DIR] [--force] | "
        "sfmrplot --campaign LIST [--title TITLE] -o PREFIX [--cache DIR] [--force]",
    .help =
        "Writes PREFIX.timeseries.png (wind speed, rain rate and status against UTC time) and\n"
        "PREFIX.map.png (track coloured by retrieved wind speed, with coastlines). PREFIX defaults to\n"
        "FLIGHT without its extension; --truth draws the simulator's truth over the time series;\n"
        "--setup SETUP (the run's setup file: its channel frequencies) shades one standard error\n"
        "around the retrieved wind speed and rain rate (computed as sfmr2nc computes them);\n"
        "--force replaces existing PNG files. --campaign LIST draws PREFIX.map.png alone: the tracks of\n"
        "every output file that LIST names (one a line) on one map, titled TITLE. --cache DIR keeps the\n"
        "coastlines and land of each map region in DIR and takes them from there next time.\n"};
// Nodes of the land raster under the map, along its longer side.
constexpr int kLandNodes = 600;

struct Options {
  std::string flight, truth, prefix, setup;
  std::string cache;            // --cache: directory of computed coastlines and land rasters
  std::string campaign, title;  // --campaign: a file listing output files, one a line; only the map is drawn
  bool force = false;
};

// The output files of a campaign's flights, read one after the other into one sequence of seconds.
void read_campaign(const std::string& list, std::vector<sfmr::flight::OutSecond>& seconds, int& flights) {
  std::ifstream in(list);
  if (!in) fail(list + ": cannot open");
  for (std::string path; std::getline(in, path);) {
    if (path.empty()) continue;
    std::vector<sfmr::flight::OutSecond> one;
    if (std::string e = sfmr::flight::read_out_file(path, one); !e.empty()) fail(e);
    seconds.insert(seconds.end(), one.begin(), one.end());
    ++flights;
  }
}

// Writes `text` to `path`; false when it cannot.
template <typename Writer>
bool write_to(const fs::path& path, Writer&& writer) {
  std::ofstream out(path, std::ios::binary);
  writer(out);
  out.close();
  return static_cast<bool>(out);
}

std::string number(double v) {
  return sfmr::format_trimmed(v, 4);
}

// A helper program run in `dir` (standard output into `out`, when given); a failure names the program and
// the first line of its error output.
sfmr::tool::ChildCommand helper(const std::vector<std::string>& argv, const fs::path& dir,
                                const fs::path& out = {}) {
  return {.argv = argv,
          .dir = dir,
          .out = out.empty() ? sfmr::tool::Sink::kDiscard : sfmr::tool::Sink::kFile,
          .out_file = out};
}

void check(const sfmr::tool::ChildResult& r, const std::string& program) {
  if (r.shell_status() != 0) fail(r.failure_line(program, r.err.substr(0, r.err.find('\n'))));
}

// Colour of land under the map (red, green, blue).
constexpr unsigned char kLandColour[3] = {0xf0, 0xe9, 0xd6};

// "#rrggbb" of a colour's red, green and blue bytes.
std::string colour_text(const unsigned char (&rgb)[3]) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text = "#";
  for (const unsigned char c : rgb) text += {kHex[c >> 4], kHex[c & 15]};
  return text;
}

// GMT's native byte grid (grdlandmask -G...=bb): a header of 892 bytes beginning with the numbers of
// columns and rows (32-bit integers), then one byte a node, the northern row first. Returns the nodes with
// the southern row first, or nothing when the file is not such a grid of nx x ny nodes.
std::optional<std::vector<unsigned char>> read_byte_grid(const fs::path& path, int nx, int ny) {
  constexpr std::size_t kHeader = 892;
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::size_t nodes = static_cast<std::size_t>(nx) * ny;
  std::int32_t size[2] = {0, 0};
  if (bytes.size() != kHeader + nodes) return std::nullopt;
  std::memcpy(size, bytes.data(), sizeof size);
  if (size[0] != nx || size[1] != ny) return std::nullopt;
  std::vector<unsigned char> south_first(nodes);
  for (int j = 0; j < ny; ++j)
    std::memcpy(south_first.data() + static_cast<std::size_t>(j) * nx,
                bytes.data() + kHeader + static_cast<std::size_t>(ny - 1 - j) * nx,
                static_cast<std::size_t>(nx));
  return south_first;
}

// The coastline and land mask files of a map.
struct Coast {
  fs::path coast, land;
};

// Coastlines and a land mask of the map's region from GMT's low-resolution GSHHG shorelines: the
// coastlines from `gmt coast` and the mask (one byte a node, 1 land, 0 water, the southern row first) from
// `gmt grdlandmask`, the two run side by side. With a cache directory they are computed once per region and
// raster size and taken from the cache afterwards: the files are named after the region and the raster
// and published there whole (temporary name, rename), so plots running side by side may share the cache.
Coast make_coast(const sfmr::look::MapFrame& f, const fs::path& dir, int nx, int ny, const fs::path& cache) {
  const std::string bounds =
      number(f.west) + "/" + number(f.east) + "/" + number(f.south) + "/" + number(f.north);
  const std::string raster = std::to_string(nx) + "+n/" + std::to_string(ny) + "+n";
  std::string key = bounds + "_" + std::to_string(nx) + "x" + std::to_string(ny);
  std::replace(key.begin(), key.end(), '/', '_');
  const Coast cached{cache / ("coast_" + key + ".dat"), cache / ("land_" + key + ".mask")};
  std::error_code ec;
  if (!cache.empty() && fs::is_regular_file(cached.coast, ec) && fs::is_regular_file(cached.land, ec))
    return cached;
  const std::string region = "-R" + bounds, quiet = "--GMT_HISTORY=false";
  const std::vector<sfmr::tool::ChildResult> results = sfmr::tool::run_children(
      {helper({"gmt", "coast", region, "-Dl", "-W", "-M", quiet}, dir, dir / "coast.gmt"),
       helper({"gmt", "grdlandmask", region, "-I" + raster, "-Dl", "-N0/1", "-Gland.grd=bb", quiet}, dir,
              dir / "landmask.log")});
  check(results[0], "gmt");
  check(results[1], "gmt");
  std::ifstream gmt(dir / "coast.gmt");
  if (!write_to(dir / "coast.dat",
                [&](std::ostream& os) { sfmr::look::convert_segments(gmt, os, f.shifted); }))
    fail("cannot write the coastlines in " + dir.string());
  const auto mask = read_byte_grid(dir / "land.grd", nx, ny);
  if (!mask) fail("gmt grdlandmask wrote no land mask of " + std::to_string(nx) + " x " + std::to_string(ny));
  if (!write_to(dir / "land.mask", [&](std::ostream& os) {
        os.write(reinterpret_cast<const char*>(mask->data()), static_cast<std::streamsize>(mask->size()));
      }))
    fail("cannot write the land mask in " + dir.string());
  const Coast made{dir / "coast.dat", dir / "land.mask"};
  if (cache.empty()) return made;
  fs::create_directories(cache, ec);
  const std::string tag = ".tmp" + std::to_string(::getpid());
  for (const auto& [from, to] : {std::pair{made.coast, cached.coast}, std::pair{made.land, cached.land}}) {
    fs::copy_file(from, to.string() + tag, fs::copy_options::overwrite_existing, ec);
    if (!ec) fs::rename(to.string() + tag, to, ec);
    if (ec) {
      fs::remove(to.string() + tag, ec);
      break;  // a cache that cannot be written only costs time
    }
  }
  return made;
}

int plot(const Options& o) {
  // One gnuplot draws both plots, one script after the other (each begins with reset), reading its
  // commands from its standard input as their data come to exist. It starts first and loads its PNG
  // terminal (cairo, the fonts) while the output file is read; it draws the time series while GMT computes
  // the map's coastlines and land (when they are not in the cache), and the map last.
  const sfmr::tool::ScratchDir scratch(fs::temp_directory_path(), "sfmrplot");
  const fs::path dir = scratch.path();
  sfmr::tool::FedChild drawing(helper({"gnuplot", "-"}, dir));
  drawing.feed("set terminal pngcairo\n");

  std::vector<sfmr::flight::OutSecond> seconds;
  const bool campaign = !o.campaign.empty();
  int flights = 0;
  if (campaign) {
    read_campaign(o.campaign, seconds, flights);
  } else if (const std::string read_error = sfmr::flight::read_out_file(o.flight, seconds);
             !read_error.empty()) {
    fail(read_error);
  }
  if (seconds.empty()) fail((campaign ? o.campaign : o.flight) + ": no data lines");
  const auto frame = sfmr::look::map_frame(seconds);
  if (!frame) fail(o.flight + ": no valid position in the flight");

  std::map<int, sfmr::look::TruthSecond> truth;
  if (!o.truth.empty()) {
    std::ifstream in = sfmr::tool::open_input(o.truth);
    truth = sfmr::look::read_truth(in);
  }

  sfmr::uncertainty::FlightInputs inputs;
  if (!o.setup.empty()) {
    if (const std::string e = sfmr::uncertainty::read_inputs(o.setup, inputs); !e.empty()) fail(e);
  }

  const fs::path series_script = sfmr::tool::find_shared_file("timeseries.gp", "tools/plot/timeseries.gp");
  const fs::path map_script = sfmr::tool::find_shared_file("map.gp", "tools/plot/map.gp");
  if (series_script.empty() || map_script.empty()) fail("plot scripts timeseries.gp and map.gp not found");

  const fs::path prefix = o.prefix.empty() ? fs::path(o.flight).replace_extension() : fs::path(o.prefix);
  const auto replace = sfmr::tool::replace_if(o.force);
  const fs::path outputs[2] = {prefix.string() + ".timeseries.png", prefix.string() + ".map.png"};
  const int first_plot = campaign ? 1 : 0;  // a campaign has the map alone
  for (int i = first_plot; i < 2; ++i) sfmr::tool::check_replaceable(outputs[i], replace);
  // gnuplot draws into the temporaries; they go when anything fails.
  std::optional<sfmr::tool::Publisher> pngs[2];
  fs::path partial[2];
  for (int i = first_plot; i < 2; ++i) {
    pngs[i].emplace(outputs[i], replace);
    // Absolute: gnuplot runs in the scratch directory.
    partial[i] = fs::absolute(pngs[i]->temp_path());
  }

  const bool have_truth = !o.truth.empty();
  const auto& f = *frame;
  // The land raster's nodes follow the page: kLandNodes along the longer side.
  const int nx = f.ratio <= 1.0 ? kLandNodes : static_cast<int>(kLandNodes / f.ratio);
  const int ny = f.ratio <= 1.0 ? static_cast<int>(kLandNodes * f.ratio) : kLandNodes;

  const bool written =
      write_to(dir / "retrieved.bin",
               [&](std::ostream& os) {
                 std::ofstream onboard(dir / "onboard.bin", std::ios::binary);
                 std::ofstream truth_file;
                 if (have_truth) truth_file.open(dir / "truth.bin", std::ios::binary);
                 sfmr::look::write_series({os, onboard, have_truth ? &truth_file : nullptr}, seconds, truth);
                 onboard.close();
                 truth_file.close();
                 if (!onboard || (have_truth && !truth_file)) os.setstate(std::ios::failbit);
               }) &&
      (o.setup.empty() || write_to(dir / "errors.dat",
                                   [&](std::ostream& os) {
                                     sfmr::uncertainty::write_error_band(
                                         os, seconds, sfmr::uncertainty::estimate_errors(seconds, inputs));
                                   })) &&
      write_to(dir / "bands.dat", [&](std::ostream& os) { sfmr::look::write_bands(os, seconds); }) &&
      write_to(dir / "track.bin", [&](std::ostream& os) {
        std::ofstream grey(dir / "grey.bin", std::ios::binary);
        sfmr::look::write_track(os, grey, seconds, f);
        grey.close();
        if (!grey) os.setstate(std::ios::failbit);
      });
  if (!written) fail("cannot write the plot data in " + dir.string());
  const sfmr::look::FlightSummary summary = sfmr::look::summarise_flight(seconds);
  const std::string name = campaign ? o.title : fs::path(o.flight).filename().string();
  const std::string span = campaign ? std::to_string(flights) + " flights"
                                    : sfmr::look::clock_label(summary.first) + " to " +
                                          sfmr::look::clock_label(summary.last) + " UTC";
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
    os << "retrievedfile = " << gnuplot_string((dir / "retrieved.bin").string()) << "\n"
       << "onboardfile = " << gnuplot_string((dir / "onboard.bin").string()) << "\n"
       << "truthfile = " << gnuplot_string((dir / "truth.bin").string()) << "\n"
       << "bandfile = " << gnuplot_string((dir / "bands.dat").string()) << "\n"
       << "errorfile = " << gnuplot_string((dir / "errors.dat").string()) << "\n"
       << "has_errors = " << (o.setup.empty() ? 0 : 1) << "\n"
       << "trackfile = " << gnuplot_string((dir / "track.bin").string()) << "\n"
       << "greyfile = " << gnuplot_string((dir / "grey.bin").string()) << "\n"
       << "land_colour = " << gnuplot_string(colour_text(kLandColour)) << "\n"
       << "seriesout = " << gnuplot_string(partial[0].string()) << "\n"
       << "mapout = " << gnuplot_string(partial[1].string()) << "\n"
       << "flightname = " << gnuplot_string(name) << "\n"
       << "timespan = " << gnuplot_string(span) << "\n"
       << "has_truth = " << (have_truth ? 1 : 0) << "\n"
       << "tmin = " << first.elapsed << "\ntmax = " << last.elapsed + 1 << "\n"
       << "west = " << number(f.west) << "\neast = " << number(f.east) << "\n"
       << "south = " << number(f.south) << "\nnorth = " << number(f.north) << "\n"
       << "mapratio = " << number(f.ratio) << "\n"

       << "cbmax = " << number(cb_max) << "\n"
       << "start_lon = " << number(lon_of(*first_pos)) << "\nstart_lat = " << number(first_pos->Lat) << "\n"
       << "end_lon = " << number(lon_of(*last_pos)) << "\nend_lat = " << number(last_pos->Lat) << "\n"
       << "start_label = "
       << gnuplot_string((campaign ? "first flight's start " : "start ") +
                         sfmr::look::clock_label(first_pos->elapsed))
       << "\n"
       << "end_label = "
       << gnuplot_string((campaign ? "last flight's end " : "end ") +
                         sfmr::look::clock_label(last_pos->elapsed))
       << "\n"
       << "xtic_list = " << gnuplot_string(f.xtics) << "\nytic_list = " << gnuplot_string(f.ytics) << "\n";
    sfmr::look::write_band_names(os);
  });
  if (!settings_ok) fail("cannot write the plot settings in " + dir.string());

  drawing.feed("load " + gnuplot_string((dir / "settings.gp").string()) + "\n" +
               (campaign ? std::string() : "load " + gnuplot_string(series_script.string()) + "\n"));

  const Coast coast = make_coast(f, dir, nx, ny, o.cache);
  // The map fills the outlines of the raster's land cells: gnuplot draws a few thousand corners of
  // polygons in a fraction of the time it takes to draw an image of a few hundred thousand nodes.
  std::vector<unsigned char> land_mask(static_cast<std::size_t>(nx) * ny);
  {
    std::ifstream in(coast.land, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(land_mask.data()), static_cast<std::streamsize>(land_mask.size())))
      fail(coast.land.string() + ": land mask cut short");
  }
  const double land_dx = (f.east - f.west) / (nx - 1), land_dy = (f.north - f.south) / (ny - 1);
  int land_levels = 0;
  const fs::path land_file = dir / "land.dat";
  if (!write_to(land_file, [&](std::ostream& os) {
        land_levels = sfmr::look::write_land_outlines(
            os, land_mask,
            {.nx = nx, .ny = ny, .west = f.west, .south = f.south, .dx = land_dx, .dy = land_dy});
      }))
    fail("cannot write the land outlines in " + dir.string());
  drawing.feed("coastfile = " + gnuplot_string(fs::absolute(coast.coast).string()) +
               "\nlandfile = " + gnuplot_string(fs::absolute(land_file).string()) + "\nland_levels = " +
               std::to_string(land_levels) + "\nload " + gnuplot_string(map_script.string()) + "\n");
  check(drawing.wait(), "gnuplot");
  for (int i = first_plot; i < 2; ++i) {
    std::error_code ec;
    if (fs::file_size(partial[i], ec) == 0 || ec) fail("gnuplot wrote no " + outputs[i].string());
  }
  for (int i = first_plot; i < 2; ++i) pngs[i]->commit();
  return 0;
}

int plot_command(const std::vector<std::string>& words) {
  const sfmr::tool::Args args(words, {{"--truth", true},
                                      {"-o", true},
                                      {"--setup", true},
                                      {"--force"},
                                      {"--campaign", true},
                                      {"--title", true},
                                      {"--cache", true}});
  if (const auto list = args.text("--campaign")) {
    if (!args.positional().empty() || args.text("--truth") || args.text("--setup") || !args.text("-o"))
      sfmr::tool::usage_error("--campaign takes -o PREFIX and no flight file, truth or setup");
    return plot({.flight = "",
                 .truth = "",
                 .prefix = args.text("-o", ""),
                 .setup = "",
                 .cache = args.text("--cache", ""),
                 .campaign = *list,
                 .title = args.text("--title", "campaign"),
                 .force = args.flag("--force")});
  }
  if (args.positional().empty()) sfmr::tool::usage_error("no flight file");
  return plot({.flight = args.positional(1, 1, "more than one flight file")[0],
               .truth = args.text("--truth", ""),
               .prefix = args.text("-o", ""),
               .setup = args.text("--setup", ""),
               .cache = args.text("--cache", ""),
               .campaign = "",
               .title = "",
               .force = args.flag("--force")});
}

}  // namespace

int main(int argc, char** argv) {
  return sfmr::tool::run_tool(argc, argv, kTool, plot_command);
}
