#include "tracks/track_file.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <stdexcept>

#include "common/input.hpp"
#include "core/calendar.hpp"
#include "core/constants.hpp"
#include "core/text.hpp"

namespace sfmr::storm {

namespace {

struct LineError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Without the blanks and tabs that pad a field on either side.
std::string_view strip(std::string_view s) {
  const std::size_t a = s.find_first_not_of(" \t");
  if (a == std::string_view::npos) return {};
  return s.substr(a, s.find_last_not_of(" \t") - a + 1);
}

std::vector<std::string> split_fields(std::string_view line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = line.find(',', start);
    const std::string_view f =
        line.substr(start, comma == std::string_view::npos ? line.npos : comma - start);
    fields.emplace_back(strip(f));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  // A trailing comma ends the record; it does not add a field.
  if (fields.size() > 1 && fields.back().empty()) fields.pop_back();
  return fields;
}

bool all_digits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A whole number (optionally signed) of the field `index` (1-based), or a fault naming it.
std::int32_t integer_field(const std::vector<std::string>& f, std::size_t index, const char* what) {
  const std::string& s = f.at(index - 1);
  const std::string_view digits = !s.empty() && s[0] == '-' ? std::string_view(s).substr(1) : s;
  std::int32_t v = 0;
  if (!all_digits(digits) || !read_value(s, &v))
    throw LineError("field " + std::to_string(index) + " (" + what + ") '" + s + "' is not a whole number");
  return v;
}

// An optional whole number: NaN when blank or when it is a missing-value code.
double optional_field(const std::vector<std::string>& f, std::size_t index, const char* what,
                      bool zero_missing) {
  if (index > f.size() || f[index - 1].empty()) return std::nan("");
  const std::int32_t v = integer_field(f, index, what);
  if (v == -999 || v < 0 || (zero_missing && v == 0)) return std::nan("");
  return v;
}

// "245N" in tenths (scale 10) or hundredths (100); "24.5N" in degrees (scale 1, a decimal number).
double coordinate(const std::vector<std::string>& f, std::size_t index, int scale, bool latitude) {
  const std::string& s = f.at(index - 1);
  const char* what = latitude ? "latitude" : "longitude";
  auto bad = [&]() {
    return LineError("field " + std::to_string(index) + " (" + what + ") '" + s + "' is not a " + what);
  };
  if (s.size() < 2) throw bad();
  const char h = s.back();
  const bool ok_h = latitude ? (h == 'N' || h == 'S') : (h == 'E' || h == 'W');
  if (!ok_h) throw bad();
  const std::string number = s.substr(0, s.size() - 1);
  double value = 0.0;
  if (scale == 1) {
    float v = 0.0f;
    const bool shape = number.find_first_not_of("0123456789.") == std::string::npos &&
                       std::count(number.begin(), number.end(), '.') <= 1 && number != ".";
    if (!shape || !read_value(number, &v)) throw bad();
    // The decimal text as a double, not its single-precision rounding.
    value = std::round(static_cast<double>(v) * 1000.0) / 1000.0;
  } else {
    std::int32_t v = 0;
    if (!all_digits(number) || !read_value(number, &v)) throw bad();
    value = static_cast<double>(v) / scale;
  }
  if (value > (latitude ? 90.0 : 180.0)) throw bad();
  return (h == 'S' || h == 'W') ? -value : value;
}

// Seconds since 1970 of `s`, YYYYMMDDHH or YYYYMMDDHHMM (digits = 10 or 12); a fault naming `field` when it
// is not of that form or not a time of the calendar (31 February, hour 24, minute 60).
double date_time(const std::string& s, std::size_t digits, const std::string& field) {
  if (s.size() != digits || !all_digits(s))
    throw LineError(field + " '" + s + "' is not " + (digits == 10 ? "YYYYMMDDHH" : "YYYYMMDDHHMM"));
  auto part = [&s](std::size_t at, std::size_t n) {
    std::int32_t v = 0;
    read_value(s.substr(at, n), &v);
    return v;
  };
  const int y = part(0, 4), mo = part(4, 2), d = part(6, 2), h = part(8, 2),
            mi = digits == 12 ? part(10, 2) : 0;
  if (!is_civil_date(y, mo, d) || h > 23 || mi > 59)
    throw LineError(field + " '" + s + "' is not a valid time");
  return double{kSecondsPerDay} * static_cast<double>(days_from_civil(y, mo, d)) + 3600.0 * h + 60.0 * mi;
}

std::string atcf_id(const std::vector<std::string>& f, bool blank_allowed) {
  const std::string& basin = f[0];
  // sfmrstorm's own fixes of a storm it was given no track for: blank basin and cyclone number.
  if (blank_allowed && basin.empty() && f[1].empty()) return "unnumbered-" + f[2].substr(0, 4);
  if (basin.size() != 2 || !std::isupper(static_cast<unsigned char>(basin[0])) ||
      !std::isupper(static_cast<unsigned char>(basin[1])))
    throw LineError("field 1 (basin) '" + basin + "' is not a basin");
  if (f[1].size() != 2 || !all_digits(f[1]))
    throw LineError("field 2 (cyclone number) '" + f[1] + "' is not 01-99");
  return basin + f[1] + f[2].substr(0, 4);
}

// The four radii of a b-deck line with quadrant radii (code NEQ) of 34, 50 or 64 kt, in their places of
// p.radii_nmi; other lines leave them missing.
void bdeck_radii(const std::vector<std::string>& f, TrackPoint& p) {
  if (f.size() < 17 || f[12] != "NEQ") return;
  const double threshold = optional_field(f, 12, "wind threshold", true);
  const std::size_t row = threshold == 34.0 ? 0 : threshold == 50.0 ? 1 : threshold == 64.0 ? 2 : 3;
  if (row == 3) return;
  for (std::size_t q = 0; q < 4; ++q)
    p.radii_nmi[4 * row + q] = optional_field(f, 14 + q, "wind radius", true);
}

TrackFormat detect(const std::vector<std::string>& f) {
  if (f.size() >= 3 && f.size() <= 4 && f[0].size() == 8 && all_digits(f[0].substr(2)))
    return TrackFormat::kHurdat2;
  if (f.size() >= 8 && all_digits(f[2]) && f[2].size() == 10) return TrackFormat::kBdeck;
  if (f.size() >= 9 && all_digits(f[2]) && f[2].size() == 12 && all_digits(f[3])) return TrackFormat::kFdeck;
  throw std::runtime_error("not an ATCF b-deck, f-deck or HURDAT2 file");
}

// The storms of a file as its lines are read, in the order of their first line, with the storm header
// of a HURDAT2 file in force.
struct Storms {
  std::map<std::string, StormTrack> by_id;
  std::vector<std::string> order;
  std::string hurdat_id, hurdat_name;

