// sfmrsonde: dropsondes decoded into a table, and compared with the radiometer.
//
//   sfmrsonde SONDES... [--flight FLIGHT.nc...] [--storm PREFIX | --track FILE] [--month YYYY-MM]
//             [--max-distance KM] [--max-time S] [--reduction FILE] [--csv] [-o PREFIX] [--force]
//
// Reads TEMP DROP bulletin files and EOL sounding files (tools/sonde) and writes PREFIX.sondes.csv, one
// row per sonde with its release, splash, 10-m wind (method and error) and layer winds, and one row per
// skipped bulletin with the reason; each skipped bulletin is also named on standard error. With flight files
// of sfmr2nc each sonde is collocated with the radiometer at its splash point (tools/sonde/collocate.hpp),
// storm-relative with a storm track, and the matchups, their statistics and two plots are written.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "common/cli.hpp"
#include "common/input.hpp"
#include "common/publish.hpp"
#include "core/calendar.hpp"
#include "core/constants.hpp"
#include "recon/hdob.hpp"
#include "sonde/centres.hpp"
#include "sonde/date_context.hpp"
#include "sonde/matchups.hpp"
#include "sonde/sonde_files.hpp"
#include "sonde/sonde_plots.hpp"
#include "sonde/sonde_stats.hpp"
#include "sonde/sondes_table.hpp"
#include "sonde/surface_wind.hpp"
#ifdef SFMR_SONDE_FLIGHTS
#include "archive/eol_nc.hpp"
#include "archive/nc_file.hpp"
#include "archive/nc_reader.hpp"
#include "archive/sonde_nc.hpp"
#include "tracks/track_file.hpp"
#endif

