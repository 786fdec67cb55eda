#include "recon/hdob.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <map>
#include <set>
#include <stdexcept>
#include <utility>

#include "core/constants.hpp"
#include "recon/message_text.hpp"

namespace sfmr::recon {

namespace {

constexpr double kHpaPerTenth = 0.1;
constexpr double kPaPerHpa = 100.0;
// Static and extrapolated pressures are sent without their thousands digit: a decoded value below 100 hPa
// (no aircraft flies there) lost a leading 1 (0133 = 1013.3 hPa).
constexpr double kDroppedThousandsBelowHpa = 100.0;
// The extrapolated surface pressure is sent at or below this flight level, hPa; above it the field is a
// D-value.
constexpr double kExtrapolationCeilingHpa = 550.0;
// A peak wind above this, kt, is a transmission fault.
constexpr int kMaxPeakKt = 300;
// Rain rate of older messages meaning "not given", mm/h.
constexpr int kRainNotGiven = 999;
// Two lines of one mission further apart than this, s, do not bound each other's peak window.
constexpr double kMaxWindowS = 90.0;

struct Fault : std::runtime_error {
  Fault(int line_number, const std::string& what) : std::runtime_error(what), line(line_number) {}
  int line;
};

// One HDOB message parsed: its facts and its lines' raw fields.
struct Parsed {
  HdobMessage message;
  std::vector<HdobRaw> lines;
  std::string body;  // the body's text, to tell a repeated message
};

std::string quoted(std::string_view s) {
  return "'" + std::string(s) + "'";
}

// A field of `width` digits (kMissing when all slashes); anything else is a fault naming the field.
std::int32_t coded(std::string_view f, std::size_t width, int index, int line) {
  if (f.size() == width && all_slashes(f)) return kMissing;
  const auto v = f.size() == width ? digits_value(f) : std::nullopt;
  if (!v)
    throw Fault(line, "field " + std::to_string(index) + " " + quoted(f) + " is not " +
                          std::to_string(width) + " digits or slashes");
  return *v;
}

// sTTT: tenths with a sign.
std::int32_t signed_tenths(std::string_view f, int index, int line) {
  if (f.size() == 4 && all_slashes(f)) return kMissing;
  const auto v = f.size() == 4 && (f[0] == '+' || f[0] == '-') ? digits_value(f.substr(1)) : std::nullopt;
  if (!v)
    throw Fault(line, "field " + std::to_string(index) + " " + quoted(f) + " is not a signed temperature");
  return f[0] == '-' ? -*v : *v;
}

// LLLLH / NNNNNH: degrees and whole minutes with the hemisphere letter.
void position_field(std::string_view f, bool latitude, HdobRaw& r, int line) {
  const std::size_t deg_width = latitude ? 2 : 3;
  const int index = latitude ? 2 : 3;
  if (f.size() == deg_width + 3 && all_slashes(f)) return;
  const char h = f.empty() ? ' ' : f.back();
  const bool ok_h = latitude ? (h == 'N' || h == 'S') : (h == 'E' || h == 'W');
  const auto deg = f.size() == deg_width + 3 ? digits_value(f.substr(0, deg_width)) : std::nullopt;
  const auto min = f.size() == deg_width + 3 ? digits_value(f.substr(deg_width, 2)) : std::nullopt;
  if (!ok_h || !deg || !min || *min >= 60 || *deg * 60 + *min > (latitude ? 90 : 180) * 60)
    throw Fault(line, "field " + std::to_string(index) + " " + quoted(f) + " is not a " +
                          (latitude ? "latitude" : "longitude"));
  if (latitude) {
    r.lat_deg = *deg, r.lat_min = *min, r.lat_south = h == 'S';
  } else {
    r.lon_deg = *deg, r.lon_min = *min, r.lon_west = h == 'W';
  }
}

HdobRaw observation_line(const TextLine& l) {
  const auto f = words(l.text);
  if (f.size() != 13)
    throw Fault(l.number, "observation line has " + std::to_string(f.size()) + " fields, not 13");
  HdobRaw r;
  r.time_hhmmss = coded(f[0], 6, 1, l.number);
  if (r.time_hhmmss == kMissing || r.time_hhmmss / 10000 >= 24 || r.time_hhmmss / 100 % 100 >= 60 ||
      r.time_hhmmss % 100 >= 60)
    throw Fault(l.number, "field 1 " + quoted(f[0]) + " is not a time hhmmss");
  position_field(f[1], true, r, l.number);
  position_field(f[2], false, r, l.number);
  r.pressure = coded(f[3], 4, 4, l.number);
  r.height_m = coded(f[4], 5, 5, l.number);
  r.extrap = coded(f[5], 4, 6, l.number);
  r.temperature = signed_tenths(f[6], 7, l.number);
  r.dew_point = signed_tenths(f[7], 8, l.number);
  if (f[8].size() != 6) throw Fault(l.number, "field 9 " + quoted(f[8]) + " is not a wind dddsss");
  r.wind_dir_deg = coded(f[8].substr(0, 3), 3, 9, l.number);
  r.wind_kt = coded(f[8].substr(3), 3, 9, l.number);
  r.peak_wind_kt = coded(f[9], 3, 10, l.number);
  r.sfmr_wind_kt = coded(f[10], 3, 11, l.number);
  r.rain_mmh = coded(f[11], 3, 12, l.number);
  const std::string_view ff = f[12];
  const auto flag = [](char c) { return c == '/' ? kMissing : c - '0'; };
  if (ff.size() != 2 || !(ff[0] == '/' || (ff[0] >= '0' && ff[0] <= '9')) ||
      !(ff[1] == '/' || (ff[1] >= '0' && ff[1] <= '9')))
    throw Fault(l.number, "field 13 " + quoted(ff) + " is not two quality flags");
  r.flag_position = flag(ff[0]);
  r.flag_met = flag(ff[1]);
  return r;
}

// "AF304 3005A DORIAN  HDOB 51 20190902".
HdobMessage mission_line(const TextLine& l) {
  const auto w = words(l.text);
  std::size_t k = 0;
  while (k < w.size() && w[k] != "HDOB") ++k;
  if (k < 2 || k + 3 != w.size()) throw Fault(l.number, "not an HDOB mission line " + quoted(l.text));
  HdobMessage m;
  m.aircraft = w[0];
  m.mission = w[1];
  m.storm_id = m.mission.size() == 5 ? m.mission.substr(2) : m.mission;
  for (std::size_t i = 2; i < k; ++i) {
    if (i > 2) m.storm_name += ' ';
    m.storm_name += w[i];
  }
  const auto number = w[k + 1].size() <= 3 ? digits_value(w[k + 1]) : std::nullopt;
  if (!number) throw Fault(l.number, "message number " + quoted(w[k + 1]) + " is not a number");
  const auto date = w[k + 2].size() == 8 ? digits_value(w[k + 2]) : std::nullopt;
  if (!date || !utc_seconds(*date / 10000, *date / 100 % 100, *date % 100, 0))
    throw Fault(l.number, "date " + quoted(w[k + 2]) + " is not a date YYYYMMDD");
  m.number = *number;
  m.date = *date;
  return m;
}

Parsed parse_message(const Message& msg) {
  if (msg.body.empty()) throw Fault(msg.heading_line, "heading without a body");
  Parsed p;
  p.message = mission_line(msg.body.front());
  p.message.heading = msg.heading;
  p.message.line = msg.heading_line;
  if (msg.body.size() == 1) throw Fault(msg.body.front().number, "mission line without observations");
  for (std::size_t i = 1; i < msg.body.size(); ++i) {
    p.lines.push_back(observation_line(msg.body[i]));
    p.body.append(msg.body[i].text).push_back('\n');
  }
  return p;
}

double hpa_of(std::int32_t coded_value) {
  if (coded_value == kMissing) return std::nan("");
  const double hpa = coded_value * kHpaPerTenth;
  return hpa < kDroppedThousandsBelowHpa ? hpa + 1000.0 : hpa;
}

double or_nan(std::int32_t v, double scale = 1.0) {
  return v == kMissing ? std::nan("") : v * scale;
}

// The SI values of a line, with the suspect groups blanked and counted.
HdobObservation decode(const HdobRaw& r, double time, HdobCounts& c) {
  HdobObservation o;
  o.raw = r;
  o.time = time;
  const double nan = std::nan("");
  o.lat = r.lat_deg == kMissing ? nan : (r.lat_deg + r.lat_min / 60.0) * (r.lat_south ? -1.0 : 1.0);
  o.lon = r.lon_deg == kMissing ? nan : (r.lon_deg + r.lon_min / 60.0) * (r.lon_west ? -1.0 : 1.0);
  const double p = hpa_of(r.pressure);
  o.static_pressure_pa = p * kPaPerHpa;
  o.geopotential_height_m = or_nan(r.height_m);
  o.surface_pressure_pa = p >= kExtrapolationCeilingHpa ? hpa_of(r.extrap) * kPaPerHpa : nan;
  o.air_temperature_c = or_nan(r.temperature, 0.1);
  o.dew_point_c = or_nan(r.dew_point, 0.1);
  o.wind_from_deg = or_nan(r.wind_dir_deg);
  o.wind_speed_ms = or_nan(r.wind_kt, kMsPerKt);
  o.peak_wind_ms = or_nan(r.peak_wind_kt, kMsPerKt);
  o.sfmr_wind_ms = or_nan(r.sfmr_wind_kt, kMsPerKt);
  o.rain_rate_mmh = r.rain_mmh == kRainNotGiven ? nan : or_nan(r.rain_mmh);
  // Position digit: 1 latitude and longitude, 2 pressure and height, 3 both. Meteorological digit: 1 T/Td,
  // 2 wind, 3 SFMR, 4 T/Td and wind, 5 T/Td and SFMR, 6 wind and SFMR, 9 all (7 and 8 are not defined and
  // are taken as all).
  const int fp = r.flag_position, fm = r.flag_met;
  const auto blank = [&](std::initializer_list<double*> values, int& count) {
    for (double* v : values) *v = nan;
    ++count;
  };
  if (fp == 1 || fp == 3) blank({&o.lat, &o.lon}, c.suspect_position);
  if (fp == 2 || fp == 3)
    blank({&o.static_pressure_pa, &o.geopotential_height_m, &o.surface_pressure_pa}, c.suspect_pressure);
  if (fm == 1 || fm == 4 || fm == 5 || fm >= 7)
    blank({&o.air_temperature_c, &o.dew_point_c}, c.suspect_temperature);
  if (fm == 2 || fm == 4 || fm == 6 || fm >= 7)
    blank({&o.wind_from_deg, &o.wind_speed_ms, &o.peak_wind_ms}, c.suspect_wind);
  if (fm == 3 || fm == 5 || fm == 6 || fm >= 7) blank({&o.sfmr_wind_ms, &o.rain_rate_mmh}, c.suspect_sfmr);
  return o;
}

bool transmission_fault(const HdobRaw& r, HdobCounts& c) {
  if ((r.peak_wind_kt != kMissing && r.peak_wind_kt > kMaxPeakKt) ||
      (r.sfmr_wind_kt != kMissing && r.sfmr_wind_kt > kMaxPeakKt)) {
    ++c.fault_peak;
    return true;
  }
  if (r.lat_deg == 0 && r.lat_min == 0 && r.lon_deg == 0 && r.lon_min == 0) {
    ++c.fault_zero_position;
    return true;
  }
  return false;
}

int second_of_day(std::int32_t hhmmss) {
  return hhmmss / 10000 * 3600 + hhmmss / 100 % 100 * 60 + hhmmss % 100;
}

bool same_text(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return (x >= 'a' && x <= 'z' ? x - 32 : x) == (y >= 'a' && y <= 'z' ? y - 32 : y);
         });
}

