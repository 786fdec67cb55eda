// Reading speed of the HDOB reader: a 10-hour mission's archive (1,200 observations every 30 s in 60
// messages of 20 lines, with the communications lines around each, three messages sent twice and the file
// out of order) is made with the writer and read from the file again and again; prints the best time of
// one read (file and parse) and exits 1 when it is not under the limit.
//   recon_read FILE [LIMIT_S]     (FILE is written; LIMIT_S 0.3 by default)
#include <chrono>
#include <cmath>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "core/text.hpp"
#include "recon/hdob.hpp"

namespace {

using namespace sfmr::recon;

constexpr int kMessages = 60, kLinesPerMessage = 20;
constexpr double kStart = 1567382400.0 + 6 * 3600.0;  // 2019-09-02 06:00 UTC
constexpr double kSpacingS = 30.0;

// An observation of a figure-four flight through a storm at 25 N 80 W (made-up numbers of plausible size).
HdobObservation observation(int i) {
  HdobObservation o;
  const double t = i * kSpacingS, r = 1.2 * std::fabs(std::sin(t / 1800.0)) + 0.05;
  const double a = t / 5400.0;
  o.time = kStart + t;
  o.lat = 25.0 + r * std::cos(a), o.lon = -80.0 + r * std::sin(a);
  o.static_pressure_pa = 69670.0 + 500.0 * r, o.geopotential_height_m = 3000.0 + 150.0 * r;
  o.surface_pressure_pa = 95000.0 + 4000.0 * r;
  o.air_temperature_c = 12.0 - r, o.dew_point_c = 8.0 - r;
  const double v = 60.0 * r / 0.2 * std::exp(1.0 - r / 0.2) + 5.0;
  o.wind_from_deg = std::fmod(a * 57.3 + 90.0, 360.0), o.wind_speed_ms = 1.1 * v, o.peak_wind_ms = 1.2 * v;
  o.sfmr_wind_ms = v, o.rain_rate_mmh = v > 30.0 ? 20.0 : 2.0;
  return o;
}

std::string archive() {
  std::vector<std::string> messages;
  for (int m = 0; m < kMessages; ++m) {
    HdobMessage msg{"", "AF304", "3005A", "05A", "DORIAN", m + 1, 20190902, 0};
    std::vector<HdobRaw> lines;
    for (int k = 0; k < kLinesPerMessage; ++k)
      lines.push_back(hdob_raw_from(observation(m * kLinesPerMessage + k)));
    messages.push_back("000 \n" + write_hdob(msg, lines) + ";\n");
  }
  std::string text;
  for (int m = kMessages - 1; m >= 0; m -= 2) text += messages[m];  // every second one, backwards
  for (int m = 0; m < kMessages; m += 2) text += messages[m];
  for (int m : {3, 17, 42}) text += messages[m];
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::cerr << "usage: recon_read FILE [LIMIT_S]\n";
    return 2;
  }
  float limit = 0.3f;
  if (argc == 3 && !sfmr::read_value(argv[2], &limit)) {
    std::cerr << "recon_read: limit '" << argv[2] << "' is not a number\n";
    return 2;
  }
  const std::string text = archive();
  std::ofstream(argv[1], std::ios::binary) << text;
  double best = 1e300;
  std::size_t observations = 0;
  for (int run = 0; run < 20; ++run) {
    const auto start = std::chrono::steady_clock::now();
    std::ifstream in(argv[1], std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    const HdobArchive a = read_hdob(buffer.str(), argv[1]);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
    observations = a.observations.size();
  }
  std::cout << "HDOB archive of a 10-hour mission: " << observations << " observations, " << text.size()
            << " bytes; best of 20 reads " << best << " s (limit " << limit << " s)\n";
  return observations == kMessages * kLinesPerMessage && best < limit ? 0 : 1;
}
