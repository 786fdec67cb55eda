// One dropsonde as the readers deliver it, whatever the file it came from (a TEMP DROP bulletin or an EOL
// sounding file): who dropped it, where and when it was released and where it hit the sea, its levels, and
// the summary winds its message states. Values a source does not give are NaN (numbers) or empty (texts).
// Speeds are m/s, directions the direction the wind blows from (deg clockwise from north), heights m above
// the sea, pressures hPa, temperatures deg C, times seconds since 1970-01-01 00:00 UTC.
#pragma once

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

namespace sfmr::sonde {

inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A file that cannot be read at all (nothing in it reads, a broken header, no month and year for a TEMP
// DROP): the message names the file's fault in one line.
struct SondeError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Wind {
  double from_deg = kNaN;  // direction it blows from, deg
  double speed = kNaN;     // m/s
  bool known() const { return std::isfinite(from_deg) && std::isfinite(speed); }
};

struct Point {
  double time = kNaN;  // s since 1970
  double lat = kNaN;   // deg north
  double lon = kNaN;   // deg east
};

// What a level is in the source: the surface, a standard pressure level, a significant temperature level, a
// wind level (TEMP DROP `21212`), or one sample of a sounding file.
enum class LevelKind { kSurface, kStandard, kSignificant, kWind, kSample };

struct Level {
  LevelKind kind = LevelKind::kSample;
  double pressure = kNaN;             // hPa
  double height = kNaN;               // m above the sea (stated, or from the hypsometric equation)
  double time = kNaN;                 // s after the release (sounding files only)
  double temperature = kNaN;          // deg C
  double dewpoint_depression = kNaN;  // deg C
  Wind wind;
};

// A layer-mean wind with the mean height of its layer, m.
struct LayerWind {
  Wind wind;
  double mean_height = kNaN;
};

struct Sonde {
  std::string id;        // aircraft, mission and observation ("AF302-0715A-OB03"), or the file's sonde id
  std::string heading;   // the bulletin's WMO heading, or the file name
  std::string aircraft;  // "AF302", "NOAA43"
  std::string mission;   // "0715A"
  std::string storm;     // storm name or designation, as written
  int observation = 0;   // observation number of the mission (OB nn), 0 when not given
  std::string where;     // where it fell, from the remarks ("EYEWALL 045"), as written
  Point release, splash;
  double release_altitude = kNaN;  // m (sounding files)
  std::vector<Level> levels;       // in the order the source gives them
  // The summary winds the message states; unknown when it states none.
  Wind surface_wind;                  // the surface wind of the message (TEMP DROP: at 10 m)
  double surface_wind_height = kNaN;  // m
  LayerWind mbl;                      // mean wind of the lowest 500 m (MBL WND)
  LayerWind wl150;                    // mean wind of the 150 m above the lowest wind (WL150)
  double last_wind_height = kNaN;     // LST WND, m
};

// A bulletin that was skipped: the sonde named by its heading and observation number, and why.
struct Skipped {
  std::string sonde;
  std::string reason;
};

struct ReadResult {
  std::vector<Sonde> sondes;
  std::vector<Skipped> skipped;
};

}  // namespace sfmr::sonde