// The storm chosen among the messages: every message of it kept, the others counted.
void choose_storm(std::vector<Parsed>& parsed, std::string_view storm, std::string_view file, HdobCounts& c) {
  std::map<std::string, std::string> storms;  // id -> name
  for (const Parsed& p : parsed) storms.emplace(p.message.storm_id, p.message.storm_name);
  if (storm.empty()) {
    if (storms.size() <= 1) return;
    std::string list;
    for (const auto& [id, name] : storms) list += (list.empty() ? "" : ", ") + id + " " + name;
    throw std::runtime_error(std::string(file) + ": missions of several storms (" + list +
                             "); choose one of them");
  }
  const auto before = parsed.size();
  std::erase_if(parsed, [&](const Parsed& p) {
    return !same_text(p.message.storm_id, storm) && !same_text(p.message.storm_name, storm);
  });
  c.other_storm_messages = static_cast<int>(before - parsed.size());
  if (parsed.empty())
    throw std::runtime_error(std::string(file) + ": no HDOB message of storm " + std::string(storm));
}

// Repeated messages out, gaps in the message numbers counted; a number of `faulty` (messages left out as
// faulty, counted there) is no gap.
void drop_repeats(std::vector<Parsed>& parsed, const std::set<int>& faulty, HdobCounts& c) {
  std::set<std::tuple<std::string, int, std::string>> seen;
  std::map<std::string, std::set<int>> numbers;
  std::erase_if(parsed, [&](const Parsed& p) {
    numbers[p.message.mission].insert(p.message.number);
    const bool repeat = !seen.emplace(p.message.mission, p.message.number, p.body).second;
    c.repeated_messages += repeat;
    return repeat;
  });
  for (const auto& [mission, n] : numbers)
    for (int k = *n.begin(); k <= *n.rbegin(); ++k)
      c.missing_messages += !n.contains(k) && !faulty.contains(k);
}

