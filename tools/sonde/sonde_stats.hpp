// Statistics of radiometer against sonde over the matched sondes: n, bias (radiometer minus sonde), RMS of
// the differences and the correlation, overall and in bins of wind speed (0-10, 10-20, ... m/s) binned by the
// sonde's value and by the radiometer's (binned by one noisy value the other looks biased: Stoffelen 1998,
// J. Geophys. Res. 103; so both are shown) and in bins of the radiometer's rain rate (0-5, 5-15, 15-30, over
// 30 mm/h); and the share of pairs whose difference lies within one and two combined errors.
//
// The combined error of a pair is sqrt(se_r^2 + se_s^2 + rep^2): the radiometer's standard error, the
// sonde's (its 10-m estimate's stated error), and the representativeness of comparing two points d km apart,
// rep the radiometer's own change of wind along its track over the same d km from the matched second (the
// larger of the two sides: tools/sonde/collocate.hpp). A pair without a combined error (no standard error
// in the flight file) is left out of the shares.
#pragma once

#include <string>
#include <vector>

#include "sonde/sonde.hpp"

namespace sfmr::sonde {

struct Pair {
  double sonde = kNaN, sfmr = kNaN;  // 10-m wind, m/s
  double rain = kNaN;                // radiometer's rain rate, mm/h
  double combined_error = kNaN;      // m/s
};

// sqrt(se_r^2 + se_s^2 + rep^2) (m/s), NaN when se_r or se_s is missing; a missing representativeness
// counts as none.
double combined_error(double sfmr_se, double sonde_se, double representativeness);

struct BinStats {
  std::string binning;  // "all", "wind_by_sonde", "wind_by_sfmr", "rain_by_sfmr"
  std::string bin;      // "all", "10-20", "over 30"
  int n = 0;
  double bias = kNaN, rms = kNaN, correlation = kNaN;  // m/s, m/s, 1
  int n_error = 0;                                     // pairs with a combined error
  double within_one = kNaN, within_two = kNaN;         // shares of those, 0..1
};

// The overall row, then the bins of each binning (empty bins left out).
std::vector<BinStats> sonde_statistics(const std::vector<Pair>& pairs);

// The statistics as a text table and as CSV (header
// binning,bin,n,bias,rms,correlation,n_error,within_one,within_two).
std::string statistics_text(const std::vector<BinStats>& stats);
std::string statistics_csv(const std::vector<BinStats>& stats);

}  // namespace sfmr::sonde
