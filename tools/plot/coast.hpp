// The coastlines and land under a map, from GMT's low-resolution GSHHG shorelines (`gmt coast`,
// `gmt grdlandmask`), kept in a cache directory per region and raster when one is given.
#pragma once

#include <filesystem>

#include "plot/plot_data.hpp"

namespace sfmr::plot {

// Nodes of the land raster under the map, along its longer side.
constexpr int kLandNodes = 600;

// Colour of land under the map (red, green, blue).
constexpr unsigned char kLandColour[3] = {0xf0, 0xe9, 0xd6};

// "#rrggbb" of a colour's red, green and blue bytes.
std::string colour_text(const unsigned char (&rgb)[3]);

// The land raster of a map frame: kLandNodes along the page's longer side.
struct LandRaster {
  int nx = 0, ny = 0;
};
LandRaster land_raster(const MapFrame& f);

// The coastline file ("lon lat" segments, blank lines between) and the land mask file (one byte a node,
// 1 land, 0 water, the southern row first) of a map.
struct Coast {
  std::filesystem::path coast, land;
};

// Coastlines and land mask of the frame's region, computed by GMT in `dir` (the two programs side by
// side), or taken from `cache` when it holds them; computed ones are published into a non-empty `cache`
// whole (temporary name, rename), so plots running side by side may share it. Ends the run on a failure.
Coast make_coast(const MapFrame& f, const std::filesystem::path& dir, const LandRaster& raster,
                 const std::filesystem::path& cache);

// The land mask of `coast` as nested outlines (write_land_outlines) in `land_file`; returns the number of
// levels written. Ends the run on a failure.
int write_land_file(const Coast& coast, const MapFrame& f, const LandRaster& raster,
                    const std::filesystem::path& land_file);

}  // namespace sfmr::plot