void collect(std::vector<Parsed>& parsed, HdobArchive& a) {
  std::set<std::pair<std::string, double>> times;
  for (Parsed& p : parsed) {
    const double day0 =
        *utc_seconds(p.message.date / 10000, p.message.date / 100 % 100, p.message.date % 100, 0);
    const int first = second_of_day(p.lines.front().time_hhmmss);
    for (const HdobRaw& r : p.lines) {
      const int sod = second_of_day(r.time_hhmmss);
      const double t = day0 + sod + (sod < first ? kSecondsPerDay : 0);
      if (!times.emplace(p.message.mission, t).second) {
        ++a.counts.duplicate_observations;
        continue;
      }
      if (transmission_fault(r, a.counts)) continue;
      a.observations.push_back(decode(r, t, a.counts));
      a.observations.back().message = a.messages.size();
    }
    a.messages.push_back(std::move(p.message));
  }
  std::stable_sort(a.observations.begin(), a.observations.end(),
                   [](const HdobObservation& x, const HdobObservation& y) { return x.time < y.time; });
  std::map<std::string, double> last;  // mission -> time of its previous line
  for (HdobObservation& o : a.observations) {
    const std::string& mission = a.messages[o.message].mission;
    const auto it = last.find(mission);
    const double gap = it == last.end() ? std::nan("") : o.time - it->second;
    o.window_s = gap > 0.0 && gap <= kMaxWindowS ? gap : std::nan("");
    last[mission] = o.time;
  }
}

