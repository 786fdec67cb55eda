// Load and lookup times of the SST field.
//
//   BM_LoadHexMask   whole sst4main: 8 MB grid file, byte conversion, hexadecimal land mask, gap filling
//   BM_LoadCharMask  the same with a character-encoded land mask (about 16.9 MB of text)
//   BM_Getsst        one lookup at the aircraft's position
//
// Each load builds a fresh SstField, so the times include allocating and first touching the 8 MB grid. The
// files are generated once into scratch directories (the mask names are relative to the working directory)
// and are read from the page cache. The counter peak_rss_MB is the process's peak resident memory so far.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>

#include "core/console.hpp"
#include "core/state.hpp"
#include "sst/grid.hpp"
#include "sst/sst_field.hpp"

namespace {

using namespace sfmr;

// Synthetic world: land in blocks of 256 rows by 512 columns on a diagonal pattern (about a third of the
// globe), ocean bytes 60..219 elsewhere, and an isolated no-data byte (252) every 997 cells.
bool is_land(std::size_t row, std::size_t col) {
  return (row / 256 + col / 512) % 3 == 0;
}

std::uint8_t grid_byte(std::size_t row, std::size_t col) {
  if (is_land(row, col)) return 255;
  if ((row * kSstCols + col) % 997 == 0) return 252;
  return static_cast<std::uint8_t>(60 + (row + 3 * col) % 160);
}

void write_grid(const std::filesystem::path& name) {
  std::ofstream out(name, std::ios::binary);
  std::string row_bytes(kSstCols, '\0');
  for (std::size_t row = 0; row < kSstRows; ++row) {
    for (std::size_t col = 0; col < kSstCols; ++col) row_bytes[col] = static_cast<char>(grid_byte(row, col));
    out.write(row_bytes.data(), static_cast<std::streamsize>(row_bytes.size()));
  }
  if (!out) throw std::runtime_error("cannot write the grid file");
}

// Hexadecimal mask, 128 digits a line (8 lines a row). Its first digit must be "F": cell (0, 0) is land.
void write_hex_mask(const std::filesystem::path& name) {
  std::ofstream out(name, std::ios::binary);
  constexpr char digits[] = "0123456789ABCDEF";
  std::string line;
  for (std::size_t row = 0; row < kSstRows; ++row) {
    for (std::size_t col = 0; col < kSstCols; col += 4) {
      int v = 0;
      for (std::size_t k = 0; k < 4; ++k) v = v * 2 + (is_land(row, col + k) ? 1 : 0);
      line += digits[v];
      if (line.size() == 128) {
        out << line << "\r\n";
        line.clear();
      }
    }
  }
  if (!out) throw std::runtime_error("cannot write the hexadecimal mask");
}

// Character mask, 100 marks a line: lines of 200 characters, " 0" or " 1" for each cell.
void write_char_mask(const std::filesystem::path& name) {
  std::ofstream out(name, std::ios::binary);
  std::string line;
  std::size_t marks = 0;
  for (std::size_t row = 0; row < kSstRows; ++row) {
    for (std::size_t col = 0; col < kSstCols; ++col) {
      line += ' ';
      line += is_land(row, col) ? '1' : '0';
      if (++marks % 100 == 0) {
        out << line << "\r\n";
        line.clear();
      }
    }
  }
  if (!line.empty()) out << line << "\r\n";
  if (!out) throw std::runtime_error("cannot write the character mask");
}

// A scratch directory <tmp>/sfmr_bench_sst_XXXXXX/work holding grid.bin and one land mask; removed at exit.
class Scene {
 public:
  explicit Scene(bool hex) {
    std::string pattern = (std::filesystem::temp_directory_path() / "sfmr_bench_sst_XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    work_ = root_ / "work";
    std::filesystem::create_directory(work_);
    write_grid(work_ / "grid.bin");
    if (hex) {
      write_hex_mask(work_ / "mwir_land_z.txt");
    } else {
      write_char_mask(work_ / "mwir_land.txt");
    }
  }
  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;
  ~Scene() {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  const std::filesystem::path& work() const { return work_; }

 private:
  std::filesystem::path root_;
  std::filesystem::path work_;
};

const Scene& hex_scene() {
  static const Scene scene(true);
  return scene;
}
const Scene& char_scene() {
  static const Scene scene(false);
  return scene;
}

// Makes `dir` the working directory for its lifetime.
class InDirectory {
 public:
  explicit InDirectory(const std::filesystem::path& dir) : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  InDirectory(const InDirectory&) = delete;
  InDirectory& operator=(const InDirectory&) = delete;
  ~InDirectory() {
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
  }

 private:
  std::filesystem::path previous_;
};

double peak_rss_mb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB
}

void load(benchmark::State& state, const Scene& scene) {
  InDirectory in_scene(scene.work());
  std::istringstream in;
  for (auto _ : state) {
    std::ostringstream out;
    Console console(in, out);
    auto field = std::make_unique<SstField>();
    float sst = 99.0f;
    field->sst4main(console, "grid.bin", sst);
    if (sst != 0.0f) {
      state.SkipWithError("the SST field did not load");
      break;
    }
    benchmark::DoNotOptimize(field->grid().data());
  }
  state.counters["peak_rss_MB"] = peak_rss_mb();
}

void BM_LoadHexMask(benchmark::State& state) {
  load(state, hex_scene());
}
BENCHMARK(BM_LoadHexMask)->Unit(benchmark::kMillisecond);

void BM_LoadCharMask(benchmark::State& state) {
  load(state, char_scene());
}
BENCHMARK(BM_LoadCharMask)->Unit(benchmark::kMillisecond);

void BM_Getsst(benchmark::State& state) {
  SstField field;
  {
    InDirectory in_scene(hex_scene().work());
    std::istringstream in;
    std::ostringstream out;
    Console console(in, out);
    float sst = 99.0f;
    field.sst4main(console, "grid.bin", sst);
    if (sst != 0.0f) {
      state.SkipWithError("the SST field did not load");
      return;
    }
  }
  // Positions spread over the globe, visited in turn.
  std::array<State, 1024> positions{};
  for (std::size_t k = 0; k < positions.size(); ++k) {
    positions[k].acft.Lat = -80.0f + static_cast<float>((k * 37) % 160);
    positions[k].acft.Lon = -180.0f + static_cast<float>((k * 101) % 360) + 0.25f;
  }
  std::size_t k = 0;
  float sst = 0.0f;
  for (auto _ : state) {
    field.getsst(positions[k], sst);
    benchmark::DoNotOptimize(sst);
    k = (k + 1) % positions.size();
  }
  state.counters["peak_rss_MB"] = peak_rss_mb();
}
BENCHMARK(BM_Getsst);

}  // namespace

BENCHMARK_MAIN();
