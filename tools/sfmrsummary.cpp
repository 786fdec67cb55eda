// sfmrsummary: summarises an sfmrbatch output file against the simulator's truth file, and optionally
// writes the data for a plot of the flight.
//
//   sfmrsummary OUTPUT.OUT TRUTH.csv [PLOT.dat]
#include <fstream>
#include <iostream>

#include "sim/summary.hpp"

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    std::cerr << "usage: sfmrsummary OUTPUT.OUT TRUTH.csv [PLOT.dat]\n";
    return 2;
  }
  std::ifstream out_file(argv[1], std::ios::binary);
  std::ifstream truth_file(argv[2], std::ios::binary);
  if (!out_file || !truth_file) {
    std::cerr << "sfmrsummary: cannot read " << (out_file ? argv[2] : argv[1]) << '\n';
    return 1;
  }
  const auto out = sfmr::sim::read_output(out_file);
  const auto truth = sfmr::sim::read_truth(truth_file);
  sfmr::sim::print_summary(std::cout, sfmr::sim::summarise(out, truth));
  if (argc == 4) {
    std::ofstream plot(argv[3], std::ios::binary);
    sfmr::sim::write_plot_data(plot, out, truth);
    if (!plot) {
      std::cerr << "sfmrsummary: cannot write " << argv[3] << '\n';
      return 1;
    }
  }
  return 0;
}
