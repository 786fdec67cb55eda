#include "plot/plot_data.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <numbers>
#include <utility>

#include "core/text.hpp"
#include "look/flight_summary.hpp"

namespace sfmr::plot {

using look::Band;
using look::band_colour;
using look::band_label;
using look::band_of;
using look::has_onboard;
using look::has_position;
using look::has_retrieval;
using look::kBands;
using look::TruthSecond;

namespace {

constexpr double kMinSpan = 1.0;   // deg: the smallest side of the map
constexpr double kMargin = 0.08;   // share of the track's extent added on each side
constexpr double kMinRatio = 0.6;  // height / width limits of the map: the shorter side is widened
constexpr double kMaxRatio = 1.25;
constexpr double kTrackStep = 1.0 / 1500.0;  // share of the map's width: about half a pixel
constexpr double kTrackWind = 0.5;           // m/s
constexpr double kJump = 0.5;  // deg: farther than an aircraft flies between two lines of the output file

constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

// A value to the millimetre (m/s, mm/h) or the thousandth of a degree the plots were drawn from when their
// data went to gnuplot as text: far below a pixel, and the pictures stay exactly as they were.
double milli(double v) {
  return std::round(v * 1000.0) / 1000.0;
}

// One record of a binary data file: the values as native doubles.
void put(std::ostream& os, std::initializer_list<double> values) {
  for (const double v : values) os.write(reinterpret_cast<const char*>(&v), sizeof v);
}

double longitude(const flight::OutSecond& s, bool shifted) {
  return shifted && s.Lon < 0.0f ? s.Lon + 360.0 : s.Lon;
}

}  // namespace

void write_series(const SeriesFiles& files, const std::vector<flight::OutSecond>& seconds,
                  const std::map<int, TruthSecond>& truth) {
  for (const flight::OutSecond& o : seconds) {
    const auto t = static_cast<double>(o.elapsed);
    if (has_retrieval(o)) put(files.retrieved, {t, milli(o.SFWS), milli(o.SFRR)});
    if (has_onboard(o)) put(files.onboard, {t, milli(o.PSWS), milli(o.PSRR)});
    if (!files.truth) continue;
    const auto it = truth.find(o.clock);
    const bool known = it != truth.end() && !it->second.land;
    put(*files.truth, {t, known ? milli(it->second.ws) : kNoValue, known ? milli(it->second.rr) : kNoValue});
  }
}

void write_bands(std::ostream& os, const std::vector<flight::OutSecond>& seconds) {
  // Half of a whole number of seconds, exactly: "n" or "n.5".
  const auto half = [&os](std::int64_t twice) -> std::ostream& {
    return os << twice / 2 << (twice % 2 != 0 ? ".5" : "");
  };
  os << "# middle_s y half_s half_y colour\n";
  std::size_t i = 0;
  while (i < seconds.size()) {
    const Band band = band_of(seconds[i].Err);
    std::size_t j = i + 1;
    // A run ends at a change of band or at a gap in time.
    while (j < seconds.size() && band_of(seconds[j].Err) == band &&
           seconds[j].elapsed == seconds[j - 1].elapsed + 1)
      ++j;
    const std::int64_t start = seconds[i].elapsed, end = seconds[j - 1].elapsed + 1;
    half(start + end) << " 0.5 ";
    half(end - start) << " 0.5 " << band_colour(band) << '\n';
    i = j;
  }
}

void write_band_names(std::ostream& os) {
  os << "array band_name[" << kBands << "] = [";
  for (int b = 0; b < kBands; ++b)
    os << (b > 0 ? ", " : "") << gnuplot_string(std::string(band_label(static_cast<Band>(b))));
  os << "]\narray band_colour[" << kBands << "] = [";
  for (int b = 0; b < kBands; ++b) os << (b > 0 ? ", " : "") << band_colour(static_cast<Band>(b));
  os << "]\n";
}

std::string degree_tics(double lo, double hi, const char* positive, const char* negative) {
  static constexpr double kSteps[] = {0.25, 0.5, 1.0, 2.0, 5.0, 10.0, 20.0, 30.0};
  double step = kSteps[0];
  for (double s : kSteps) {
    step = s;
    if ((hi - lo) / s <= 7.0) break;
  }
  std::string list = "(";
  for (double v = std::ceil(lo / step - 1e-9) * step; v <= hi + 1e-9; v += step) {
    double shown = v > 180.0 ? v - 360.0 : v;
    const int decimals = step < 0.5 ? 2 : step < 1.0 ? 1 : 0;
    const std::string text = format_trimmed(std::fabs(shown), decimals);
    const char* hemisphere = shown > 0.0 ? positive : shown < 0.0 ? negative : "";
    if (list.size() > 1) list += ", ";
    list += "\"" + text + "°" + hemisphere + "\" " + format_F(v, 10, 3);
  }
  return list + ")";
}

std::optional<MapFrame> map_frame(const std::vector<flight::OutSecond>& seconds) {
  MapFrame f;
  // The positions the frame holds: each valid position next to a valid neighbour within kJump. A garbled
  // record's position, far from both of its neighbours, would otherwise stretch the map round the globe;
  // its point is still drawn when it lies on the map. No position has such a neighbour (a track of single
  // seconds far apart): all of them.
  std::vector<const flight::OutSecond*> valid, framed;
  for (const flight::OutSecond& o : seconds)
    if (has_position(o)) valid.push_back(&o);
  const auto near = [](const flight::OutSecond* a, const flight::OutSecond* b) {
    const double dlon = std::fabs(a->Lon - b->Lon);
    return std::fabs(a->Lat - b->Lat) <= kJump && std::min(dlon, 360.0 - dlon) <= kJump;
  };
  for (std::size_t k = 0; k < valid.size(); ++k)
    if ((k > 0 && near(valid[k], valid[k - 1])) || (k + 1 < valid.size() && near(valid[k], valid[k + 1])))
      framed.push_back(valid[k]);
  if (framed.empty()) framed = valid;
  double lon_min = 1e9, lon_max = -1e9;
  for (const flight::OutSecond* o : framed) {
    lon_min = std::min<double>(lon_min, o->Lon);
    lon_max = std::max<double>(lon_max, o->Lon);
  }
  if (lon_min > lon_max) return std::nullopt;
  // A track across the dateline is drawn in 0..360.
  f.shifted = lon_max - lon_min > 180.0;
  double w = 1e9, e = -1e9, s = 1e9, n = -1e9;
  for (const flight::OutSecond* o : framed) {
    const double lon = longitude(*o, f.shifted);
    w = std::min(w, lon);
    e = std::max(e, lon);
    s = std::min<double>(s, o->Lat);
    n = std::max<double>(n, o->Lat);
  }
  const auto widen = [](double& lo, double& hi, double span) {
    const double mid = 0.5 * (lo + hi);
    lo = mid - 0.5 * span;
    hi = mid + 0.5 * span;
  };
  widen(w, e, std::max(kMinSpan, (e - w) * (1.0 + 2.0 * kMargin)));
  widen(s, n, std::max(kMinSpan, (n - s) * (1.0 + 2.0 * kMargin)));
  // Plate carree scaled for the middle latitude: a degree of longitude is cos(lat) degrees of latitude long.
  const double scale = std::cos(std::clamp(0.5 * (s + n), -80.0, 80.0) * std::numbers::pi / 180.0);
  const double ratio = (n - s) / ((e - w) * scale);
  if (ratio < kMinRatio) widen(s, n, kMinRatio * (e - w) * scale);
  if (ratio > kMaxRatio) widen(w, e, (n - s) / (kMaxRatio * scale));
  // A track (or a campaign's tracks, or a garbled position among them) spread round the globe: the map
  // shows the whole of it once, GMT takes no region wider than that.
  if (e - w > 360.0) widen(w, e, 360.0);
  if (s < -90.0) n -= s + 90.0, s = -90.0;
  if (n > 90.0) s -= n - 90.0, n = 90.0;
  f.west = w;
  f.east = e;
  f.south = std::max(s, -90.0);
  f.north = std::min(n, 90.0);
  f.ratio = (f.north - f.south) / ((f.east - f.west) * scale);
  f.xtics = degree_tics(f.west, f.east, "E", "W");
  f.ytics = degree_tics(f.south, f.north, "N", "S");
  return f;
}

void write_track(std::ostream& retrieved, std::ostream& unretrieved,
                 const std::vector<flight::OutSecond>& seconds, const MapFrame& frame) {
  // A point that would land on the previous one (closer than kTrackStep of the map's width, same retrieval
  // state, wind within kTrackWind) adds nothing to the picture and is left out.
  const double step = kTrackStep * (frame.east - frame.west);
  const flight::OutSecond* kept = nullptr;
  for (const flight::OutSecond& o : seconds) {
    if (!has_position(o)) continue;
    const bool solved = has_retrieval(o);
    if (kept && solved == has_retrieval(*kept) && std::fabs(o.Lat - kept->Lat) < step &&
        std::fabs(longitude(o, frame.shifted) - longitude(*kept, frame.shifted)) < step &&
        (!solved || std::fabs(o.SFWS - kept->SFWS) < kTrackWind))
      continue;
    kept = &o;
    const double lon = milli(longitude(o, frame.shifted)), lat = milli(o.Lat);
    const auto t = static_cast<double>(o.elapsed);
    if (solved)
      put(retrieved, {lon, lat, milli(o.SFWS), t});
    else
      put(unretrieved, {lon, lat, t});
  }
}

namespace {

// A closed loop of the land's outline, corners in lattice units (corner I, J of the cells is at
// west + (I - 0.5) dx, south + (J - 0.5) dy), only where the outline turns.
using Loop = std::vector<std::pair<int, int>>;

// The outlines of the land cells, each loop with land on its left: every side of a land cell that faces
// water (or the raster's edge) is a directed edge, and the edges are chained corner by corner. At a corner
// where two land cells touch diagonally the loop turns left, round the cell it came along, so that cells
// touching only at a corner belong to different loops (as their images do).
std::vector<Loop> trace_outlines(const std::vector<unsigned char>& mask, int nx, int ny) {
  const auto land = [&](int i, int j) {
    if (i < 0 || j < 0 || i >= nx || j >= ny) return false;
    const std::size_t node = static_cast<std::size_t>(j) * nx + i;
    return node < mask.size() && mask[node] != 0;
  };
  // Directions 0 east, 1 north, 2 west, 3 south; up to two edges leave a corner (at a diagonal touch).
  static constexpr int kStep[4][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
  const int corners_x = nx + 1;
  const auto corner = [&](int i, int j) { return static_cast<std::size_t>(j) * corners_x + i; };
  std::vector<std::array<signed char, 2>> out(static_cast<std::size_t>(corners_x) * (ny + 1), {-1, -1});
  const auto add = [&](int i, int j, int dir) {
    auto& o = out[corner(i, j)];
    o[o[0] < 0 ? 0 : 1] = static_cast<signed char>(dir);
  };
  std::size_t edges = 0;
  for (int j = 0; j < ny; ++j)
    for (int i = 0; i < nx; ++i) {
      if (!land(i, j)) continue;
      if (!land(i, j - 1)) add(i, j, 0), ++edges;          // bottom side, eastwards
      if (!land(i + 1, j)) add(i + 1, j, 1), ++edges;      // right side, northwards
      if (!land(i, j + 1)) add(i + 1, j + 1, 2), ++edges;  // top side, westwards
      if (!land(i - 1, j)) add(i, j + 1, 3), ++edges;      // left side, southwards
    }
  std::vector<Loop> loops;
  for (int j0 = 0; j0 <= ny && edges > 0; ++j0)
    for (int i0 = 0; i0 <= nx; ++i0) {
      while (out[corner(i0, j0)][0] >= 0) {
        Loop loop;
        int i = i0, j = j0, previous = -1;
        do {
          auto& o = out[corner(i, j)];
          // Of two edges leaving the corner, the one turning left from the way we came.
          int k = 0;
          if (o[1] >= 0 && previous >= 0 && o[1] == (previous + 1) % 4) k = 1;
          const int dir = o[k];
          o[k] = o[1 - k];
          o[1] = -1;
          --edges;
          if (dir != previous) loop.emplace_back(i, j);
          i += kStep[dir][0];
          j += kStep[dir][1];
          previous = dir;
        } while (i != i0 || j != j0);
        loops.push_back(std::move(loop));
      }
    }
  return loops;
}

// How many of `loops` enclose loop `k`: a horizontal ray from the middle of one of its vertical sides
// crosses the vertical sides of each loop around it an odd number of times. The ray runs half a cell
// between corners, so it never meets a corner.
int nesting(const std::vector<Loop>& loops, std::size_t k) {
  const Loop& own = loops[k];
  std::size_t v = 0;
  while (own[v].first != own[(v + 1) % own.size()].first) ++v;
  const int x = own[v].first;
  const double y = std::min(own[v].second, own[(v + 1) % own.size()].second) + 0.5;
  int depth = 0;
  for (std::size_t m = 0; m < loops.size(); ++m) {
    if (m == k) continue;
    bool inside = false;
    const Loop& l = loops[m];
    for (std::size_t a = 0; a < l.size(); ++a) {
      const auto& p = l[a];
      const auto& q = l[(a + 1) % l.size()];
      if (p.first != q.first || p.first <= x) continue;
      if ((p.second < y) != (q.second < y)) inside = !inside;
    }
    depth += inside ? 1 : 0;
  }
  return depth;
}

}  // namespace

int write_land_outlines(std::ostream& os, const std::vector<unsigned char>& mask, const LandGrid& grid) {
  const std::vector<Loop> loops = trace_outlines(mask, grid.nx, grid.ny);
  std::vector<int> depth(loops.size());
  int levels = 0;
  for (std::size_t k = 0; k < loops.size(); ++k) {
    depth[k] = nesting(loops, k);
    levels = std::max(levels, depth[k] + 1);
  }
  for (int level = 0; level < levels; ++level) {
    if (level > 0) os << "\n\n";
    for (std::size_t k = 0; k < loops.size(); ++k) {
      if (depth[k] != level) continue;
      for (const auto& [i, j] : loops[k])
        os << format_F(grid.west + (i - 0.5) * grid.dx, 14, 6)
           << format_F(grid.south + (j - 0.5) * grid.dy, 14, 6) << '\n';
      os << '\n';
    }
  }
  return levels;
}

int convert_segments(std::istream& gmt, std::ostream& out, bool shifted) {
  int points = 0;
  bool started = false;
  double previous = 0.0;  // the segment's last longitude, when shifted
  for (std::string line; std::getline(gmt, line);) {
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '>') {
      if (started) out << '\n';
      started = false;
      continue;
    }
    // GMT writes longitudes in -180..180 whatever the region; a map across the dateline is drawn in 0..360,
    // and a segment is broken where it would jump round the map (across 0 then).
    const std::size_t end = line.find_first_of(" \t");
    float lon = 0.0f;  // to a metre or so, far below a pixel
    if (shifted && end != std::string::npos && read_value(std::string_view(line).substr(0, end), &lon)) {
      const double moved = lon < 0.0f ? lon + 360.0 : lon;
      if (started && std::fabs(moved - previous) > 180.0) out << '\n';
      previous = moved;
      if (lon < 0.0f) {
        line = format_trimmed(moved, 8) + line.substr(end);
      }
    }
    out << line << '\n';
    started = true;
    ++points;
  }
  return points;
}

std::string gnuplot_string(const std::string& text) {
  std::string s = "'";
  for (char c : text) {
    if (c == '\'') s += '\'';
    s += c;
  }
  return s + "'";
}

}  // namespace sfmr::plot