namespace {

constexpr sfmr::tool::ToolInfo kTool{
    .name = "sfmrsonde",
    .usage =
        "sfmrsonde SONDES... [--flight FLIGHT.nc...] [--storm PREFIX | --track FILE] [--month YYYY-MM] "
        "[--max-distance KM] [--max-time S] [--reduction FILE] [--csv] [-o PREFIX] [--force]",
    .help = R"(Decodes dropsondes into a table: TEMP DROP bulletin files (UZNT13/UZPN13, one bulletin or many)
and EOL sounding files (.eol text, or the netCDF QC files); with flight files, compares them with the
radiometer.
  --flight FILE     a flight file of sfmr2nc or an HDOB archive (repeat for more flights): each sonde is
                    collocated with the radiometer's 10-s mean wind, rain and wind standard error at the
                    second the aircraft passed nearest to its splash point (from an HDOB archive: the
                    30-s observation's peak 10-s wind and its rain, without standard errors)
  --storm PREFIX    sfmrstorm's PREFIX.centres.csv: the nearest pass found at the same storm-relative place
  --track FILE      the same from an ATCF b-deck or f-deck or a HURDAT2 file (one storm)
  --max-distance KM a pass farther than this from the splash point is not a match (default 10 km: within
                    an eyewall's width, beyond which the two winds are no longer the same wind)
  --max-time S      only seconds within this of the splash time are searched (default 900 s: the storm
                    changes little in 15 minutes beside the comparison's other errors)
  --month YYYY-MM   the month of the TEMP DROP bulletins (the message gives only the day); without it, the
                    flights' time coverage, else a file name holding YYYYMMDDhhmm gives it
  --reduction FILE  factors reducing a layer-mean wind to 10 m: lines "MEAN_HEIGHT_M FACTOR", '#' comments
                    (default: a built-in table, see README)
  --csv             also write the statistics as PREFIX.sonde_stats.csv
  -o PREFIX         output prefix (default: the first file's name without its extension)
  --force           replace existing outputs
Writes PREFIX.sondes.csv: one row per sonde (speeds m/s, times YYYY-MM-DDTHH:MM:SSZ, an empty field where
the sonde gives nothing and a note saying why), and one row per skipped bulletin with the reason. With
--flight also PREFIX.matchups.csv and .nc, PREFIX.sonde_stats.txt, PREFIX.scatter.png and PREFIX.bias.png
(a plot that fails is reported, status 1, the other outputs kept).
Exit status: 0 success, 1 error (one line on standard error, nothing written), 2 usage error.
)"};

namespace sonde = sfmr::sonde;

std::string default_prefix(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t dot = path.find_last_of('.');
  return dot != std::string::npos && (slash == std::string::npos || dot > slash) ? path.substr(0, dot) : path;
}

// The values of every "--flight FILE" taken out of `words` (the option may be repeated).
std::vector<std::string> take_flights(std::vector<std::string>& words) {
  std::vector<std::string> flights, rest;
  for (std::size_t k = 0; k < words.size(); ++k) {
    if (words[k] == "--") {
      rest.insert(rest.end(), words.begin() + static_cast<long>(k), words.end());
      break;
    }
    if (words[k] != "--flight") {
      rest.push_back(words[k]);
      continue;
    }
    if (k + 1 >= words.size()) sfmr::tool::usage_error("--flight needs a value");
    flights.push_back(words[++k]);
  }
  words = rest;
  return flights;
}

std::string read_text(const std::string& path) {
  std::ifstream in = sfmr::tool::open_input(path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// An HDOB archive as a flight: one sample per observation (every 30 s), the radiometer's wind its peak 10-s
// wind of the 30 s and the rain rate of that peak, without standard errors. The 10-s mean at a matched
// second is then that observation's peak.
sonde::FlightSeries read_hdob_flight(const std::string& path, const std::string& text) {
  sfmr::recon::HdobArchive archive;
  try {
    archive = sfmr::recon::read_hdob(text, path);
  } catch (const std::runtime_error& e) {
    sfmr::tool::fail(e.what());
  }
  sonde::FlightSeries f;
  f.name = path;
  for (const sfmr::recon::HdobObservation& o : archive.observations) {
    f.time.push_back(o.time);
    f.lat.push_back(static_cast<float>(o.lat));
    f.lon.push_back(static_cast<float>(o.lon));
    f.wind.push_back(static_cast<float>(o.sfmr_wind_ms));
    f.rain.push_back(static_cast<float>(o.rain_rate_mmh));
  }
  for (const std::string& fault : archive.faults) std::cerr << kTool.name << ": skipped " << fault << '\n';
  return f;
}

struct Comparison {
  std::vector<sonde::FlightSeries> flights;
  sonde::CentreTrack track;
  sonde::Limits limits;
};

#ifdef SFMR_SONDE_FLIGHTS
sonde::FlightSeries read_flight(const std::string& path) {
  sfmr::archive::ArchiveFlight a;
  if (const std::string e = sfmr::archive::read_archive_flight(path, a); !e.empty())
    sfmr::tool::fail(path + ": " + e);
  if (!std::is_sorted(a.time.begin(), a.time.end())) sfmr::tool::fail(path + ": times are not in order");
  return {a.flight,          std::move(a.time), std::move(a.lat),    std::move(a.lon),
          std::move(a.wind), std::move(a.rain), std::move(a.wind_se)};
}

sonde::CentreTrack read_track(const sfmr::tool::Args& args) {
  sonde::CentreTrack track;
  if (const auto prefix = args.text("--storm")) {
    const std::string path = *prefix + ".centres.csv";
    try {
      return sonde::read_centres_csv(read_text(path));
    } catch (const sonde::SondeError& e) {
      sfmr::tool::fail(path + ": " + e.what());
    }
  }
  if (const auto path = args.text("--track")) {
    try {
      const sfmr::storm::TrackFile file = sfmr::storm::parse_track_file(read_text(*path));
      for (const sfmr::storm::TrackPoint& p : sfmr::storm::choose_storm(file, "").points)
        track.time.push_back(p.time), track.lat.push_back(p.lat), track.lon.push_back(p.lon);
    } catch (const std::runtime_error& e) {
      sfmr::tool::fail(*path + ": " + e.what());
    }
  }
  return track;
}
#endif

Comparison read_comparison(const std::vector<std::string>& flight_paths, const sfmr::tool::Args& args) {
  Comparison c;
  if (args.text("--storm") && args.text("--track")) sfmr::tool::usage_error("--storm and --track together");
  c.limits.max_km = args.real("--max-distance", sonde::kDefaultMaxDistanceKm, sfmr::tool::kPositive);
  c.limits.max_s = args.real("--max-time", sonde::kDefaultMaxTimeS, sfmr::tool::kPositive);
  if (flight_paths.empty()) {
    if (args.text("--storm") || args.text("--track")) sfmr::tool::usage_error("a storm track needs --flight");
    return c;
  }
  for (const std::string& path : flight_paths) {
    const std::string text = read_text(path);
    if (!sonde::looks_like_netcdf(text)) {
      c.flights.push_back(read_hdob_flight(path, text));
      continue;
    }
#ifdef SFMR_SONDE_FLIGHTS
    c.flights.push_back(read_flight(path));
#else
    sfmr::tool::fail(path + ": a flight file of sfmr2nc needs the netCDF library, which this build lacks");
#endif
  }
#ifdef SFMR_SONDE_FLIGHTS
  c.track = read_track(args);
#endif
  return c;
}

// The month of the bulletins: --month, else the date of the flights' last second (its day known, so that a
// bulletin of a day after it belongs to the month before: a flight over the end of a month).
std::optional<sonde::DateContext> bulletin_month(const sfmr::tool::Args& args, const Comparison& c) {
  if (const auto m = args.text("--month")) {
    const auto month = sonde::parse_month(*m);
    if (!month) sfmr::tool::usage_error("--month '" + *m + "' is not YYYY-MM");
    return month;
  }
  double last = -INFINITY;
  for (const sonde::FlightSeries& f : c.flights)
    if (!f.time.empty()) last = std::max(last, f.time.back());
  if (!std::isfinite(last)) return std::nullopt;
  int y = 0, m = 0, d = 0;
  sfmr::civil_from_days(static_cast<long>(std::floor(last / sfmr::kSecondsPerDay)), y, m, d);
  return sonde::DateContext{y, m, d};
}

// Fails unless some sonde splashed within the time limit of a flight's seconds.
void check_overlap(const sonde::ReadResult& read, const Comparison& c) {
  double lo = INFINITY, hi = -INFINITY, slo = INFINITY, shi = -INFINITY;
  for (const sonde::FlightSeries& f : c.flights)
    if (!f.time.empty()) lo = std::min(lo, f.time.front()), hi = std::max(hi, f.time.back());
  for (const sonde::Sonde& s : read.sondes) {
    if (!std::isfinite(s.splash.time)) continue;
    slo = std::min(slo, s.splash.time), shi = std::max(shi, s.splash.time);
    if (s.splash.time >= lo - c.limits.max_s && s.splash.time <= hi + c.limits.max_s) return;
  }
  if (!std::isfinite(slo)) sfmr::tool::fail("no sonde with a splash time to compare with the flights");
  sfmr::tool::fail("the sondes (" + sonde::iso_time(slo) + " to " + sonde::iso_time(shi) +
                   ") and the flights (" + sonde::iso_time(lo) + " to " + sonde::iso_time(hi) +
                   ") do not overlap");
}

std::vector<std::string> outputs(const std::string& prefix, bool compare, bool csv) {
  std::vector<std::string> out = {prefix + ".sondes.csv"};
  if (compare)
    for (const char* ext : {".matchups.csv", ".matchups.nc", ".sonde_stats.txt", ".scatter.png", ".bias.png"})
      out.push_back(prefix + ext);
  if (compare && csv) out.push_back(prefix + ".sonde_stats.csv");
  return out;
}

// The comparison's outputs; returns the exit status (1 when the plots fail, the rest written).
int write_comparison(const std::string& prefix, const sonde::ReadResult& read,
                     const sonde::ReductionTable& table, const Comparison& c, bool csv, bool force,
                     [[maybe_unused]] const std::string& history) {
  const sfmr::tool::Replace replace = sfmr::tool::replace_if(force);
  const std::vector<sonde::Matchup> matchups = sonde::collocate_all(read, c.flights, c.track, c.limits);
  [[maybe_unused]] const sonde::Table columns = sonde::matchups_columns(read, table, matchups);
  const std::vector<sonde::Pair> pairs = sonde::matched_pairs(read, table, matchups);
  const std::vector<sonde::BinStats> stats = sonde::sonde_statistics(pairs);
#ifdef SFMR_SONDE_FLIGHTS
  sfmr::tool::Publisher nc(prefix + ".matchups.nc", replace);
  try {
    sfmr::archive::write_matchups_nc(nc.temp_path().string(), columns, history);
  } catch (const sfmr::nc::Error& e) {
    sfmr::tool::fail(prefix + ".matchups.nc: " + e.what());
  }
  sfmr::tool::publish_text(prefix + ".matchups.csv", sonde::table_csv(columns), replace);
  nc.commit();
#endif
  sfmr::tool::publish_text(prefix + ".sonde_stats.txt", sonde::statistics_text(stats), replace);
  if (csv) sfmr::tool::publish_text(prefix + ".sonde_stats.csv", sonde::statistics_csv(stats), replace);
  if (const std::string e = sonde::draw_plots(prefix, pairs, stats, force); !e.empty()) {
    std::cerr << kTool.name << ": " << e << " (the tables are written)\n";
    return 1;
  }
  return 0;
}

// The netCDF file's history: the time it was made and the command line.
std::string history_line(const std::vector<std::string>& words) {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  std::string line =
      sonde::iso_time(static_cast<double>(std::chrono::duration_cast<std::chrono::seconds>(now).count())) +
      ": sfmrsonde";
  for (const std::string& w : words) line += " " + w;
  return line;
}

int decode(const std::vector<std::string>& given) {
  std::vector<std::string> words = given;
  const std::vector<std::string> flight_paths = take_flights(words);
  const sfmr::tool::Args args(words, {{"--month", true},
                                      {"--reduction", true},
                                      {"-o", true},
                                      {"--force"},
                                      {"--storm", true},
                                      {"--track", true},
                                      {"--max-distance", true},
                                      {"--max-time", true},
                                      {"--csv"}});
  if (args.positional().empty()) sfmr::tool::usage_error("no sonde file");
  const Comparison comparison = read_comparison(flight_paths, args);
  const std::optional<sonde::DateContext> month = bulletin_month(args, comparison);
  sonde::ReductionTable table = sonde::default_reduction();
  if (const auto file = args.text("--reduction")) {
    try {
      table = sonde::read_reduction_table(read_text(*file), *file);
    } catch (const sonde::SondeError& e) {
      sfmr::tool::fail(*file + ": " + e.what());
    }
  }
  const std::string prefix = args.text("-o", default_prefix(args.positional().front()));
  const bool compare = !flight_paths.empty(), force = args.flag("--force");
  for (const std::string& out : outputs(prefix, compare, args.flag("--csv")))
    sfmr::tool::check_replaceable(out, sfmr::tool::replace_if(force));
  sonde::ReadResult read;
  try {
#ifdef SFMR_SONDE_FLIGHTS
    read = sonde::read_sonde_files(args.positional(), month, sfmr::archive::read_eol_nc);
#else
    read = sonde::read_sonde_files(args.positional(), month);
#endif
  } catch (const sonde::SondeError& e) {
    sfmr::tool::fail(e.what());
  }
  if (compare) check_overlap(read, comparison);
  for (const sonde::Skipped& k : read.skipped)
    std::cerr << kTool.name << ": skipped " << k.sonde << ": " << k.reason << '\n';
  sonde::write_sondes_table(prefix, read, table, sfmr::tool::replace_if(force));
  return compare ? write_comparison(prefix, read, table, comparison, args.flag("--csv"), force,
                                    history_line(given))
                 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  return sfmr::tool::run_tool(argc, argv, kTool, decode);
}
