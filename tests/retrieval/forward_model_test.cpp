// Forward model: sea-water permittivity and reflectivity, polar conversion, calm-sea emissivities and the
// nadir brightness temperature.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <string>

#include "retrieval/forward_model.hpp"
#include "retrieval_support.hpp"

namespace sfmr {
namespace {

// Reference values: the model's reference cases (first two rows, to the digits given), the rest evaluated
// independently with complex arithmetic, eps = eps_inf + (eps_s - eps_inf)/(1 - i w tau) + i sigma/(w eps_0),
// and the Fresnel equations with a complex square root.
TEST(KleinSwift, PermittivityAndReflectivity) {
  struct Case {
    const char* name;
    float f, theta, t, s;
    double epsr, epsi, rv, rh;
    double tol_eps, tol_r;
  };
  const Case cases[] = {
      {"5 GHz, 28 C, S 36, nadir", 5.0f, 0.0f, 28.0f, 36.0f, 66.587, 35.069, 0.63817, 0.63817, 1e-3, 1e-5},
      {"5 GHz, 20 C, S 36, 0.3 rad", 5.0f, 0.3f, 20.0f, 36.0f, 67.19, 35.43, 0.6263, 0.6524, 1e-2, 1e-4},
      {"pure water 5 GHz, 25 C (no conductivity)", 5.0f, 0.0f, 25.0f, 0.0f, 73.781126, 17.523040, 0.632467,
       0.632467, 1e-3, 2e-6},
      {"S 0.05 counts as pure water for eps_s only", 7.0f, 0.0f, 25.0f, 0.05f, 69.983525, 23.202928, 0.630169,
       0.630169, 1e-3, 2e-6},
      {"6 GHz, 10 C, S 36, nadir", 6.0f, 0.0f, 10.0f, 36.0f, 63.009890, 38.545711, 0.637997, 0.637997, 1e-3,
       2e-6},
      {"4 GHz, 0 C, S 30, 0.5 rad", 4.0f, 0.5f, 0.0f, 30.0f, 67.466008, 38.320451, 0.605435, 0.679318, 1e-3,
       2e-6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    float rv = -1.0f, rh = -1.0f, epsr = -1.0f, epsi = -1.0f;
    kleinswift(c.f, c.theta, c.t, c.s, rv, rh, epsr, epsi);
    EXPECT_NEAR(epsr, c.epsr, c.tol_eps) << "eps' want " << c.epsr << " got " << epsr;
    EXPECT_NEAR(epsi, c.epsi, c.tol_eps) << "eps'' want " << c.epsi << " got " << epsi;
    EXPECT_NEAR(rv, c.rv, c.tol_r) << "rv want " << c.rv << " got " << rv;
    EXPECT_NEAR(rh, c.rh, c.tol_r) << "rh want " << c.rh << " got " << rh;
  }
}

TEST(KleinSwift, ZeroFrequencyDoesNotStop) {
  float rv = 0.0f, rh = 0.0f, epsr = 0.0f, epsi = 0.0f;
  kleinswift(0.0f, 0.0f, 25.0f, 36.0f, rv, rh, epsr, epsi);
  EXPECT_FALSE(std::isfinite(epsi)) << "the conductivity term divides by the angular frequency";
}

TEST(Rec2sph, MagnitudeAndAngle) {
  struct Case {
    const char* name;
    float x, y;
    float rho, phi;
  };
  const float pi = std::numbers::pi_v<float>;
  const Case cases[] = {
      {"first quadrant", 3.0f, 4.0f, 5.0f, 0.92729522f},
      {"positive x axis", 2.0f, 0.0f, 2.0f, 0.0f},
      {"x = 0, y > 0", 0.0f, 2.0f, 2.0f, 1.5707964f},
      {"x = 0, y < 0 still gives pi/2", 0.0f, -2.0f, 2.0f, 1.5707964f},
      {"negative x axis", -1.0f, 0.0f, 1.0f, pi},
      {"third quadrant", -1.0f, -1.0f, std::sqrt(2.0f), 1.25f * pi},
      {"fourth quadrant moved into [0, 2 pi)", 1.0f, -1.0f, std::sqrt(2.0f), 1.75f * pi},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    float rho = -1.0f, phi = -1.0f;
    rec2sph(c.x, c.y, rho, phi);
    EXPECT_NEAR(rho, c.rho, 1e-6) << "rho want " << c.rho << " got " << rho;
    EXPECT_NEAR(phi, c.phi, 1e-6) << "phi want " << c.phi << " got " << phi;
    EXPECT_GE(phi, 0.0f);
  }
}

TEST(KlswLoop, EmissivityPerChannel) {
  struct Case {
    const char* name;
    std::int32_t serial;
    int n;
    std::array<float, kChannels> freq;
    std::array<float, kChannels> want;  // -1: left as it was
  };
  // At nadir rv = rh, so 1 - rv (serial 20) and 1 - rh (any other) agree: 0.36183 at 5 GHz and 28 C.
  const Case cases[] = {
      {"serial 20 uses 1 - rv",
       20,
       6,
       {5.0f, 5.0f, 5.0f, 5.0f, 5.0f, 5.0f},
       {0.36183f, 0.36183f, 0.36183f, 0.36183f, 0.36183f, 0.36183f}},
      {"other serials use 1 - rh",
       7,
       6,
       {5.0f, 5.0f, 5.0f, 5.0f, 5.0f, 5.0f},
       {0.36183f, 0.36183f, 0.36183f, 0.36183f, 0.36183f, 0.36183f}},
      {"disabled channels are skipped",
       7,
       6,
       {5.0f, 0.0f, 5.0f, 0.0f, 0.0f, 5.0f},
       {0.36183f, -1.0f, 0.36183f, -1.0f, -1.0f, 0.36183f}},
      {"only the first n channels",
       7,
       2,
       {5.0f, 5.0f, 5.0f, 5.0f, 5.0f, 5.0f},
       {0.36183f, 0.36183f, -1.0f, -1.0f, -1.0f, -1.0f}},
      {"n = 0 does nothing",
       7,
       0,
       {5.0f, 5.0f, 5.0f, 5.0f, 5.0f, 5.0f},
       {-1.0f, -1.0f, -1.0f, -1.0f, -1.0f, -1.0f}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::array<float, kChannels> emis;
    emis.fill(-1.0f);
    klsw_loop(c.freq, 28.0f, emis, c.serial, c.n);
    for (std::size_t k = 0; k < kChannels; ++k) {
      EXPECT_NEAR(emis[k], c.want[k], 2e-5) << "channel " << k << " want " << c.want[k] << " got " << emis[k];
    }
  }
}

// Reference case of the model: 5 GHz, SST 28 C, air 20 C, 3000 m, calm-sea emissivity from the model.
TEST(Tbsfmr, WorkedExample) {
  struct Case {
    float u, r;
    double tb;
  };
  const Case cases[] = {
      {0.0f, 0.0f, 113.815}, {10.0f, 0.0f, 117.671}, {10.0f, 5.0f, 119.864}, {30.0f, 10.0f, 140.338}};
  const std::array<float, 1> freq = {5.0f};
  std::array<float, 1> e0{};
  klsw_loop(freq, 28.0f, e0, 1, 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "U " << c.u << " R " << c.r);
    const float tb = tbsfmr(5.0f, 301.146f, 3000.0f, 293.146f, e0[0], {c.u, c.r});
    EXPECT_NEAR(tb, c.tb, 0.01) << "want " << c.tb << " got " << tb;
  }
}

TEST(Tbsfmr, FrequencyRange) {
  struct Case {
    float f;
    bool inside;
  };
  const Case cases[] = {{3.99f, false}, {4.0f, true},   {6.0f, true},
                        {8.0f, true},   {8.01f, false}, {0.0f, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "f " << c.f);
    const float tb = tbsfmr(c.f, 301.146f, 3000.0f, 293.146f, 0.36f, {10.0f, 5.0f});
    if (c.inside) {
      EXPECT_GT(tb, 100.0f);
    } else {
      EXPECT_EQ(tb, 0.0f);
    }
  }
}

// Without wind and rain the model reduces to Tb = Tr (E Ts + (1 - E) Tsky) + Tup (1 - Tr) with
// E = e0 + (f - 4.74) 2.788e-4, Tr = A^(1 - exp(-H/3500)), A = 0.99456 - 0.0010505 f,
// Tsky = 2.7 A + T4500 (1 - A), T1000 and T4500 by 5.8 K/km from the aircraft, Tup = max(T1000, Ta).
TEST(Tbsfmr, CalmRainFreeClosedForm) {
  struct Case {
    const char* name;
    float f, ts, h, ta, e0;
  };
  const Case cases[] = {
      {"3000 m", 5.0f, 301.146f, 3000.0f, 293.146f, 0.36183f},
      {"on the surface: Tr = 1", 6.3f, 300.0f, 0.0f, 295.0f, 0.365f},
      {"below 1000 m: T1000 below Ta", 7.5f, 299.0f, 500.0f, 296.0f, 0.37f},
      {"high and cold", 4.0f, 302.0f, 12000.0f, 230.0f, 0.358f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const long double f = c.f, H = c.h, Ta = c.ta, Ts = c.ts;
    const long double E = c.e0 + (f - 4.74L) * 2.788e-4L;
    const long double A = 0.99456L - 0.0010505L * f;
    const long double Tr = std::pow(A, 1.0L - std::exp(-H / 3500.0L));
    const long double T1000 = Ta - 0.0058L * (1000.0L - H);
    const long double T4500 = Ta - 0.0058L * (4500.0L - H);
    const long double Tup = std::max(T1000, Ta);
    const long double Tsky = 2.7L * A + T4500 * (1.0L - A);
    const double want = static_cast<double>(Tr * (E * Ts + (1.0L - E) * Tsky) + Tup * (1.0L - Tr));
    const float tb = tbsfmr(c.f, c.ts, c.h, c.ta, c.e0, {0.0f, 0.0f});
    EXPECT_NEAR(tb, want, 1e-4) << "want " << want << " got " << tb;
  }
}

// Rain-layer height: the model with an explicit layer height Z, evaluated in long double, must match for
// the expected Z and differ for the uncut one.
long double rain_model(double f, double ts, double h, double ta, double e0, double u, double r, double z) {
  const long double F = f, U = u, R = r, H = h, Ta = ta;
  long double deu = 0;
  if (U < 7)
    deu = 0.001232L * U;
  else if (U < 37)
    deu = 0.00344L + 0.0002492L * U + 7.02e-5L * U * U;
  else
    deu = 0.005444L * U - 0.09266L;
  const long double E = e0 + deu + (F - 4.74L) * (2.788e-4L + 1.86e-5L * U + 5.166e-6L * U * U);
  const long double A = 0.99456L - 0.0010505L * F;
  const long double Tr = std::pow(A, 1.0L - std::exp(-H / 3500.0L));
  const long double kappa =
      3.94e-9L * std::pow(F, 2.63L * std::pow(R, (long double)0.06f)) * std::pow(R, (long double)0.87f);
  const long double tR = std::exp(-kappa * z), t4 = std::exp(-4000.0L * kappa);
  const long double T1000 = Ta - 0.0058L * (1000.0L - H), T4500 = Ta - 0.0058L * (4500.0L - H);
  const long double Tsky = 2.7L * A + T4500 * (1.0L - A);
  const long double Tdown = T1000 * (1.0L - t4) + t4 * Tsky;
  const long double Tsurf = E * ts + (1.0L - E) * Tdown;
  return Tr * tR * Tsurf + std::max(T1000, Ta) * (1.0L - Tr * tR);
}

TEST(Tbsfmr, RainLayerHeight) {
  struct Case {
    const char* name;
    float h, ta;
    double z;        // expected layer height, m
    double z_wrong;  // a height the model must not use
  };
  const Case cases[] = {
      {"290 K at 3000 m: melting level 6420 m, cut to the aircraft", 3000.0f, 290.0f, 3000.0, 6419.540},
      {"290 K at 8000 m: the 6000 m cap only applies above 11000 m", 8000.0f, 290.0f, 8000.0, 6000.0},
      {"290 K at 12000 m: cut to the aircraft, then to 6000 m", 12000.0f, 290.0f, 6000.0, 12000.0},
      {"260 K at 3000 m: melting level below the aircraft", 3000.0f, 260.0f, 3000.0 - 12.15 / 0.00522,
       3000.0},
      {"250 K at 1000 m: at least 150 m", 1000.0f, 250.0f, 150.0, 1000.0},
      {"250 K at 100 m: 150 m, then cut to the aircraft", 100.0f, 250.0f, 100.0, 150.0},
      {"on the surface: no rain path", 0.0f, 290.0f, 0.0, 150.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const float tb = tbsfmr(6.0f, 300.0f, c.h, c.ta, 0.365f, {15.0f, 20.0f});
    const double want = static_cast<double>(rain_model(6.0, 300.0, c.h, c.ta, 0.365, 15.0, 20.0, c.z));
    const double wrong = static_cast<double>(rain_model(6.0, 300.0, c.h, c.ta, 0.365, 15.0, 20.0, c.z_wrong));
    EXPECT_NEAR(tb, want, 2e-4) << "want " << want << " got " << tb;
    EXPECT_GT(std::fabs(wrong - want), 0.05) << "the case does not tell the heights apart";
  }
}

// The three pieces of the wind excess emissivity meet at 7 and 37 m/s, so the model is continuous there;
// and it rises with wind speed.
TEST(Tbsfmr, WindPiecesJoin) {
  struct Case {
    float below, at;
  };
  const Case cases[] = {{6.9999f, 7.0f}, {36.9999f, 37.0f}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "U " << c.at);
    const float lo = tbsfmr(5.5f, 300.0f, 1500.0f, 295.0f, 0.363f, {c.below, 3.0f});
    const float hi = tbsfmr(5.5f, 300.0f, 1500.0f, 295.0f, 0.363f, {c.at, 3.0f});
    EXPECT_NEAR(lo, hi, 0.005);
    const float higher = tbsfmr(5.5f, 300.0f, 1500.0f, 295.0f, 0.363f, {c.at + 1.0f, 3.0f});
    EXPECT_GT(higher, hi + 0.1f);
  }
}

}  // namespace
}  // namespace sfmr
