// flight_cost: the two measurements the whole-flight benchmark (bench/whole_flight.sh) sets side by side.
//
//   flight_cost count ANSWERS RAWFILE
//       runs the whole program in this process, in the working directory, with ANSWERS on its console, and
//       prints the number of forward-model evaluations it made, the raw file's line count and the heap
//       allocations (operator new) per raw line
//   flight_cost model N
//       times the forward model's transcendental work alone (four pow and three exp, as one full evaluation
//       of tbsfmr makes them) for N evaluations over the flight's range of frequency, altitude and rain
//       rate, and prints the seconds
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <new>
#include <sstream>
#include <string>

#include "core/text.hpp"
#include "driver/main_loop.hpp"
#include "retrieval/forward_model.hpp"

namespace {
std::uint64_t allocations = 0;
}  // namespace

void* operator new(std::size_t size) {
  ++allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace {

int count(const char* answers_name, const char* raw_name) {
  std::ifstream answers(answers_name);
  std::ostringstream console;
  const std::uint64_t before = allocations;
  const int status = sfmr::run_sfmrbatch(answers, console);
  const std::uint64_t used = allocations - before;
  std::ifstream raw(raw_name, std::ios::binary);
  std::uint64_t lines = 0;
  for (std::string line; std::getline(raw, line);) ++lines;
  if (status != 0 || lines == 0) {
    std::cerr << "flight_cost: the run failed (status " << status << ")\n" << console.str();
    return 1;
  }
  std::cout << "model evaluations: " << sfmr::model_evaluations() << "\nraw lines: " << lines
            << "\nheap allocations: " << used << " ("
            << static_cast<double>(used) / static_cast<double>(lines) << " per raw line)\n";
  return 0;
}

int model(std::uint64_t n) {
  constexpr double kFreqs[6] = {4.74, 5.31, 5.57, 6.02, 6.69, 7.09};  // GHz
  const auto start = std::chrono::steady_clock::now();
  double sum = 0.0;
  for (std::uint64_t i = 0; i < n; ++i) {
    const double F = kFreqs[i % 6];
    const double H = 2900.0 + 0.5 * static_cast<double>(i % 397);  // m
    const double R = 0.25 * static_cast<double>(i % 161);          // mm/h
    const double Z = H - 1500.0;
    const double A = 0.99456 - 0.0010505 * F;
    const double Tr = std::pow(A, 1.0 - std::exp(-H / 3500.0));
    const double kappa = 3.94e-9 * std::pow(F, 2.63 * std::pow(R, static_cast<double>(0.06f))) *
                         std::pow(R, static_cast<double>(0.87f));
    sum += Tr * std::exp(-kappa * Z) + std::exp(-4000.0 * kappa);
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  std::cout << elapsed.count() << '\n';
  return std::isfinite(sum) ? 0 : 1;  // uses the sum, so the loop cannot be left out
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "count" && argc == 4) return count(argv[2], argv[3]);
  std::int32_t n = 0;
  if (mode == "model" && argc == 3 && sfmr::read_value(argv[2], &n) && n > 0)
    return model(static_cast<std::uint64_t>(n));
  std::cerr << "usage: flight_cost count ANSWERS RAWFILE | flight_cost model N\n";
  return 2;
}