// "HDOB 51" from a message's mission line, as far as it can be read.
std::string hdob_detail(const Message& m) {
  if (m.body.empty()) return {};
  const auto w = words(m.body.front().text);
  for (std::size_t k = 0; k + 1 < w.size(); ++k) {
    if (w[k] == "HDOB") return "HDOB " + std::string(w[k + 1]);
  }
  return {};
}

}  // namespace

HdobArchive read_hdob(std::string_view text, std::string_view file, std::string_view storm) {
  HdobArchive a;
  std::vector<Parsed> parsed;
  std::set<int> faulty;  // numbers of the messages left out as faulty, where their heading line gives one
  for (const Message& m : split_messages(text)) {
    if (kind_of(m) != MessageKind::kHdob) continue;
    try {
      parsed.push_back(parse_message(m));
    } catch (const Fault& f) {
      const std::string detail = hdob_detail(m);
      a.faults.push_back(std::string(file) + ": " + message_name(m, detail) + ", line " +
                         std::to_string(f.line) + ": " + f.what());
      const std::string_view digits =
          std::string_view(detail).substr(std::min<std::size_t>(5, detail.size()));
      if (!digits.empty() && digits.size() <= 3 &&
          std::all_of(digits.begin(), digits.end(), [](char ch) { return ch >= '0' && ch <= '9'; })) {
        int number = 0;
        for (const char ch : digits) number = 10 * number + (ch - '0');
        faulty.insert(number);
      }
    }
  }
  if (parsed.empty()) {
    if (!a.faults.empty()) throw std::runtime_error(a.faults.front());
    throw std::runtime_error(std::string(file) + ": holds no HDOB message");
  }
  choose_storm(parsed, storm, file, a.counts);
  drop_repeats(parsed, faulty, a.counts);
  collect(parsed, a);
  return a;
}

namespace {

void put(std::string& out, std::int32_t v, int width) {
  char s[16];
  if (v == kMissing) {
    out.append(static_cast<std::size_t>(width), '/');
  } else {
    std::snprintf(s, sizeof s, "%0*d", width, static_cast<int>(v));
    out += s;
  }
}

void put_signed(std::string& out, std::int32_t v) {
  if (v == kMissing) {
    out += "////";
    return;
  }
  out += v < 0 ? '-' : '+';
  put(out, v < 0 ? -v : v, 3);
}

}  // namespace

