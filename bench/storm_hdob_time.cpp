// Time of sfmrstorm's reading and analysis of an HDOB archive (the outputs and plots left out): the file
// read, its messages parsed, the missions made flights and the storm analysed with the HDOB evidence, again
// and again; prints the best time of one run and exits 1 when it is not under the limit.
//   storm_hdob_time FILE [LIMIT_S]     (LIMIT_S 0.3 by default)
#include <chrono>
#include <iostream>
#include <string>
#include <vector>

#include "core/text.hpp"
#include "recon/hdob.hpp"
#include "recon/message_text.hpp"
#include "storm/evidence.hpp"
#include "storm/recon_input.hpp"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::cerr << "usage: storm_hdob_time FILE [LIMIT_S]\n";
    return 2;
  }
  double limit = 0.3;
  if (argc == 3) {
    const auto v = sfmr::recon::decimal_value(argv[2]);
    if (!v) {
      std::cerr << "storm_hdob_time: LIMIT_S is not a number\n";
      return 2;
    }
    limit = *v;
  }
  double best = 1e9;
  std::size_t lines = 0, passes = 0;
  try {
    for (int run = 0; run < 5; ++run) {
      const auto t0 = std::chrono::steady_clock::now();
      const std::string text = sfmr::recon::read_message_file(argv[1]);
      const sfmr::recon::HdobArchive archive = sfmr::recon::read_hdob(text, argv[1]);
      std::vector<sfmr::storm::HdobMission> missions = sfmr::storm::hdob_missions(archive);
      std::vector<sfmr::storm::Series> flights;
      std::vector<const sfmr::storm::HdobLines*> evidence;
      for (const auto& m : missions) {
        flights.push_back(m.series);
        evidence.push_back(&m.lines);
      }
      sfmr::storm::Analysis an = sfmr::storm::analyse(flights, {}, sfmr::storm::hdob_refiner(evidence));
      sfmr::storm::place_by_flight_level_wind(an, evidence);
      best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
      lines = archive.observations.size();
      passes = an.passes.size();
    }
  } catch (const std::exception& e) {
    std::cerr << "storm_hdob_time: " << e.what() << "\n";
    return 1;
  }
  std::cout << "read and analysed " << lines << " HDOB lines (" << passes << " passes): best of 5 "
            << sfmr::format_trimmed(best, 3) << " s (limit " << sfmr::format_trimmed(limit, 3) << " s)\n";
  return best < limit ? 0 : 1;
}
