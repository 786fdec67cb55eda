#include "plot/coast.hpp"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/cli.hpp"
#include "common/process.hpp"
#include "plot/scratch.hpp"

namespace sfmr::plot {

namespace {

namespace fs = std::filesystem;

// GMT's native byte grid (grdlandmask -G...=bb): a header of 892 bytes beginning with the numbers of
// columns and rows (32-bit integers), then one byte a node, the northern row first. Returns the nodes with
// the southern row first, or nothing when the file is not such a grid of nx x ny nodes.
std::optional<std::vector<unsigned char>> read_byte_grid(const fs::path& path, int nx, int ny) {
  constexpr std::size_t kHeader = 892;
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::size_t nodes = static_cast<std::size_t>(nx) * ny;
  std::int32_t size[2] = {0, 0};
  if (bytes.size() != kHeader + nodes) return std::nullopt;
  std::memcpy(size, bytes.data(), sizeof size);
  if (size[0] != nx || size[1] != ny) return std::nullopt;
  std::vector<unsigned char> south_first(nodes);
  for (int j = 0; j < ny; ++j)
    std::memcpy(south_first.data() + static_cast<std::size_t>(j) * nx,
                bytes.data() + kHeader + static_cast<std::size_t>(ny - 1 - j) * nx,
                static_cast<std::size_t>(nx));
  return south_first;
}

// "W/E/S/N" of the frame, as GMT's -R takes it.
std::string region_bounds(const MapFrame& f) {
  return number(f.west) + "/" + number(f.east) + "/" + number(f.south) + "/" + number(f.north);
}

// Runs GMT in `dir` and leaves coast.dat and land.mask there.
Coast compute_coast(const MapFrame& f, const fs::path& dir, const LandRaster& r) {
  const std::string region = "-R" + region_bounds(f), quiet = "--GMT_HISTORY=false";
  const std::string raster = std::to_string(r.nx) + "+n/" + std::to_string(r.ny) + "+n";
  const std::vector<tool::ChildResult> results = tool::run_children(
      {helper({"gmt", "coast", region, "-Dl", "-W", "-M", quiet}, dir, dir / "coast.gmt"),
       helper({"gmt", "grdlandmask", region, "-I" + raster, "-Dl", "-N0/1", "-Gland.grd=bb", quiet}, dir,
              dir / "landmask.log")});
  check(results[0], "gmt");
  check(results[1], "gmt");
  std::ifstream gmt(dir / "coast.gmt");
  if (!write_to(dir / "coast.dat", [&](std::ostream& os) { convert_segments(gmt, os, f.shifted); }))
    tool::fail("cannot write the coastlines in " + dir.string());
  const auto mask = read_byte_grid(dir / "land.grd", r.nx, r.ny);
  if (!mask)
    tool::fail("gmt grdlandmask wrote no land mask of " + std::to_string(r.nx) + " x " +
               std::to_string(r.ny));
  if (!write_to(dir / "land.mask", [&](std::ostream& os) {
        os.write(reinterpret_cast<const char*>(mask->data()), static_cast<std::streamsize>(mask->size()));
      }))
    tool::fail("cannot write the land mask in " + dir.string());
  return {dir / "coast.dat", dir / "land.mask"};
}

}  // namespace

std::string colour_text(const unsigned char (&rgb)[3]) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text = "#";
  for (const unsigned char c : rgb) text += {kHex[c >> 4], kHex[c & 15]};
  return text;
}

LandRaster land_raster(const MapFrame& f) {
  return {.nx = f.ratio <= 1.0 ? kLandNodes : static_cast<int>(kLandNodes / f.ratio),
          .ny = f.ratio <= 1.0 ? static_cast<int>(kLandNodes * f.ratio) : kLandNodes};
}

Coast make_coast(const MapFrame& f, const fs::path& dir, const LandRaster& raster, const fs::path& cache) {
  std::string key = region_bounds(f) + "_" + std::to_string(raster.nx) + "x" + std::to_string(raster.ny);
  std::replace(key.begin(), key.end(), '/', '_');
  const Coast cached{cache / ("coast_" + key + ".dat"), cache / ("land_" + key + ".mask")};
  std::error_code ec;
  if (!cache.empty() && fs::is_regular_file(cached.coast, ec) && fs::is_regular_file(cached.land, ec))
    return cached;
  const Coast made = compute_coast(f, dir, raster);
  if (cache.empty()) return made;
  fs::create_directories(cache, ec);
  const std::string tag = ".tmp" + std::to_string(::getpid());
  for (const auto& [from, to] : {std::pair{made.coast, cached.coast}, std::pair{made.land, cached.land}}) {
    fs::copy_file(from, to.string() + tag, fs::copy_options::overwrite_existing, ec);
    if (!ec) fs::rename(to.string() + tag, to, ec);
    if (ec) {
      fs::remove(to.string() + tag, ec);
      break;  // a cache that cannot be written only costs time
    }
  }
  return made;
}

int write_land_file(const Coast& coast, const MapFrame& f, const LandRaster& r, const fs::path& land_file) {
  // The map fills the outlines of the raster's land cells: gnuplot draws a few thousand corners of
  // polygons in a fraction of the time it takes to draw an image of a few hundred thousand nodes.
  std::vector<unsigned char> land_mask(static_cast<std::size_t>(r.nx) * r.ny);
  {
    std::ifstream in(coast.land, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(land_mask.data()), static_cast<std::streamsize>(land_mask.size())))
      tool::fail(coast.land.string() + ": land mask cut short");
  }
  const double dx = (f.east - f.west) / (r.nx - 1), dy = (f.north - f.south) / (r.ny - 1);
  int levels = 0;
  if (!write_to(land_file, [&](std::ostream& os) {
        levels = write_land_outlines(
            os, land_mask, {.nx = r.nx, .ny = r.ny, .west = f.west, .south = f.south, .dx = dx, .dy = dy});
      }))
    tool::fail("cannot write the land outlines in " + land_file.parent_path().string());
  return levels;
}

}  // namespace sfmr::plot
