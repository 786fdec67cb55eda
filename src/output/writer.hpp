// The comma-separated output file: a header line once, then one line of 28 fixed-width columns per second.
#pragma once

#include <cstdint>
#include <string>

#include "core/files.hpp"
#include "core/state.hpp"

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

  static constexpr const char* kHeader =
      "Time,Lat,Lon,RAlt,TAmb,AcftWS,Roll,Pitch,SST,Tb0,Tb1,Tb2,Tb3,Tb4,Tb5,Th2,Th3,Th4,Th5,Th6,SFWS,SFRR,"
      "SFQF,Err,"
      "PSWS,PSRR,PSQF,PSErr";

 private:
  bool first_ = true;
};

}  // namespace sfmr
