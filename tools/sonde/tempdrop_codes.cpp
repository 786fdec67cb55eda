#include <algorithm>
#include <array>
#include <cmath>

#include "core/constants.hpp"
#include "core/text.hpp"
#include "sonde/tempdrop_codes.hpp"

namespace sfmr::sonde::tempdrop {

namespace {

Malformed bad(std::string_view what, std::string_view g) {
  return Malformed(std::string(what) + " '" + std::string(g) + "'");
}

bool all_slashes(std::string_view s) {
  return !s.empty() && s.find_first_not_of('/') == std::string_view::npos;
}

std::string padded(long value, int width) {
  return format_I(value, width, width);
}

struct StandardLevel {
  const char* nn;
  double pressure;  // hPa
};
constexpr std::array<StandardLevel, 11> kStandardLevels{{{"00", 1000},
                                                         {"92", 925},
                                                         {"85", 850},
                                                         {"70", 700},
                                                         {"50", 500},
                                                         {"40", 400},
                                                         {"30", 300},
                                                         {"25", 250},
                                                         {"20", 200},
                                                         {"15", 150},
                                                         {"10", 100}}};

}  // namespace

// Ratio of the molar masses of water vapour and dry air.
constexpr double kEpsilon = 0.622;

double virtual_temperature(double t, double depression, double p) {
  const double tk = t + kKelvinOffset;
  if (!std::isfinite(depression)) return tk;
  const double td = t - depression;
  const double e = 6.112 * std::exp(17.67 * td / (td + 243.5));
  const double q = kEpsilon * e / (p - (1.0 - kEpsilon) * e);
  return tk * (1.0 + (1.0 - kEpsilon) / kEpsilon * q);
}

bool is_indicator(std::string_view g) {
  if (g.size() != 5 || digits(g, 0, 5) < 0 || g[0] != g[2] || g[0] != g[4] || g[1] != g[3]) return false;
  const char a = g[0], b = g[1];
  return (a == '2' && b == '1') || (a == '3' && b == '1') || (a == '4' && b == '1') ||
         ((a == '5' || a == '6') && b >= '1' && b <= '9');
}

double pressure_hpa(std::string_view ppp) {
  const int v = digits(ppp, 0, 3);
  if (v < 0 || ppp.size() != 3) throw bad("pressure", ppp);
  return v < 100 ? v + 1000.0 : v;
}

// TTTa: tenths of a degree, the tenths digit even at or above 0 and odd below. DD: 00-50 tenths of a
// degree, 56-99 whole degrees plus 50 (51-55 are not used).
Temperature decode_temperature(std::string_view g) {
  if (g.size() != 5) throw bad("temperature group", g);
  Temperature t;
  const std::string_view ttt = g.substr(0, 3), dd = g.substr(3, 2);
  if (!all_slashes(ttt)) {
    const int v = digits(ttt, 0, 3);
    if (v < 0) throw bad("temperature group", g);
    t.temperature = (v % 2 == 0 ? v : -v) / 10.0;
  }
  if (!all_slashes(dd)) {
    const int d = digits(dd, 0, 2);
    if (d < 0 || (d > 50 && d < 56)) throw bad("dew-point depression", g);
    t.dewpoint_depression = d <= 50 ? d / 10.0 : d - 50.0;
  }
  return t;
}

std::string encode_temperature(double temperature, double dewpoint_depression) {
  std::string out;
  if (!std::isfinite(temperature)) {
    out = "///";
  } else {
    // Tenths with the parity of the sign: the nearer of the two tenths beside the rounded one when its
    // parity is wrong (even at or above 0, odd below 0).
    const double tenths = std::fabs(temperature) * 10.0;
    long v = std::lround(tenths);
    const bool negative = temperature < 0.0 && v > 0;
    if ((v % 2 == 1) != negative) v += tenths > static_cast<double>(v) || v == 0 ? 1 : -1;
    out = padded(std::min(v, negative ? 999L : 998L), 3);
  }
  if (!std::isfinite(dewpoint_depression) || dewpoint_depression < 0.0) return out + "//";
  if (dewpoint_depression <= 5.0) return out + padded(std::lround(dewpoint_depression * 10.0), 2);
  return out + padded(std::clamp(std::lround(dewpoint_depression), 6L, 49L) + 50, 2);
}

Wind decode_wind(std::string_view g, bool knots) {
  if (g.size() != 5) throw bad("wind group", g);
  if (all_slashes(g)) return {};
  const int ddd = digits(g, 0, 3), ff = digits(g, 3, 2);
  if (ddd < 0 || ff < 0) throw bad("wind group", g);
  const int dir = ddd - ddd % 5, speed = ff + 100 * (ddd % 5);
  if (dir > 360) throw bad("wind direction", g);
  return {.from_deg = static_cast<double>(dir), .speed = knots ? speed * kMsPerKt : speed};
}

std::string encode_wind(const Wind& wind) {
  if (!wind.known()) return "/////";
  const long kt = std::min(std::lround(wind.speed / kMsPerKt), 499L);
  long dir = std::lround(wind.from_deg / 5.0) * 5 % 360;
  if (dir == 0 && kt > 0) dir = 360;
  if (kt == 0) dir = 0;
  return padded(dir + kt / 100, 3) + padded(kt % 100, 2);
}

double standard_pressure(std::string_view nn) {
  for (const StandardLevel& l : kStandardLevels) {
    if (nn == l.nn) return l.pressure;
  }
  return kNaN;
}

// 1000 hPa: m, 500 added to a negative height; 925 hPa: m; 850 hPa: m less 1000; 700 hPa: m less the
// thousands (3000 below 500, else 2000); 500 to 300 hPa: dam; 250 hPa and above: dam less 1000 below 500.
double decode_height(double pressure, std::string_view hhh) {
  if (all_slashes(hhh)) return kNaN;
  const int h = digits(hhh, 0, 3);
  if (h < 0 || hhh.size() != 3) throw bad("height", hhh);
  if (pressure == 1000) return h >= 500 ? -(h - 500.0) : h;
  if (pressure == 925) return h;
  if (pressure == 850) return 1000.0 + h;
  if (pressure == 700) return (h < 500 ? 3000.0 : 2000.0) + h;
  if (pressure >= 300) return 10.0 * h;
  return 10.0 * (h < 500 ? h + 1000 : h);
}

std::string encode_height(double pressure, double height) {
  if (!std::isfinite(height)) return "///";
  long h = std::lround(height);
  if (pressure == 1000) return padded(h < 0 ? std::min(500 - h, 999L) : h % 500, 3);
  if (pressure == 925) return padded(std::clamp(h, 0L, 999L), 3);
  if (pressure == 850 || pressure == 700) return padded(((h % 1000) + 1000) % 1000, 3);
  h = std::lround(height / 10.0);
  return padded(h % 1000, 3);
}

bool decode_position(std::string_view g, double& lat, double& lon) {
  const int la = digits(g, 0, 4), lo = digits(g, 5, 5);
  if (g.size() != 11 || la < 0 || lo < 0 || (g[4] != 'N' && g[4] != 'S') || (g[10] != 'E' && g[10] != 'W') ||
      la > 9000 || lo > 18000)
    return false;
  lat = (g[4] == 'S' ? -la : la) / 100.0;
  lon = (g[10] == 'W' ? -lo : lo) / 100.0;
  return true;
}

std::string encode_position(double lat, double lon) {
  return padded(std::lround(std::fabs(lat) * 100.0), 4) + (lat < 0 ? "S" : "N") +
         padded(std::lround(std::fabs(lon) * 100.0), 5) + (lon < 0 ? "W" : "E");
}

int decode_time_of_day(std::string_view g) {
  const int h = digits(g, 0, 2), m = digits(g, 2, 2), s = digits(g, 4, 2);
  if (g.size() != 6 || h < 0 || m < 0 || s < 0 || h > 23 || m > 59 || s > 59) return -1;
  return h * 3600 + m * 60 + s;
}

}  // namespace sfmr::sonde::tempdrop