  void add(const std::string& id, const std::string& name, const TrackPoint& p) {
    auto [it, fresh] = by_id.try_emplace(id);
    if (fresh) {
      order.push_back(id);
      it->second.id = id;
    }
    if (it->second.name.empty()) it->second.name = name;
    it->second.points.push_back(p);
  }
};

void read_bdeck_line(const std::vector<std::string>& f, Storms& storms) {
  if (f.size() < 11)
    throw LineError("has " + std::to_string(f.size()) + " fields, a b-deck line at least 11");
  TrackPoint p;
  p.time = date_time(f.at(2), 10, "field 3 (date-time)");
  p.lat = coordinate(f, 7, 10, true);
  p.lon = coordinate(f, 8, 10, false);
  p.vmax_kt = optional_field(f, 9, "Vmax", true);
  p.rmw_nmi = optional_field(f, 20, "RMW", true);
  bdeck_radii(f, p);
  storms.add(atcf_id(f, false), f.size() >= 28 ? f[27] : "", p);
}

void read_fdeck_line(const std::vector<std::string>& f, Storms& storms) {
  if (f.size() < 9) throw LineError("has " + std::to_string(f.size()) + " fields, an f-deck line at least 9");
  TrackPoint p;
  p.time = date_time(f.at(2), 12, "field 3 (date-time)");
  if (f[5].find('C') == std::string::npos) return;  // not a centre fix
  p.lat = coordinate(f, 8, 100, true);
  p.lon = coordinate(f, 9, 100, false);
  p.vmax_kt = optional_field(f, 12, "wind speed", true);
  p.rmw_nmi = optional_field(f, 28, "RMW", true);
  storms.add(atcf_id(f, true), "", p);
}

// A storm header sets the storm of the data lines after it.
void read_hurdat_line(const std::vector<std::string>& f, Storms& storms) {
  if (f.size() <= 4 && f[0].size() == 8 && all_digits(f[0].substr(2))) {
    storms.hurdat_id = f[0];
    storms.hurdat_name = f.size() > 1 ? f[1] : "";
    if (!std::isupper(static_cast<unsigned char>(f[0][0])) ||
        !std::isupper(static_cast<unsigned char>(f[0][1])))
      throw LineError("field 1 (storm id) '" + f[0] + "' is not a basin, number and year");
    return;
  }
  if (storms.hurdat_id.empty()) throw LineError("a data line before any storm header");
  if (f.size() != 20 && f.size() != 21)
    throw LineError("has " + std::to_string(f.size()) + " fields, a HURDAT2 data line 20 or 21");
  if (f[0].size() != 8 || !all_digits(f[0])) throw LineError("field 1 (date) '" + f[0] + "' is not YYYYMMDD");
  if (f[1].size() != 4 || !all_digits(f[1])) throw LineError("field 2 (time) '" + f[1] + "' is not HHMM");
  TrackPoint p;
  p.time = date_time(f[0] + f[1], 12, "fields 1 and 2 (date and time)");
  p.lat = coordinate(f, 5, 1, true);
  p.lon = coordinate(f, 6, 1, false);
  p.vmax_kt = optional_field(f, 7, "Vmax", false);
  p.rmw_nmi = f.size() == 21 ? optional_field(f, 21, "RMW", false) : std::nan("");
  for (std::size_t k = 0; k < p.radii_nmi.size(); ++k)
    p.radii_nmi[k] = optional_field(f, 9 + k, "wind radius", true);
  storms.add(storms.hurdat_id, storms.hurdat_name, p);
}

// The points of `s` in time order, one per time: the b-deck repeats a time for each wind threshold, each
// line with its radii, merged here.
void merge_times(StormTrack& s) {
  std::stable_sort(s.points.begin(), s.points.end(),
                   [](const TrackPoint& a, const TrackPoint& b) { return a.time < b.time; });
  std::vector<TrackPoint> merged;
  for (const TrackPoint& p : s.points) {
    if (merged.empty() || merged.back().time != p.time) {
      merged.push_back(p);
      continue;
    }
    for (std::size_t k = 0; k < p.radii_nmi.size(); ++k)
      if (std::isnan(merged.back().radii_nmi[k])) merged.back().radii_nmi[k] = p.radii_nmi[k];
  }
  s.points = std::move(merged);
}

}  // namespace

const char* format_name(TrackFormat format) {
  switch (format) {
    case TrackFormat::kBdeck:
      return "ATCF b-deck";
    case TrackFormat::kFdeck:
      return "ATCF f-deck";
    default:
      return "HURDAT2";
  }
}

TrackFile parse_track_file(std::string_view text) {
  TrackFile file;
  Storms storms;
  bool detected = false;
  std::size_t line_no = 0;
  for (const std::string_view line : tool::lines_of(text)) {
    ++line_no;
    if (strip(line).empty()) continue;
    const std::vector<std::string> f = split_fields(line);
    try {
      if (!detected) {
        try {
          file.format = detect(f);
        } catch (const std::runtime_error&) {
          throw std::runtime_error("not an ATCF b-deck, f-deck or HURDAT2 file (line " +
                                   std::to_string(line_no) + ")");
        }
        detected = true;
      }
      switch (file.format) {
        case TrackFormat::kBdeck:
          read_bdeck_line(f, storms);
          break;
        case TrackFormat::kFdeck:
          read_fdeck_line(f, storms);
          break;
        case TrackFormat::kHurdat2:
          read_hurdat_line(f, storms);
          break;
      }
    } catch (const LineError& e) {
      throw std::runtime_error("line " + std::to_string(line_no) + ": " + e.what());
    } catch (const std::out_of_range&) {
      throw std::runtime_error("line " + std::to_string(line_no) + ": too few fields");
    }
  }
  if (!detected) throw std::runtime_error("not an ATCF b-deck, f-deck or HURDAT2 file (no data line)");
  for (const std::string& id : storms.order) {
    StormTrack s = std::move(storms.by_id[id]);
    merge_times(s);
    file.storms.push_back(std::move(s));
  }
  return file;
}

std::string counted_list(const std::vector<std::string>& items, const std::string& one,
                         const std::string& many) {
  std::string out = std::to_string(items.size()) + " " + (items.size() == 1 ? one : many) + ":";
  for (std::size_t i = 0; i < items.size(); ++i) {
    // The first nine and the last when there are more than ten.
    if (items.size() > 10 && i == 9) out += " ...";
    if (items.size() > 10 && i >= 9 && i + 1 < items.size()) continue;
    out += " " + items[i];
  }
  return out;
}

const StormTrack& choose_storm(const TrackFile& file, const std::string& id) {
  std::vector<std::string> ids;
  for (const StormTrack& s : file.storms) ids.push_back(s.id);
  const std::string names = counted_list(ids, "storm", "storms");
  if (file.storms.empty()) throw std::runtime_error("the track file holds no centre positions");
  if (id.empty()) {
    if (file.storms.size() == 1) return file.storms.front();
    throw std::runtime_error("the track file holds " + names + "; choose one with --storm");
  }
  for (const StormTrack& s : file.storms)
    if (s.id == id) return s;
  throw std::runtime_error("storm " + id + " is not in the track file (it holds " + names + ")");
}

double track_value(const StormTrack& track, double time, double TrackPoint::*field) {
  const auto& p = track.points;
  if (p.size() == 1) return p[0].*field;
  std::size_t k = 1;
  while (k + 1 < p.size() && p[k].time < time) ++k;
  const double f = (time - p[k - 1].time) / (p[k].time - p[k - 1].time);
  return p[k - 1].*field + f * (p[k].*field - p[k - 1].*field);
}

void track_position(const StormTrack& track, double time, double& lat, double& lon) {
  lat = track_value(track, time, &TrackPoint::lat);
  lon = track_value(track, time, &TrackPoint::lon);
}

}  // namespace sfmr::storm
