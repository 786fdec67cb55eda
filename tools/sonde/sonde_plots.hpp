// The comparison's two pictures, drawn by gnuplot (pngcairo) run as a child process with its script and
// data on standard input: the scatter of the radiometer's 10-s wind against the sonde's 10-m wind with the
// 1:1 line, coloured by the radiometer's rain rate; and bias and RMS per bin, wind bins by the sonde and by
// the radiometer and rain bins.
#pragma once

#include <string>
#include <vector>

#include "sonde/sonde_stats.hpp"

namespace sfmr::sonde {

// gnuplot's script drawing both pictures into the files `scatter_png` and `bias_png`.
std::string plot_script(const std::vector<Pair>& pairs, const std::vector<BinStats>& stats,
                        const std::string& scatter_png, const std::string& bias_png);

// Draws both pictures into PREFIX.scatter.png and PREFIX.bias.png (published under temporary names).
// Returns "" or the one line naming them and why they could not be drawn; nothing is left behind on failure.
std::string draw_plots(const std::string& prefix, const std::vector<Pair>& pairs,
                       const std::vector<BinStats>& stats, bool force);

}  // namespace sfmr::sonde
