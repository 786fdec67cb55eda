#include "retrieval/driver.hpp"

#include <array>
#include <bit>
#include <cmath>

#include "retrieval/filters.hpp"
#include "retrieval/forward_model.hpp"
#include "retrieval/solver.hpp"

namespace sfmr {

void checkdata(State& s, float sst, std::int32_t& nocompute) {
  const bool big_roll = std::fabs(s.acft.Roll) > 8.0f;  // degrees
  set_bit(s.sfmr.Err, err_bit::kBigRoll, big_roll);
  if (big_roll) nocompute = 4;
  const bool land = sst < 0.0f;  // a negative SST stands for land
  set_bit(s.sfmr.Err, err_bit::kOverLand, land);
  if (land) nocompute = 4;
  if (nocompute > 0) --nocompute;
}

// Calibration of channel k, with N its normalised count ratio and ThN = sfmr.Th[N] in deg C:
//   Tb = c1 + c2 Th4/35 + c3 N + c4 N Th4/35 + c5 Th5/35 + c6 Th2/35 + c7 N Th3/35 + c8 Th3/35 + c9 Th6/35
// each thermal term divided by 35 on its own.
void btemp(State& s) {
  auto& th = s.sfmr.Th;
  if (th[2] == 0.0f || th[3] == 0.0f || th[4] == 0.0f || th[5] == 0.0f) {
    s.sfmr.Tb.fill(0.0f);
    set_bit(s.sfmr.Err, err_bit::kRefTempErr, true);
    return;
  }
  if (th[6] == 0.0f) th[6] = th[5];
  set_bit(s.sfmr.Err, err_bit::kRefTempErr, false);
  const double th2 = th[2], th3 = th[3], th4 = th[4], th5 = th[5], th6 = th[6];
  for (std::size_t k = 0; k < kChannels; ++k) {
    const float ratio = s.sfmr.ratio[k];
    if (ratio == 0.0f) {
      s.sfmr.Tb[k] = 0.0f;
      continue;
    }
    const double N = ratio;
    const auto& c = s.cal.coef[k];
    const double c1 = c[0], c2 = c[1], c3 = c[2], c4 = c[3], c5 = c[4], c6 = c[5], c7 = c[6], c8 = c[7],
                 c9 = c[8];
    s.sfmr.Tb[k] =
        static_cast<float>(c1 + c2 * th4 / 35.0 + c3 * N + c4 * N * th4 / 35.0 + c5 * th5 / 35.0 +
                           c6 * th2 / 35.0 + c7 * N * th3 / 35.0 + c8 * th3 / 35.0 + c9 * th6 / 35.0);
  }
}

void Retrieval::sfmr5_6x(State& s, Console& console, float& sst) {
  checkdata(s, sst, nocompute_);
  btemp(s);
  if (nocompute_ > 0) {
    set_bit(s.sfmr.Err, err_bit::kNoData, true);
    return;
  }
  set_bit(s.sfmr.Err, err_bit::kNoData, false);
  if (sst == 0.0f) sst = 25.0f;  // deg C: no SST known, assume a tropical sea

  // Same inputs, bit for bit, give the same emissivities.
  const auto bits = [](float v) { return std::bit_cast<std::uint32_t>(v); };
  bool same = have_emis_ && bits(sst) == bits(emis_sst_) && s.sfmr.serial == emis_serial_;
  for (std::size_t k = 0; k < kChannels && same; ++k) same = bits(s.cal.freq[k]) == bits(emis_freq_[k]);
  if (!same) {
    emis_.fill(0.0f);
    klsw_loop(s.cal.freq, sst, emis_, s.sfmr.serial, kChannels);
    have_emis_ = true;
    emis_sst_ = sst;
    emis_serial_ = s.sfmr.serial;
    emis_freq_ = s.cal.freq;
  }
  const std::array<float, kChannels>& emis = emis_;

  ChannelFlags ok{};
  for (std::size_t k = 0; k < kChannels; ++k) {
    const float tb = s.sfmr.Tb[k];
    ok[k] = s.cal.freq[k] > 0.0f && tb > 0.0f && tb <= 270.0f ? 1 : 0;  // above 270 K: not sea, K
  }
  if (s.cal.filter < 0.0f) {
    checkoutlier(s, console, ok, 0);
  } else {
    checklinear(s, console, ok);
  }

  std::array<float, kChannels> tb_sel{};
  std::array<float, kChannels> freq_sel{};
  std::array<float, kChannels> emis_sel{};
  int n = 0;
  int warm = 0;
  for (std::size_t k = 0; k < kChannels; ++k) {
    const int bit = err_bit::kChannel0 + static_cast<int>(k);
    if (ok[k] != 0) {
      set_bit(s.sfmr.Err, bit, true);
      const auto i = static_cast<std::size_t>(n++);
      tb_sel[i] = s.sfmr.Tb[k];
      freq_sel[i] = s.cal.freq[k];
      emis_sel[i] = emis[k];
    } else {
      set_bit(s.sfmr.Err, bit, false);
      if (s.sfmr.Tb[k] > 270.0f) ++warm;
    }
  }
  if (warm >= 4) {  // mostly warm channels: land in view
    nocompute_ = 3;
    set_bit(s.sfmr.Err, err_bit::kOverLand, true);
    return;
  }
  set_bit(s.sfmr.Err, err_bit::kOverLand, false);
  if (n <= 2) {
    set_bit(s.sfmr.Err, err_bit::kNoData, true);
    return;
  }

  const float step = 1.0f;  // finite-difference step: 1 m/s and 1 mm/h
  wrsolv(tb_sel, freq_sel, s.sfmr.SFWS, s.sfmr.SFRR, sst, s.acft.TAmb, s.acft.RAlt, step, n, prevws_, prevrr_,
         emis_sel, s.sfmr.Err, s.sfmr.SFQF);
  prevws_ = s.sfmr.SFWS;
  prevrr_ = s.sfmr.SFRR;
}

}  // namespace sfmr
