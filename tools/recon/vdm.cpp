#include "recon/vdm.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <stdexcept>

#include "common/time_text.hpp"
#include "core/calendar.hpp"
#include "core/constants.hpp"
#include "recon/message_text.hpp"

namespace sfmr::recon {

namespace {

struct Fault : std::runtime_error {
  Fault(int line_number, const std::string& what) : std::runtime_error(what), line(line_number) {}
  int line;
};

// A malformed item: its letter and text become the fault's words.
struct BadItem {};

using Words = std::vector<std::string>;

Words upper_words(std::string_view text, bool split_slashes) {
  std::string s;
  for (char c : text) {
    const char u = c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
    if (split_slashes && u == '/') {
      s += " / ";
    } else {
      s += u;
    }
  }
  Words out;
  for (std::string_view w : words(s)) out.emplace_back(w);
  return out;
}

std::string_view trimmed_text(std::string_view s) {
  const std::size_t a = s.find_first_not_of(" \t");
  return a == std::string_view::npos ? std::string_view() : s.substr(a);
}

bool is_na(const Words& w) {
  return w.empty() || (w.size() == 1 && w[0] == "NA");
}

double number(const std::string& s) {
  const auto v = decimal_value(s);
  if (!v) throw BadItem{};
  return *v;
}

void expect(const Words& w, std::size_t i, std::initializer_list<std::string_view> any) {
  if (i >= w.size() || std::find(any.begin(), any.end(), w[i]) == any.end()) throw BadItem{};
}

// "hh:mm:ssZ" or "hh:mmZ", optionally after "dd/": seconds after 00:00; `day` gets dd when there.
int clock_time(std::string s, int* day = nullptr) {
  if (const std::size_t slash = s.find('/'); slash != std::string::npos) {
    const auto d = digits_value(std::string_view(s).substr(0, slash));
    if (!d || !day || *d < 1 || *d > 31) throw BadItem{};
    *day = *d;
    s = s.substr(slash + 1);
  } else if (day) {
    throw BadItem{};
  }
  if (s.empty() || s.back() != 'Z') throw BadItem{};
  s.pop_back();
  const std::string_view v(s);
  if (v.size() != 5 && v.size() != 8) throw BadItem{};
  const bool colons = v[2] == ':' && (v.size() == 5 || v[5] == ':');
  const int h = digits_value(v.substr(0, 2)).value_or(-1);
  const int m = digits_value(v.substr(3, 2)).value_or(-1);
  const int sec = v.size() == 8 ? digits_value(v.substr(6, 2)).value_or(-1) : 0;
  if (!colons || h < 0 || h >= 24 || m < 0 || m >= 60 || sec < 0 || sec >= 60) throw BadItem{};
  return h * 3600 + m * 60 + sec;
}

// "10 C" (or NA): deg C.
double celsius(const Words& w, std::size_t begin, std::size_t end) {
  if (end - begin == 1 && w[begin] == "NA") return std::nan("");
  if (end - begin != 2) throw BadItem{};
  expect(w, begin + 1, {"C"});
  return number(w[begin]);
}

// Items P and Q: "10 C / 3050 m", either side NA.
void temperature_item(const Words& w, double& t, double& alt) {
  t = alt = std::nan("");
  if (is_na(w)) return;
  const auto slash = std::find(w.begin(), w.end(), "/") - w.begin();
  if (static_cast<std::size_t>(slash) >= w.size()) throw BadItem{};
  t = celsius(w, 0, slash);
  const std::size_t rest = w.size() - slash - 1;
  if (rest == 1 && w.back() == "NA") return;
  if (rest != 2) throw BadItem{};
  expect(w, w.size() - 1, {"M", "FT"});
  alt = number(w[slash + 1]);
}

// "331 deg 39 nm 20:35:00Z": bearing, range and (optionally) time of a maximum.
void where_item(const Words& w, MaxWind& m) {
  if (is_na(w)) return;
  if (w.size() != 4 && w.size() != 5) throw BadItem{};
  expect(w, 1, {"DEG"});
  expect(w, 3, {"NM"});
  m.bearing_deg = number(w[0]);
  m.range_nmi = number(w[2]);
  if (w.size() == 5) m.second_of_day = clock_time(w[4]);
}

// "090 deg 51 kt" (a from-direction and speed) or "51 kt" (a speed).
void wind_item(const Words& w, double* direction, double& speed) {
  if (is_na(w)) return;
  const std::size_t k = direction ? 2 : 0;
  if (w.size() != k + 2) throw BadItem{};
  if (direction) {
    expect(w, 1, {"DEG"});
    *direction = number(w[0]);
  }
  expect(w, k + 1, {"KT"});
  speed = number(w[k]);
}

// "C15", "CO8-16", "E09/30/20": the diameter (inner, long axis) in n mi.
double eye_diameter(const std::string& s) {
  const auto dash = s.find('-');
  std::optional<int> v;
  if (s.rfind("CO", 0) == 0 && dash != std::string::npos) {
    v = digits_value(std::string_view(s).substr(2, dash - 2));
    if (!digits_value(std::string_view(s).substr(dash + 1))) v.reset();
  } else if (s.rfind("E", 0) == 0) {
    const Words parts = upper_words(s.substr(1), true);
    if (parts.size() == 5 && parts[1] == "/" && parts[3] == "/" && digits_value(parts[0]) &&
        digits_value(parts[4]))
      v = digits_value(parts[2]);
  } else if (s.rfind("C", 0) == 0) {
    v = digits_value(std::string_view(s).substr(1));
  }
  if (!v) throw BadItem{};
  return *v;
}

void centre_item(const Words& w, VortexFix& f) {
  if (std::find(w.begin(), w.end(), "MIN") != w.end())
    throw Fault(0, "a vortex data message of the layout before 2018 (degrees and minutes): not read");
  if (w.size() != 6) throw BadItem{};
  expect(w, 1, {"DEG"});
  expect(w, 2, {"N", "S"});
  expect(w, 4, {"DEG"});
  expect(w, 5, {"E", "W"});
  f.lat = number(w[0]) * (w[2] == "S" ? -1.0 : 1.0);
  f.lon = number(w[3]) * (w[5] == "W" ? -1.0 : 1.0);
  if (!(std::fabs(f.lat) <= 90.0 && std::fabs(f.lon) <= 180.0)) throw BadItem{};
}

void level_item(const Words& w, VortexFix& f) {
  if (is_na(w)) return;
  if (w.size() != 2 && w.size() != 4) throw BadItem{};
  expect(w, 1, {"MB", "HPA"});
  f.flight_level_hpa = number(w[0]);
  if (w.size() == 4) {
    expect(w, 3, {"M"});
    f.min_height_m = number(w[2]);
  }
}

void pressure_item(const Words& w, VortexFix& f) {
  if (is_na(w)) return;
  f.pressure_extrapolated = w[0] == "EXTRAP";
  const std::size_t k = f.pressure_extrapolated ? 1 : 0;
  if (w.size() != k + 2) throw BadItem{};
  expect(w, k + 1, {"MB", "HPA"});
  f.pressure_hpa = number(w[k]);
}

void accuracy_item(const Words& w, VortexFix& f) {
  if (is_na(w)) return;
  const auto slash = static_cast<std::size_t>(std::find(w.begin(), w.end(), "/") - w.begin());
  if (slash != 1 || (w.size() != 3 && w.size() != 4)) throw BadItem{};
  if (w.size() == 4) expect(w, 3, {"NM"});
  if (w[0] != "NA") f.navigational_accuracy_nmi = number(w[0]);
  if (w[2] != "NA") f.meteorological_accuracy_nmi = number(w[2]);
}

void mission_item(const Words& w, VortexFix& f) {
  if (is_na(w)) return;
  if (w.size() < 4 || w[w.size() - 2] != "OB") throw BadItem{};
  f.aircraft = w[0];
  f.mission = w[1];
  for (std::size_t i = 2; i + 2 < w.size(); ++i) {
    if (i > 2) f.storm_name += ' ';
    f.storm_name += w[i];
  }
  const auto ob = digits_value(w.back());
  if (!ob) throw BadItem{};
  f.observation = *ob;
}

// Item A: the day and time of the fix.
void time_item(const Words& w, VortexFix& f) {
  if (w.size() != 1) throw BadItem{};
  f.second_of_day = clock_time(w[0], &f.day);
}

// Item G: the eye's shape and, unless NA, its diameter.
void eye_item(const Words& w, VortexFix& f) {
  f.eye_shape = w.empty() ? "" : w[0];
  if (is_na(w)) return;
  if (w.size() != 1) throw BadItem{};
  f.eye_diameter_nmi = eye_diameter(w[0]);
}

// Item R: dew point / sea-surface temperature, deg C.
void dew_point_item(const Words& w, VortexFix& f) {
  if (is_na(w)) return;
  const auto slash = static_cast<std::size_t>(std::find(w.begin(), w.end(), "/") - w.begin());
  if (slash >= w.size()) throw BadItem{};
  f.dew_point_c = celsius(w, 0, slash);
  f.sea_surface_temperature_c = celsius(w, slash + 1, w.size());
}

void read_item(char letter, std::string_view text, VortexFix& f) {
  const bool slashes = letter >= 'P' && letter <= 'T';
  const Words w = upper_words(text, slashes);
  switch (letter) {
    case 'A':
      time_item(w, f);
      break;
    case 'B':
      centre_item(w, f);
      break;
    case 'C':
      level_item(w, f);
      break;
    case 'D':
      pressure_item(w, f);
      break;
    case 'E':
      wind_item(w, &f.sonde_wind_from_deg, f.sonde_wind_kt);
      break;
    case 'F':
      f.eye_character = is_na(w) ? "" : std::string(trimmed_text(text));
      break;
    case 'G':
      eye_item(w, f);
      break;
    case 'H':
      wind_item(w, nullptr, f.surface_inbound.speed_kt);
      break;
    case 'I':
      where_item(w, f.surface_inbound);
      break;
    case 'J':
      wind_item(w, &f.flight_level_inbound.direction_deg, f.flight_level_inbound.speed_kt);
      break;
    case 'K':
      where_item(w, f.flight_level_inbound);
      break;
    case 'L':
      wind_item(w, nullptr, f.surface_outbound.speed_kt);
      break;
    case 'M':
      where_item(w, f.surface_outbound);
      break;
    case 'N':
      wind_item(w, &f.flight_level_outbound.direction_deg, f.flight_level_outbound.speed_kt);
      break;
    case 'O':
      where_item(w, f.flight_level_outbound);
      break;
    case 'P':
      temperature_item(w, f.temperature_outside_c, f.altitude_outside_m);
      break;
    case 'Q':
      temperature_item(w, f.temperature_inside_c, f.altitude_inside_m);
      break;
    case 'R':
      dew_point_item(w, f);
      break;
    case 'S':
      f.fix_method = is_na(w) ? "" : std::string(trimmed_text(text));
      break;
    case 'T':
      accuracy_item(w, f);
      break;
    case 'U':
      mission_item(w, f);
      break;
    default:
      break;
  }
}

// "VORTEX DATA MESSAGE AL022026" then the items and the remarks.
VortexFix parse_message(const Message& m) {
  if (m.body.empty()) throw Fault(m.heading_line, "heading without a body");
  VortexFix f;
  f.heading = m.heading;
  f.line = m.heading_line;
  const auto title = words(m.body.front().text);
  if (title.size() < 3 || title[0] != "VORTEX" || title[1] != "DATA" || title[2] != "MESSAGE")
    throw Fault(m.body.front().number, "not a vortex data message title");
  if (title.size() >= 4) f.storm_id = title[3];
  std::string seen;  // the item letters read, in order
  for (std::size_t i = 1; i < m.body.size(); ++i) {
    const TextLine& l = m.body[i];
    const std::string_view t = l.text.substr(std::min(l.text.size(), l.text.find_first_not_of(" \t")));
    const bool item =
        seen.find('U') == std::string::npos && t.size() >= 2 && t[0] >= 'A' && t[0] <= 'U' && t[1] == '.';
    if (!item) {
      if (seen.find('U') == std::string::npos) {
        if (seen.find('P') != std::string::npos) break;  // remarks after P.: the layout before 2018
        throw Fault(l.number, "line is not an item A. to U.");
      }
      f.remarks.emplace_back(t);
      continue;
    }
    if (seen.find(t[0]) != std::string::npos)
      throw Fault(l.number, std::string("item ") + t[0] + ". repeated");
    seen += t[0];
    try {
      read_item(t[0], trimmed_text(t.substr(2)), f);
    } catch (const BadItem&) {
      throw Fault(l.number, std::string("item ") + t[0] + ". '" + std::string(trimmed_text(t.substr(2))) +
                                "' does not parse");
    } catch (const Fault& e) {
      throw Fault(l.number, e.what());
    }
  }
  if (seen.find('U') == std::string::npos && seen.find('P') != std::string::npos)
    throw Fault(m.heading_line, "a vortex data message of the layout before 2018 (items A. to P.): not read");
  if (seen.find('A') == std::string::npos || seen.find('B') == std::string::npos)
    throw Fault(m.heading_line, "vortex data message without its fix time (A.) and centre (B.)");
  return f;
}

// The fix's time in the month, of the reference's, the one before and the one after, nearest the
// reference; NaN when no month holds the fix's day.
double nearest_time(int day, int second_of_day, double reference) {
  const long ref_day = static_cast<long>(std::floor(reference / kSecondsPerDay));
  int y = 0, m = 0, d = 0;
  civil_from_days(ref_day, y, m, d);
  double best = std::nan("");
  for (int shift : {-1, 0, 1}) {
    int month = m + shift, year = y;
    if (month < 1) month += 12, --year;
    if (month > 12) month -= 12, ++year;
    const auto t = utc_seconds(year, month, day, second_of_day);
    if (t && !(std::fabs(*t - reference) >= std::fabs(best - reference))) best = *t;
  }
  return best;
}

}  // namespace

std::vector<VortexFix> read_vdm(std::string_view text, std::string_view file, double reference_time) {
  std::vector<VortexFix> fixes;
  for (const Message& m : split_messages(text)) {
    if (kind_of(m) != MessageKind::kVortex) continue;
    try {
      fixes.push_back(parse_message(m));
    } catch (const Fault& e) {
      std::string detail = "VORTEX DATA MESSAGE";
      if (!m.body.empty()) {
        const auto w = words(m.body.front().text);
        if (w.size() >= 4 && w[0] == "VORTEX") detail += " " + std::string(w[3]);
      }
      throw std::runtime_error(std::string(file) + ": " + message_name(m, detail) + ", line " +
                               std::to_string(e.line) + ": " + e.what());
    }
    VortexFix& f = fixes.back();
    f.time =
        std::isfinite(reference_time) ? nearest_time(f.day, f.second_of_day, reference_time) : std::nan("");
    // A message sent again (or corrected) for the same fix: the later one stands.
    const auto same = [&f](const VortexFix& g) {
      return g.storm_id == f.storm_id && g.mission == f.mission && g.observation == f.observation &&
             g.day == f.day && g.second_of_day == f.second_of_day;
    };
    const auto earlier = std::find_if(fixes.begin(), fixes.end() - 1, same);
    if (earlier != fixes.end() - 1) {
      *earlier = std::move(fixes.back());
      fixes.pop_back();
    }
  }
  if (fixes.empty()) throw std::runtime_error(std::string(file) + ": holds no vortex data message");
  if (std::isfinite(reference_time)) {
    std::stable_sort(fixes.begin(), fixes.end(),
                     [](const VortexFix& a, const VortexFix& b) { return a.time < b.time; });
  }
  return fixes;
}

namespace {

// A number as the messages write it: whole when it is, else with up to two decimals; "NA" when not given.
std::string num(double v, int decimals = 0) {
  if (!std::isfinite(v)) return "NA";
  char s[32];
  std::snprintf(s, sizeof s, "%.*f", decimals, v);
  return s;
}

// Degrees to 0.01 with `digits` whole digits, as item B writes them: 29.63, 092.45.
std::string degrees(double v, int digits) {
  char s[48];
  std::snprintf(s, sizeof s, "%0*.2f", digits + 3, std::fabs(v));
  return s;
}

std::string clock(double second_of_day) {
  return tool::clock_text(std::lround(second_of_day)) + "Z";
}

std::string speed(double kt) {
  return std::isfinite(kt) ? num(kt) + " kt" : "NA";
}
std::string wind(double dir, double kt) {
  return std::isfinite(dir) && std::isfinite(kt) ? num(dir) + " deg " + num(kt) + " kt" : "NA";
}
std::string where(const MaxWind& m) {
  if (!std::isfinite(m.bearing_deg) || !std::isfinite(m.range_nmi)) return "NA";
  std::string s = num(m.bearing_deg) + " deg " + num(m.range_nmi) + " nm";
  if (std::isfinite(m.second_of_day)) s += " " + clock(m.second_of_day);
  return s;
}
std::string celsius_text(double c) {
  return std::isfinite(c) ? num(c) + " C" : "NA";
}
std::string temperature(double c, double alt) {
  if (!std::isfinite(c) && !std::isfinite(alt)) return "NA";
  return celsius_text(c) + " / " + (std::isfinite(alt) ? num(alt) + " m" : "NA");
}

}  // namespace

std::string write_vdm(const VortexFix& f) {
  char head[64];
  std::snprintf(head, sizeof head, "URNT12 KNHC %02d%02d%02d", f.day, f.second_of_day / 3600,
                f.second_of_day % 3600 / 60);
  std::string out = (f.heading.empty() ? std::string(head) : f.heading) + "\n";
  out += "VORTEX DATA MESSAGE   " + f.storm_id + "\n";
  char a[32];
  std::snprintf(a, sizeof a, "%02d/", f.day);
  const std::array<std::string, 21> items = {
      a + clock(f.second_of_day),
      degrees(f.lat, 2) + " deg " + (f.lat < 0 ? "S " : "N ") + degrees(f.lon, 3) + " deg " +
          (f.lon < 0 ? "W" : "E"),
      std::isfinite(f.flight_level_hpa)
          ? num(f.flight_level_hpa) + " mb" +
                (std::isfinite(f.min_height_m) ? " " + num(f.min_height_m) + " m" : "")
          : "NA",
      std::isfinite(f.pressure_hpa) ? (f.pressure_extrapolated ? "EXTRAP " : "") + num(f.pressure_hpa) + " mb"
                                    : "NA",
      wind(f.sonde_wind_from_deg, f.sonde_wind_kt),
      f.eye_character.empty() ? "NA" : f.eye_character,
      f.eye_shape.empty() ? "NA" : f.eye_shape,
      speed(f.surface_inbound.speed_kt),
      where(f.surface_inbound),
      wind(f.flight_level_inbound.direction_deg, f.flight_level_inbound.speed_kt),
      where(f.flight_level_inbound),
      speed(f.surface_outbound.speed_kt),
      where(f.surface_outbound),
      wind(f.flight_level_outbound.direction_deg, f.flight_level_outbound.speed_kt),
      where(f.flight_level_outbound),
      temperature(f.temperature_outside_c, f.altitude_outside_m),
      temperature(f.temperature_inside_c, f.altitude_inside_m),
      std::isfinite(f.dew_point_c) || std::isfinite(f.sea_surface_temperature_c)
          ? celsius_text(f.dew_point_c) + " / " + celsius_text(f.sea_surface_temperature_c)
          : "NA",
      f.fix_method.empty() ? "NA" : f.fix_method,
      num(f.navigational_accuracy_nmi, 2) + " / " + num(f.meteorological_accuracy_nmi, 1) + " nm",
      f.aircraft.empty()
          ? "NA"
          : f.aircraft + " " + f.mission + " " + f.storm_name + " OB " + std::to_string(f.observation)};
  for (std::size_t i = 0; i < items.size(); ++i)
    out += std::string(1, static_cast<char>('A' + i)) + ". " + items[i] + "\n";
  for (const std::string& r : f.remarks) out += r + "\n";
  out += "$$\n";
  return out;
}

}  // namespace sfmr::recon
