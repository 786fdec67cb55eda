// sfmr2nc: converts a flight processed by sfmrbatch (its output file, with the raw data file it came from
// and optionally the setup file), or a reconnaissance mission's HDOB archive, into one CF-netCDF trajectory
// file.
//
//   sfmr2nc OUTFILE RAWFILE [--setup SETUPFILE] [-o FILE.nc] [--date YYYY-MM-DD] [--force]
//   sfmr2nc --hdob FILE... [-o FILE.nc] [--storm ID] [--force]
//
// The file is written under a temporary name in the directory of the result and renamed at the end, so a
// failure never leaves a partial file; an existing file is replaced only with --force.
#include <ctime>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "archive/nc_flight.hpp"
#include "archive/nc_hdob.hpp"
#include "common/cli.hpp"
#include "common/publish.hpp"
#include "out_file/flight_facts.hpp"
#include "out_file/out_reader.hpp"
#include "out_file/raw_match.hpp"
#include "uncertainty/setup_check.hpp"

namespace {

constexpr const char* kHelp = R"(
Converts a flight processed by sfmrbatch (or, with --hdob, a reconnaissance mission's HDOB archive) into one
netCDF-4 file that follows the CF-1.8 conventions for a single trajectory (one sample per second; per
observation line of the archive), with ACDD-1.3 global attributes.

  OUTFILE            the output file of sfmrbatch (FLIGHT.OUT)
  RAWFILE            the raw data file it was made from: the flight date comes from its first "%A" record
                     with a decodable date, the radiometer's serial number from its first "%P" record; its
                     aircraft records must share times and positions with OUTFILE's lines
  --setup SETUPFILE  the setup file of the run: channel frequencies, channel filter, default SST and the
                     calibration and SST file names (without it the frequencies are unknown); refused when
                     its channels contradict OUTFILE (a disabled channel used, an enabled one never used,
                     frequencies under which the printed solutions do not give the printed misfit SFQF)
  -o FILE.nc         the file to write (default: FLIGHT.nc beside OUTFILE)
  --date YYYY-MM-DD  the date of the first second, in place of the raw file's (needed when the raw file has
                     no decodable date)
  --force            replace FILE.nc when it exists (otherwise an existing file is an error)
  -h, --help         this text
  --version          the version

Seconds without a retrieval (BigRoll, OverLand, NoData, NoSolution, RefTempErr) hold _FillValue in the
retrieved wind speed, rain rate and quality, and so does the onboard solution before its first record; values
written as asterisks are _FillValue too. The status texts are kept both as CF flag variables and as text.
Lines whose recorded time is out of sequence with their neighbours (a damaged aircraft time) keep their
place; `time` takes the time of the sequence, `time_recorded` the printed one, and `time_quality` says
whether the sequence confirms it (time_repaired) or not (time_unverified). `time` always increases.

Every second with a retrieval also gets the standard errors of wind speed and rain rate, their correlation
and the brightness temperature residuals (wind_speed_standard_error, rain_rate_standard_error,
wind_rain_error_correlation, tb_residual); they need the channel frequencies, so without --setup they are
_FillValue throughout.

With --hdob the inputs are HDOB archives of one reconnaissance mission (files of URNT15/URPN15 messages
as archived, with their communications lines): the observations of all files are merged, each once, in time
order, one sample per observation line (every 30 s). wind_speed and rain_rate then hold the radiometer's
peak 10-s surface wind and its rain rate over the 30 s of each line; beside them the flight-level pressure
and geopotential height, the extrapolated surface pressure (d_value above the 550-hPa level), air and
dew-point temperature, the flight-level wind (speed, from-direction, 10-s peak) and the two quality flag
digits as flag variables; the mission, aircraft and storm are global attributes. A value flagged suspect or
missing holds _FillValue.

  --hdob             the positional arguments are HDOB archives (one or more); -o defaults to the first
                     one's name with .nc
  --storm ID         the storm to convert where the files hold missions of several storms: its identifier
                     (05A: storm number and basin letter of the mission) or name, either case

Faulty messages (a line of the wrong shape, a date that does not parse) are left out and named on standard
error, one line each, followed by one line counting what was left out or flagged; the sound ones are
converted. A file the reader refuses (no sound HDOB message, missions of several storms without --storm)
is an error and nothing is written.

Exit status: 0 success, 1 error (one line on standard error, no file left behind), 2 usage error.
)";

struct Options {
  std::string out_file, raw_file, setup_file, nc_file, date;
  bool force = false;
  std::vector<std::string> hdob_files;  // --hdob: the archives to convert
  std::string storm;
};

constexpr sfmr::tool::ToolInfo kTool{
    .name = "sfmr2nc",
    .usage =
        "sfmr2nc OUTFILE RAWFILE [--setup SETUPFILE] [-o FILE.nc] [--date YYYY-MM-DD] [--force] | "
        "sfmr2nc --hdob FILE... [-o FILE.nc] [--storm ID] [--force]",
    .help = kHelp};

