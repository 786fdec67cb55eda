// The sonde's 10-m wind, and the layer-mean winds it is estimated from.
//
// A dropsonde's lowest wind is its surface wind when it lies within 15 m of the sea. Otherwise a layer-mean
// wind is reduced to 10 m with a factor that depends on the layer's mean height (Franklin, Black and Valde
// 2003, Wea. Forecasting 18): WL150, the mean of the 150 m above the lowest wind, else MBL, the mean of the
// lowest 500 m. WL150 is computed from the profile when the profile has the winds for it (the rule of the
// EOL/ASPEN processing: the depth-weighted mean of u and v over the 150 m above the lowest wind, at least
// three winds spanning at least 112.5 m, the layer stopping at a gap of more than 40 s between winds), and
// compared with the message's own WL150 when both are there.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sonde/sonde.hpp"

namespace sfmr::sonde {

// A wind within this height of the sea is taken as the 10-m wind as it stands, m.
inline constexpr double kLowestWindHeight = 15.0;

// Factors that reduce a layer-mean wind to 10 m, by the layer's mean height (m), interpolated linearly
// between rows and held at the end rows.
struct ReductionTable {
  std::vector<std::pair<double, double>> rows;  // (mean height m, factor), heights increasing
  std::string source;                           // where the factors come from
  double factor(double mean_height) const;
};

// The built-in table (its source and derivation are stated beside it).
const ReductionTable& default_reduction();

// A table file: lines "MEAN_HEIGHT_M FACTOR", '#' comments and blank lines ignored; at least two rows,
// heights from 0 to 5000 m strictly increasing, factors above 0 and at most 1.5. Throws SondeError
// "line N: what is wrong".
ReductionTable read_reduction_table(std::string_view text, std::string source);

// WL150 and MBL computed from the sonde's winds with heights (levels with a known wind and height); an
// unknown wind when the profile does not satisfy the rule.
LayerWind wl150_from_profile(const std::vector<Level>& levels);
LayerWind mbl_from_profile(const std::vector<Level>& levels);

enum class Method { kNone, kLowest, kWl150, kMbl };

struct SurfaceEstimate {
  Wind wind;  // the 10-m wind, m/s
  Method method = Method::kNone;
  std::string method_text;  // "lowest wind at 10 m", "WL150 x 0.851 (mean height 75 m)", ...
  double error = kNaN;      // its standard error, m/s
  std::string note;         // why there is none
  LayerWind wl150_profile;  // WL150 computed from the profile (unknown when it cannot be)
  std::string wl150_check;  // the profile's WL150 against the message's, when both are there
};

SurfaceEstimate estimate_surface_wind(const Sonde& sonde, const ReductionTable& table);

// "lowest", "wl150", "mbl" or "" for the sondes table.
std::string_view method_name(Method method);

}  // namespace sfmr::sonde
