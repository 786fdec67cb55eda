#include "sonde/surface_wind.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <sstream>

#include "common/input.hpp"
#include "core/text.hpp"

namespace sfmr::sonde {

namespace {

// The WL150 rule: the layer's depth, the share of it the winds must span, the fewest winds and the longest
// time between two winds inside the layer (m, -, -, s).
constexpr double kWl150Depth = 150.0;
constexpr double kLayerCover = 0.75;
constexpr std::size_t kLayerWinds = 3;
constexpr double kLayerGap = 40.0;
// MBL: the mean of the lowest 500 m above the sea, m. A message's MBL states no mean height: the layer's
// middle is taken.
constexpr double kMblTop = 500.0;

// Standard errors of the 10-m wind, m/s, one figure per method.
// A lowest wind is one half-second sample: near-instantaneous, it carries the gusts of the surface layer,
// whose turbulence intensity (the standard deviation of the wind along its mean over the mean) is near 0.1
// in hurricanes (Zhang, Drennan, Black and French 2009, J. Atmos. Sci. 66), and the GPS wind's own error,
// the 0.5 m/s at the lower end of the 0.5-2 m/s Hock and Franklin (1999, Bull. Amer. Meteor. Soc. 80)
// give (their upper end includes that turbulence): sqrt(0.5^2 + (0.1 U)^2).
// A reduced layer mean averages the gusts but still holds some: the top of Hock and Franklin's range,
// 2 m/s, with the factor's own uncertainty, 0.05 (about the spread between the eyewall's and the outer
// vortex's factors in Franklin, Black and Valde 2003) times the layer's speed, in quadrature.
constexpr double kGpsWindError = 0.5;
constexpr double kTurbulenceIntensity = 0.1;
constexpr double kLayerMeanError = 2.0;
constexpr double kFactorError = 0.05;

// Built-in reduction factors: the ratio of the 10-m wind to the wind at the layer's mean height zm of a
// neutral logarithmic profile, ln(10 m / z0) / ln(zm / z0), with the sea's roughness length z0 = 1e-4 m.
// For the thin WL150 layer the wind at the mean height is within 2 % of the layer mean. The profile gives
// 0.78 for the MBL layer (zm = 250 m), close to the 0.8 Franklin, Black and Valde (2003) found for the MBL
// wind in the eyewall; it has no low-level maximum and so errs most for deep layers outside the eyewall.
// A table from the paper or from local practice can replace it (read_reduction_table).
const std::vector<std::pair<double, double>> kLogProfileFactors = {
    {10.0, 1.0},    {20.0, 0.943},  {30.0, 0.913},  {40.0, 0.893},  {50.0, 0.877},
    {60.0, 0.865},  {75.0, 0.851},  {100.0, 0.833}, {125.0, 0.820}, {150.0, 0.810},
    {200.0, 0.794}, {250.0, 0.782}, {300.0, 0.772}, {400.0, 0.757}, {500.0, 0.746},
};

double to_rad(double deg) {
  return deg * std::numbers::pi / 180.0;
}

struct Sample {
  double z, t, u, v;
};

// The winds with a height, lowest first (u, v the components the wind blows towards, m/s).
// The profile is the wind levels (or a sounding's samples) when there are any: the standard levels' winds
// are then interpolated from them, not measurements of their own.
std::vector<Sample> wind_samples(const std::vector<Level>& levels) {
  const auto measured = [](const Level& l) {
    return (l.kind == LevelKind::kWind || l.kind == LevelKind::kSample) && l.wind.known();
  };
  const bool only_measured = std::any_of(levels.begin(), levels.end(), measured);
  std::vector<Sample> out;
  for (const Level& l : levels) {
    if (!l.wind.known() || !std::isfinite(l.height) || (only_measured && !measured(l))) continue;
    const double a = to_rad(l.wind.from_deg);
    out.push_back({l.height, l.time, -l.wind.speed * std::sin(a), -l.wind.speed * std::cos(a)});
  }
  std::stable_sort(out.begin(), out.end(), [](const Sample& a, const Sample& b) { return a.z < b.z; });
  return out;
}

Wind from_components(double u, double v) {
  double dir = std::atan2(-u, -v) * 180.0 / std::numbers::pi;
  if (dir < 0.0) dir += 360.0;
  return {.from_deg = dir, .speed = std::hypot(u, v)};
}

// The depth-weighted (trapezoid) mean of u and v from the lowest wind up to `top` (m), the value at `top`
// interpolated from the winds around it; the layer stops before a gap of more than kLayerGap seconds.
LayerWind layer_mean(const std::vector<Sample>& s, double top) {
  if (s.empty() || !(s[0].z < top)) return {};
  std::vector<Sample> layer{s[0]};
  std::size_t measured = 1;  // winds of the layer, without a value interpolated at its top
  for (std::size_t i = 1; i < s.size(); ++i) {
    const Sample& a = layer.back();
    if (std::isfinite(a.t) && std::isfinite(s[i].t) && std::fabs(s[i].t - a.t) > kLayerGap) break;
    if (s[i].z <= top) {
      layer.push_back(s[i]);
      ++measured;
      continue;
    }
    const double w = (top - a.z) / (s[i].z - a.z);
    layer.push_back({top, kNaN, a.u + w * (s[i].u - a.u), a.v + w * (s[i].v - a.v)});
    break;
  }
  // The winds themselves must span the share of the layer: a value interpolated at its top does not count.
  const double span = layer.back().z - layer.front().z;
  if (measured < kLayerWinds || layer[measured - 1].z - layer.front().z < kLayerCover * (top - s[0].z))
    return {};
  double su = 0.0, sv = 0.0;
  for (std::size_t i = 1; i < layer.size(); ++i) {
    const double dz = layer[i].z - layer[i - 1].z;
    su += 0.5 * dz * (layer[i].u + layer[i - 1].u);
    sv += 0.5 * dz * (layer[i].v + layer[i - 1].v);
  }
  return {.wind = from_components(su / span, sv / span),
          .mean_height = 0.5 * (layer.front().z + layer.back().z)};
}

double reduced_error(double layer_speed) {
  return std::hypot(kLayerMeanError, kFactorError * layer_speed);
}

double lowest_error(double speed) {
  return std::hypot(kGpsWindError, kTurbulenceIntensity * speed);
}

}  // namespace

double ReductionTable::factor(double mean_height) const {
  if (rows.empty() || !std::isfinite(mean_height)) return kNaN;
  if (mean_height <= rows.front().first) return rows.front().second;
  for (std::size_t i = 1; i < rows.size(); ++i) {
    if (mean_height <= rows[i].first) {
      const auto& [z0, f0] = rows[i - 1];
      const auto& [z1, f1] = rows[i];
      return f0 + (mean_height - z0) / (z1 - z0) * (f1 - f0);
    }
  }
  return rows.back().second;
}

const ReductionTable& default_reduction() {
  static const ReductionTable table{
      kLogProfileFactors,
      "built-in: neutral log profile, z0 = 1e-4 m (Franklin, Black and Valde 2003 for MBL)"};
  return table;
}

ReductionTable read_reduction_table(std::string_view text, std::string source) {
  ReductionTable table{{}, std::move(source)};
  const std::vector<std::string_view> lines = tool::lines_of(text);
  for (std::size_t line_no = 1; line_no <= lines.size(); ++line_no) {
    std::string line(lines[line_no - 1]);
    if (const std::size_t hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    const auto fault = [&](const std::string& what) {
      return SondeError("line " + std::to_string(line_no) + ": " + what);
    };
    float z = 0.0f, f = 0.0f, extra = 0.0f;
    int filled = 0;
    for (char& c : line) c = c == '\r' ? ' ' : c;
    if (line.find_first_of(",/*") != std::string::npos || read_free(line, {&z, &f, &extra}, &filled) > 0 ||
        filled != 2)
      throw fault("not 'MEAN_HEIGHT_M FACTOR'");
    if (!(z >= 0.0f && z <= 5000.0f)) throw fault("mean height not from 0 to 5000 m");
    if (!(f > 0.0f && f <= 1.5f)) throw fault("factor not above 0 and at most 1.5");
    if (!table.rows.empty() && !(z > table.rows.back().first)) throw fault("mean heights must increase");
    table.rows.emplace_back(z, f);
  }
  if (table.rows.size() < 2)
    throw SondeError("line " + std::to_string(lines.size()) + ": fewer than two rows");
  return table;
}

LayerWind wl150_from_profile(const std::vector<Level>& levels) {
  const std::vector<Sample> s = wind_samples(levels);
  return s.empty() ? LayerWind{} : layer_mean(s, s[0].z + kWl150Depth);
}

LayerWind mbl_from_profile(const std::vector<Level>& levels) {
  return layer_mean(wind_samples(levels), kMblTop);
}

std::string_view method_name(Method method) {
  switch (method) {
    case Method::kLowest:
      return "lowest";
    case Method::kWl150:
      return "wl150";
    case Method::kMbl:
      return "mbl";
    case Method::kNone:
      break;
  }
  return "";
}

SurfaceEstimate estimate_surface_wind(const Sonde& sonde, const ReductionTable& table) {
  SurfaceEstimate e;
  e.wl150_profile = wl150_from_profile(sonde.levels);
  if (e.wl150_profile.wind.known() && sonde.wl150.wind.known())
    e.wl150_check = "WL150 profile " + format_trimmed(e.wl150_profile.wind.speed, 1) + " m/s " +
                    format_trimmed(e.wl150_profile.wind.from_deg, 0) + " deg, message " +
                    format_trimmed(sonde.wl150.wind.speed, 1) + " m/s " +
                    format_trimmed(sonde.wl150.wind.from_deg, 0) + " deg";
  const std::vector<Sample> s = wind_samples(sonde.levels);
  if (!s.empty() && s[0].z <= kLowestWindHeight) {
    const Sample& low = s[0];
    e.wind = from_components(low.u, low.v);
    e.method = Method::kLowest;
    e.method_text = "lowest wind at " + format_trimmed(low.z, 0) + " m";
    e.error = lowest_error(e.wind.speed);
    return e;
  }
  const auto reduce = [&](Method m, const char* name, const LayerWind& layer) {
    const double f = table.factor(layer.mean_height);
    e.wind = {.from_deg = layer.wind.from_deg, .speed = f * layer.wind.speed};
    e.method = m;
    e.method_text = std::string(name) + " x " + format_trimmed(f, 3) + " (mean height " +
                    format_trimmed(layer.mean_height, 0) + " m)";
    e.error = reduced_error(layer.wind.speed);
  };
  if (e.wl150_profile.wind.known()) {
    reduce(Method::kWl150, "WL150", e.wl150_profile);
  } else if (sonde.wl150.wind.known() && std::isfinite(sonde.wl150.mean_height)) {
    reduce(Method::kWl150, "message WL150", sonde.wl150);
  } else if (const LayerWind mbl = mbl_from_profile(sonde.levels); mbl.wind.known()) {
    reduce(Method::kMbl, "MBL", mbl);
  } else if (sonde.mbl.wind.known()) {
    reduce(Method::kMbl, "message MBL", {sonde.mbl.wind, 0.5 * kMblTop});
  } else {
    e.note = s.empty() ? "no wind with a height"
                       : "lowest wind " + format_trimmed(s[0].z, 0) + " m up, no WL150 or MBL";
  }
  return e;
}

}  // namespace sfmr::sonde