Options parse_arguments(const std::vector<std::string>& words) {
  const sfmr::tool::Args args(
      words, {{"--setup", true}, {"-o", true}, {"--date", true}, {"--force"}, {"--hdob"}, {"--storm", true}});
  if (args.flag("--hdob")) {
    if (args.text("--setup") || args.text("--date"))
      sfmr::tool::usage_error("--hdob takes no --setup or --date");
    Options o;
    o.hdob_files = args.positional(1, 10000, "--hdob needs at least one FILE");
    o.nc_file =
        args.text("-o", std::filesystem::path(o.hdob_files.front()).replace_extension(".nc").string());
    o.force = args.flag("--force");
    o.storm = args.text("--storm", "");
    return o;
  }
  if (args.text("--storm")) sfmr::tool::usage_error("--storm goes with --hdob");
  const auto& positional = args.positional(2, 2, "needs OUTFILE and RAWFILE");
  Options o{.out_file = positional[0],
            .raw_file = positional[1],
            .setup_file = args.text("--setup", ""),
            .nc_file = args.text("-o", ""),
            .date = args.text("--date", ""),
            .force = args.flag("--force"),
            .hdob_files = {},
            .storm = {}};
  if (o.nc_file.empty()) o.nc_file = std::filesystem::path(o.out_file).replace_extension(".nc").string();
  return o;
}

std::string utc_now() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  gmtime_r(&now, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return text;
}

// "" when the setup's channels agree with the output file (uncertainty::setup_mismatch), else the message.
std::string check_setup(const Options& o, const std::vector<sfmr::flight::OutSecond>& seconds,
                        const sfmr::archive::SetupFacts& setup, std::int32_t serial) {
  if (!setup.have_freq) return {};
  const std::string why = sfmr::uncertainty::setup_mismatch(seconds, {.freq = setup.freq, .serial = serial});
  return why.empty() ? why : o.setup_file + " is not the setup of " + o.out_file + " (" + why + ")";
}

// The conversion; an empty string or the error message.
std::string convert(const Options& o, const std::string& command_line) {
  namespace archive = sfmr::archive;
  const auto replace = sfmr::tool::replace_if(o.force);
  sfmr::tool::check_replaceable(o.nc_file, replace);

  std::int32_t date_day = -1;
  if (!o.date.empty()) {
    date_day = archive::day_of_iso_date(o.date);
    if (date_day < 0) return "--date " + o.date + ": not a date YYYY-MM-DD from 2000 to 2050";
  }
  std::vector<sfmr::flight::OutSecond> seconds;
  if (std::string e = sfmr::flight::read_out_file(o.out_file, seconds); !e.empty()) return e;
  if (seconds.empty()) return o.out_file + ": no data lines";

  archive::RawFacts raw;
  if (std::string e = archive::read_raw_facts(o.raw_file, raw); !e.empty()) return e;
  if (std::string e = sfmr::flight::raw_mismatch(o.raw_file, o.out_file, seconds); !e.empty()) return e;
  archive::FlightMetadata meta;
  meta.have_setup = !o.setup_file.empty();
  if (meta.have_setup) {
    if (std::string e = archive::read_setup_facts(o.setup_file, meta.setup); !e.empty()) return e;
    if (std::string e = check_setup(o, seconds, meta.setup, raw.serial); !e.empty()) return e;
  }
  if (date_day < 0) date_day = raw.day;
  if (date_day < 0)
    return o.raw_file +
           ": no \"%A\" record with a decodable date; give the flight date with --date YYYY-MM-DD";

  meta.flight = std::filesystem::path(o.raw_file).stem().string();
  meta.day = date_day;
  meta.serial = raw.serial;
  meta.out_file = o.out_file;
  meta.raw_file = o.raw_file;
  meta.date_created = utc_now();
  meta.history = meta.date_created + ": " + command_line;
  meta.software_version = sfmr::tool::version();

  sfmr::tool::Publisher nc(o.nc_file, replace);
  if (std::string e = archive::write_flight_nc(nc.temp_path().string(), seconds, meta); !e.empty())
    return o.nc_file + ": cannot write (" + e + ")";
  nc.commit();
  return {};
}

// The conversion of HDOB archives; an empty string or the error message. Faulty messages left out are
// named on standard error.
std::string convert_hdob(const Options& o, const std::string& command_line) {
  namespace archive = sfmr::archive;
  const auto replace = sfmr::tool::replace_if(o.force);
  sfmr::tool::check_replaceable(o.nc_file, replace);
  const sfmr::recon::HdobArchive hdob = archive::read_hdob_files(o.hdob_files, o.storm);
  for (const std::string& line : archive::hdob_report(hdob)) std::cerr << "sfmr2nc: " << line << '\n';
  archive::HdobFileMetadata meta;
  meta.files = o.hdob_files;
  meta.date_created = utc_now();
  meta.history = meta.date_created + ": " + command_line;
  meta.software_version = sfmr::tool::version();
  sfmr::tool::Publisher nc(o.nc_file, replace);
  if (std::string e = archive::write_hdob_nc(nc.temp_path().string(), hdob, meta); !e.empty())
    return o.nc_file + ": cannot write (" + e + ")";
  nc.commit();
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  return sfmr::tool::run_tool(argc, argv, kTool, [](const std::vector<std::string>& args) {
    const Options options = parse_arguments(args);
    std::string command_line = "sfmr2nc";
    for (const std::string& a : args) command_line += " " + a;
    const std::string error =
        options.hdob_files.empty() ? convert(options, command_line) : convert_hdob(options, command_line);
    if (!error.empty()) sfmr::tool::fail(error);
    return 0;
  });
}
