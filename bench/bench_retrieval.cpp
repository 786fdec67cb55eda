// Speed of the retrieval: one forward-model evaluation, and one second of retrieval with six channels
// starting from no previous solution (about five solver iterations).
#include <benchmark/benchmark.h>

#include <array>
#include <sstream>

#include "core/console.hpp"
#include "core/state.hpp"
#include "retrieval/driver.hpp"
#include "retrieval/forward_model.hpp"

namespace {

using sfmr::kChannels;

constexpr std::array<float, kChannels> kFreqs = {4.74f, 5.31f, 5.57f, 6.02f, 6.69f, 7.09f};

void BM_tbsfmr(benchmark::State& state) {
  std::array<float, kChannels> emis{};
  sfmr::klsw_loop(kFreqs, 28.0f, emis, 1, kChannels);
  std::size_t k = 0;
  float u = 20.0f;
  for (auto _ : state) {
    const float tb = sfmr::tbsfmr(kFreqs[k], 301.146f, 3000.0f, 293.146f, emis[k], {u, 5.0f});
    benchmark::DoNotOptimize(tb);
    k = k == kChannels - 1 ? 0 : k + 1;
    u = u < 30.0f ? u + 1.0f : 20.0f;
  }
}
BENCHMARK(BM_tbsfmr);

// A second over the sea at 20 m/s and 5 mm/h: identity calibration, so the count ratios are the model's
// brightness temperatures; a fresh retrieval each time, so every solve starts from 5 m/s and 2 mm/h.
void BM_sfmr5_6x(benchmark::State& state) {
  sfmr::State s;
  for (auto& row : s.cal.coef) row = {0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
  s.cal.freq = kFreqs;
  s.cal.filter = 0.0f;
  s.sfmr.Th = {0.0f, 0.0f, 30.0f, 31.0f, 32.0f, 33.0f, 34.0f, 0.0f};
  s.sfmr.serial = 5;
  s.acft.TAmb = 20.0f;
  s.acft.RAlt = 3000.0f;
  std::array<float, kChannels> emis{};
  sfmr::klsw_loop(kFreqs, 28.0f, emis, s.sfmr.serial, kChannels);
  for (std::size_t k = 0; k < kChannels; ++k) {
    s.sfmr.ratio[k] = sfmr::tbsfmr(kFreqs[k], 301.146f, 3000.0f, 293.146f, emis[k], {20.0f, 5.0f});
  }
  std::istringstream in;
  std::ostringstream out;
  sfmr::Console console(in, out);
  // Only whole-object or const uses of the results here: DoNotOptimize on a float lvalue may rewrite it.
  for (auto _ : state) {
    sfmr::Retrieval retrieval;
    float sst = 28.0f;
    retrieval.sfmr5_6x(s, console, sst);
    benchmark::ClobberMemory();
  }
  state.counters["SFWS"] = s.sfmr.SFWS;
  state.counters["SFRR"] = s.sfmr.SFRR;
}
BENCHMARK(BM_sfmr5_6x);

}  // namespace

BENCHMARK_MAIN();
