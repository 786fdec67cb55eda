// The quick-look plots of a processed flight, or the map of a campaign's flights: the data files, the
// coastlines and land, and gnuplot drawing tools/plot/timeseries.gp and map.gp (installed in
// share/sfmrbatch) in a scratch directory, the PNG files published whole at the end.
#pragma once

#include <filesystem>
#include <string>

namespace sfmr::plot {

struct QuickLook {
  std::string flight;           // the output file (empty in campaign mode)
  std::string truth;            // the simulator's truth file (empty: none)
  std::string prefix;           // the PNG files' prefix (output_prefix)
  std::string setup;            // the run's setup file (empty: none)
  std::string cache;            // directory of computed coastlines and land rasters (empty: none)
  std::string campaign, title;  // a file listing output files, one a line; only the map is drawn
  bool force = false;           // replace existing PNG files
};

// Where PREFIX.timeseries.png and PREFIX.map.png go: `prefix` as given; the path of `named_after` without
// its extension when `prefix` is empty; and inside the directory when `prefix` names one (an existing
// directory, or a path ending in '/'), named after `named_after`'s file name without its extension, so
// that `-o out/` writes out/FLIGHT.map.png and never the hidden out/.map.png.
std::filesystem::path output_prefix(const std::string& prefix, const std::string& named_after);

// Draws the plots; ends the run (tool::fail) on any failure, leaving no PNG file behind.
void draw_quicklook(const QuickLook& q);

}  // namespace sfmr::plot
