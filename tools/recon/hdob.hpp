// HDOB archives: the high-density observations (URNT15, URPN15) that reconnaissance aircraft transmit every
// 30 s (sometimes 60 s), read from a file of one message or hundreds, and written back.
//
// Message layout: the WMO heading, the mission line "AF304 3005A DORIAN  HDOB 51 20190902" (aircraft,
// mission identifier of mission number, storm number or WX and basin letter, storm name, HDOB, message
// number, date of the first observation), then up to 20 observation lines of 13 fields:
//   hhmmss LLLLH NNNNNH PPPP GGGGG XXXX sTTT sddd wwwSSS MMM KKK ppp FF
// time UTC; position in degrees and whole minutes; static pressure in tenths of hPa with the thousands digit
// dropped; geopotential height, m; extrapolated surface pressure coded as the static pressure (at or below
// the 550-hPa flight level; above it a D-value, whose coding is not read); air temperature and dew point in
// tenths of deg C; the 30-s flight-level wind (from-direction deg, speed kt); the peak 10-s flight-level
// wind, kt; the radiometer's peak 10-s surface wind, kt, and its rain rate, mm/h; the quality flags
// (position digit, meteorological digit). A field of slashes is missing; rain 999 (older messages) too.
//
// What the reader does with an archive's oddities:
//   - messages repeated: read once; messages out of order: observations sorted by time; each observation
//     of a mission once (the first message that carries its time);
//   - a message crossing midnight keeps the first observation's date: later times of day that fall below
//     the first one belong to the next day;
//   - a value flagged suspect is kept raw but its SI value is NaN, and is counted;
//   - a peak above 300 kt or a position of 0/0 is a transmission fault: the observation is dropped and
//     counted;
//   - a message with a fault (a line of the wrong shape, a heading without a body, a date that does not
//     parse) is left out and named in `faults`; a file whose HDOB messages are all faulty is refused with
//     the first fault;
//   - missions of more than one storm: refused naming them, unless a storm is chosen.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sfmr::recon {

// Missing raw value of an observation field.
constexpr std::int32_t kMissing = -99999;

// The fields of one observation line as transmitted (kMissing where slashes stood).
struct HdobRaw {
  std::int32_t time_hhmmss = 0;
  std::int32_t lat_deg = kMissing, lat_min = kMissing;  // with lat_south
  std::int32_t lon_deg = kMissing, lon_min = kMissing;  // with lon_west
  bool lat_south = false, lon_west = true;
  std::int32_t pressure = kMissing;  // tenths of hPa, thousands digit dropped
  std::int32_t height_m = kMissing;
  std::int32_t extrap = kMissing;  // extrapolated surface pressure (coded as pressure) or D-value
  std::int32_t temperature = kMissing, dew_point = kMissing;  // tenths of deg C
  std::int32_t wind_dir_deg = kMissing, wind_kt = kMissing;
  std::int32_t peak_wind_kt = kMissing, sfmr_wind_kt = kMissing, rain_mmh = kMissing;
  std::int32_t flag_position = kMissing, flag_met = kMissing;  // the two digits of FF
};

struct HdobObservation {
  double time = 0.0;  // s since 1970-01-01 UTC
  double lat = 0.0;   // deg north, NaN when missing or suspect
  double lon = 0.0;   // deg east
  double static_pressure_pa = 0.0;
  double geopotential_height_m = 0.0;
  double surface_pressure_pa = 0.0;  // extrapolated to the surface; NaN above the 550-hPa level
  double air_temperature_c = 0.0;
  double dew_point_c = 0.0;
  double wind_from_deg = 0.0;  // flight-level wind, 30-s mean
  double wind_speed_ms = 0.0;
  double peak_wind_ms = 0.0;   // flight level, 10-s peak
  double sfmr_wind_ms = 0.0;   // radiometer surface wind, 10-s peak over the 30 s
  double rain_rate_mmh = 0.0;  // radiometer rain rate of the same 10 s
  double window_s = 0.0;  // seconds covered by the peaks: time since the mission's previous line, NaN if none
  std::size_t message = 0;  // index into HdobArchive::messages
  HdobRaw raw;
};

struct HdobMessage {
  std::string heading;   // "URNT15 KNHC 020423", empty when the file has none
  std::string aircraft;  // AF304, NOAA2
  std::string mission;   // 3005A
  std::string storm_id;  // storm number and basin letter of the mission identifier: 05A (WXA untasked)
  std::string storm_name;
  int number = 0;  // message number of the mission
  int date = 0;    // YYYYMMDD of the first observation
  int line = 0;    // line of the file where the message begins
};

// What an archive's oddities came to.
struct HdobCounts {
  int repeated_messages = 0;       // messages read once that the file holds more than once
  int missing_messages = 0;        // gaps in a mission's message numbers
  int duplicate_observations = 0;  // times of a mission already read from another message
  int suspect_position = 0;        // observations whose values were flagged suspect, by group
  int suspect_pressure = 0;
  int suspect_temperature = 0;
  int suspect_wind = 0;
  int suspect_sfmr = 0;
  int fault_peak = 0;            // transmission faults dropped: a peak above 300 kt
  int fault_zero_position = 0;   // and a position of 0/0
  int other_storm_messages = 0;  // messages of storms not chosen
};

struct HdobArchive {
  std::vector<HdobMessage> messages;          // the sound messages read, in file order
  std::vector<HdobObservation> observations;  // each once, in time order
  HdobCounts counts;
  std::vector<std::string> faults;  // one line per faulty message left out: "FILE: MESSAGE, line N: what"
};

// Reads the HDOB messages of a file's text (other messages are skipped). `file` names the file in faults;
// `storm` chooses a storm by its identifier (05A) or name (DORIAN), either case, empty for the only one.
// Throws std::runtime_error with one line: the first fault when no HDOB message is sound, "FILE: holds no
// HDOB message" when there is none, "FILE: missions of several storms (...)" when a choice is needed.
HdobArchive read_hdob(std::string_view text, std::string_view file, std::string_view storm = {});

// The text of one HDOB message (heading, mission line, the observation lines, "$$"), each line ending in a
// line feed. The observations' raw fields are written; `date` (that of the first line) and `number` (0 to
// 999) come from `message`; without a heading in `message` one is made from the date and the first line.
std::string write_hdob(const HdobMessage& message, const std::vector<HdobRaw>& lines);

// The raw fields of an observation given in SI units (NaN for missing), rounded as the code transmits them:
// positions to whole minutes, pressures to 0.1 hPa, winds to whole kt; a value that does not fit its field
// (a negative height, a wind of 1000 kt) becomes missing. Flags 0 (fine).
HdobRaw hdob_raw_from(const HdobObservation& obs);

}  // namespace sfmr::recon
