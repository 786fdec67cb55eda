// The comma-separated output file: a header line once, then one line of 28 fixed-width columns per second,
// laid out by the column table kOutColumns.
#pragma once

#include <cstdint>
#include <string>

#include "core/files.hpp"
#include "core/state.hpp"
#include "output/columns.hpp"

namespace sfmr {

// Retrieval status text (10 characters) from sfmr.Err.
void decodesferr(std::int32_t bits, std::string& text);

// Onboard status text (10 characters) from ps.PSErr.
void decodepserr(std::int32_t bits, std::string& text);

class Writer {
 public:
  // Writes the header line on the first call of a run, then the data line of the current second. Limits the
  // six sfmr.Tb in place to -99.9..999.9; changes nothing else.
  void writeout(State& s, OutFile& outfile, float sst);

  // The data line alone, as writeout writes it (without limiting sfmr.Tb).
  static std::string data_line(const State& s, float sst);

  // The header line: the names of kOutColumns joined by commas.
  static constexpr const char* kHeader = column_detail::kHeaderText.data();

 private:
  bool first_ = true;
};

}  // namespace sfmr