std::string write_hdob(const HdobMessage& m, const std::vector<HdobRaw>& lines) {
  std::string out = m.heading.empty() ? "URNT15 KNHC " : m.heading;
  if (m.heading.empty()) {
    put(out, m.date % 100, 2);
    put(out, lines.empty() ? 0 : lines.front().time_hhmmss / 100, 4);
  }
  std::string name = m.storm_name;
  if (name.size() < 18) name.resize(18, ' ');
  out += "\n" + m.aircraft + " " + m.mission + " " + name + " HDOB ";
  put(out, m.number, 2);
  out += ' ';
  put(out, m.date, 8);
  out += '\n';
  for (const HdobRaw& r : lines) {
    put(out, r.time_hhmmss, 6);
    out += ' ';
    put(out, r.lat_deg, 2);
    put(out, r.lat_min, 2);
    if (r.lat_deg != kMissing) out += r.lat_south ? 'S' : 'N';
    if (r.lat_deg == kMissing) out += '/';
    out += ' ';
    put(out, r.lon_deg, 3);
    put(out, r.lon_min, 2);
    out += r.lon_deg == kMissing ? '/' : (r.lon_west ? 'W' : 'E');
    for (auto [v, w] : {std::pair{r.pressure, 4}, {r.height_m, 5}, {r.extrap, 4}}) {
      out += ' ';
      put(out, v, w);
    }
    out += ' ';
    put_signed(out, r.temperature);
    out += ' ';
    put_signed(out, r.dew_point);
    out += ' ';
    put(out, r.wind_dir_deg, 3);
    put(out, r.wind_kt, 3);
    for (std::int32_t v : {r.peak_wind_kt, r.sfmr_wind_kt, r.rain_mmh}) {
      out += ' ';
      put(out, v, 3);
    }
    out += ' ';
    put(out, r.flag_position, 1);
    put(out, r.flag_met, 1);
    out += '\n';
  }
  out += "$$\n";
  return out;
}

HdobRaw hdob_raw_from(const HdobObservation& o) {
  HdobRaw r;
  // Whole units; a value that does not fit its field (negative, or more digits) is sent as missing.
  const auto fit = [](double v, std::int32_t max, std::int32_t min = 0) {
    if (!std::isfinite(v)) return kMissing;
    const long w = std::lround(v);
    return w >= min && w <= max ? static_cast<std::int32_t>(w) : kMissing;
  };
  const long sod = std::lround(o.time) % kSecondsPerDay;
  r.time_hhmmss = static_cast<std::int32_t>(sod / 3600 * 10000 + sod % 3600 / 60 * 100 + sod % 60);
  if (std::fabs(o.lat) <= 90.0 && std::fabs(o.lon) <= 180.0) {
    const std::int32_t lat_min = fit(std::fabs(o.lat) * 60.0, 90 * 60),
                       lon_min = fit(std::fabs(o.lon) * 60.0, 180 * 60);
    r.lat_deg = lat_min / 60, r.lat_min = lat_min % 60, r.lat_south = o.lat < 0.0;
    r.lon_deg = lon_min / 60, r.lon_min = lon_min % 60, r.lon_west = o.lon < 0.0;
  }
  const auto coded_pressure = [&](double pa) {
    const std::int32_t tenths = fit(pa / kPaPerHpa / kHpaPerTenth, 19999);
    return tenths == kMissing ? kMissing : tenths % 10000;
  };
  r.pressure = coded_pressure(o.static_pressure_pa);
  r.height_m = fit(o.geopotential_height_m, 99999);
  r.extrap = coded_pressure(o.surface_pressure_pa);
  r.temperature = fit(o.air_temperature_c * 10.0, 999, -999);
  r.dew_point = fit(o.dew_point_c * 10.0, 999, -999);
  r.wind_dir_deg = fit(o.wind_from_deg, 360);
  r.wind_kt = fit(o.wind_speed_ms / kMsPerKt, 999);
  r.peak_wind_kt = fit(o.peak_wind_ms / kMsPerKt, 999);
  r.sfmr_wind_kt = fit(o.sfmr_wind_ms / kMsPerKt, 999);
  r.rain_mmh = fit(o.rain_rate_mmh, 999);
  r.flag_position = r.flag_met = 0;
  return r;
}

}  // namespace sfmr::recon
