// Vortex data messages (URNT12, URPN12): the aircraft crew's centre fix, read from a file of one message or
// several in any order, and written back.
//
// Layout since 2018: the heading, "VORTEX DATA MESSAGE AL022026" (basin, storm number, year), items A. to U.
// each on its own line, then free remarks:
//   A fix time dd/hh:mm:ssZ          B centre 29.63 deg N 092.45 deg W   C 700 mb 3077 m (flight level and
//   the minimum height of it)        D 999 mb, or EXTRAP 1004 mb        E centre dropsonde wind 080 deg 9 kt
//   F eye character                  G eye shape and diameter (C15, CO8-16, E09/30/20), n mi
//   H, L maximum surface wind inbound, outbound, kt;  I, M its bearing deg, range n mi and time
//   J, N maximum flight-level wind inbound, outbound (from-direction, kt);  K, O its bearing, range, time
//   P, Q maximum flight-level temperature outside, inside the eye, and its pressure altitude: 10 C / 3050 m
//   R dew point and sea-surface temperature inside the eye: 10 C / NA
//   S how the fix was made / fix level;  T navigational / meteorological accuracy, n mi: 0.02 / 3 nm
//   U aircraft, mission, storm name, observation number: AF305 0701C LALA OB 04
// Any item may be NA. The month is in none of them: a fix's time is taken in the month (of the reference
// time's, the one before or the one after) that puts it nearest the reference. The layout before 2018
// (items A. to P., positions in degrees and minutes) is refused by name.
#pragma once

#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace sfmr::recon {

// The value of every number an item does not give.
inline constexpr double kNotGiven = std::numeric_limits<double>::quiet_NaN();

// A maximum wind of a leg and where it was (NaN where not given).
struct MaxWind {
  double direction_deg = kNotGiven;  // from-direction (flight-level maxima), deg
  double speed_kt = kNotGiven;
  double bearing_deg = kNotGiven;  // from the centre, deg
  double range_nmi = kNotGiven;
  double second_of_day = kNotGiven;  // s after 00:00 UTC
};

struct VortexFix {
  std::string heading;   // "URNT12 KNHC 231314", empty when the file has none
  std::string storm_id;  // AL022026
  int line = 0;          // line of the file where the message begins
  int day = 0;           // day of month of the fix
  int second_of_day = 0;
  double time = kNotGiven;                  // s since 1970-01-01 UTC; NaN when no reference time was given
  double lat = kNotGiven, lon = kNotGiven;  // deg north, deg east
  double flight_level_hpa = kNotGiven, min_height_m = kNotGiven;
  double pressure_hpa = kNotGiven;  // minimum sea-level pressure
  bool pressure_extrapolated = false;
  double sonde_wind_from_deg = kNotGiven, sonde_wind_kt = kNotGiven;
  std::string eye_character, eye_shape;
  double eye_diameter_nmi =
      kNotGiven;  // circular: the diameter; concentric: the inner; elliptical: the long axis
  MaxWind surface_inbound, flight_level_inbound, surface_outbound, flight_level_outbound;
  double temperature_outside_c = kNotGiven, altitude_outside_m = kNotGiven;
  double temperature_inside_c = kNotGiven, altitude_inside_m = kNotGiven;
  double dew_point_c = kNotGiven, sea_surface_temperature_c = kNotGiven;
  std::string fix_method;  // item S as written
  double navigational_accuracy_nmi = kNotGiven, meteorological_accuracy_nmi = kNotGiven;
  std::string aircraft, mission, storm_name;
  int observation = 0;
  std::vector<std::string> remarks;
};

// The fixes of every vortex data message of a file's text, in time order (in file order without a
// reference time); a fix sent twice (same storm, mission, observation number and time) once, as last sent.
// Other messages are skipped. Throws std::runtime_error with one line naming the file,
// the message and the line of the first item that does not parse, a message of the earlier layout, or
// "FILE: holds no vortex data message".
std::vector<VortexFix> read_vdm(std::string_view text, std::string_view file, double reference_time);

// The message text of a fix in the layout since 2018, each line ending in a line feed.
std::string write_vdm(const VortexFix& fix);

}  // namespace sfmr::recon
