#include "retrieval/forward_model.hpp"

#include <bit>
#include <cmath>

namespace sfmr {

namespace {

// 2 pi as the single-precision value 6.2831855, used for the angular frequency and to bring angles into
// [0, 2 pi). Widened exactly to double.
constexpr double kTwoPiSingle = static_cast<double>(6.2831855f);

}  // namespace

// Permittivity (Klein & Swift 1977): a single Debye relaxation plus ionic conductivity,
//   eps = eps_inf + (eps_s - eps_inf) / (1 - i w tau) + i sigma / (w eps_0),
// with the static permittivity eps_s, relaxation time tau and conductivity sigma fitted as polynomials in
// temperature T (deg C) and salinity S (ppt). Reflectivities of a flat surface from the Fresnel equations
// with the complex square root q = a + ib of eps - sin^2(theta):
//   rh = |cos(theta) - q|^2 / |cos(theta) + q|^2,   rv = |eps cos(theta) - q|^2 / |eps cos(theta) + q|^2.
void kleinswift(float f, float theta, float t, float s, float& rv, float& rh, float& epsr, float& epsi) {
  const double T = t;
  const double S = s;
  const double delta = 25.0 - T;

  // Static permittivity: pure water below 0.1 ppt, otherwise the salt-water fit.
  double eps_s = 0.0;
  if (S < 0.1) {
    eps_s = 88.045 - 0.4147 * T + 6.295e-4 * (T * T) + 1.075e-5 * (T * T * T);
  } else {
    eps_s = (87.134 - 0.1949 * T - 0.01276 * (T * T) + 2.491e-4 * (T * T * T)) *
            (1.0 + 1.613e-5 * T * S - 3.656e-3 * S + 3.21e-5 * (S * S) - 4.232e-7 * (S * S * S));
  }
  // Relaxation time, s.
  const double tau = (1.768e-11 - 6.086e-13 * T + 1.104e-14 * (T * T) - 8.111e-17 * (T * T * T)) *
                     (1.0 + 2.282e-5 * S * T - 7.638e-4 * S - 7.76e-6 * (S * S) + 1.105e-8 * (S * S * S));
  // Ionic conductivity, S/m.
  const double sigma = S * (0.182521 - 0.00146192 * S + 2.09324e-5 * (S * S) - 1.28205e-7 * (S * S * S)) /
                       std::exp(delta * (0.02033 + 1.266e-4 * delta + 2.464e-6 * (delta * delta) -
                                         S * (1.849e-5 - 2.551e-7 * delta + 2.551e-8 * (delta * delta))));

  const float omega = static_cast<float>(kTwoPiSingle * f * 1e9);  // angular frequency, rad/s
  const double eps_inf = 4.9;                                      // permittivity at infinite frequency
  const double eps_0 = 8.854e-12;                                  // vacuum permittivity, F/m
  const double wt = static_cast<double>(omega) * tau;
  const double relax = 1.0 + wt * wt;
  epsr = static_cast<float>(eps_inf + (eps_s - eps_inf) / relax);
  epsi = static_cast<float>((eps_s - eps_inf) * wt / relax + sigma / (static_cast<double>(omega) * eps_0));

  const double c = std::cos(static_cast<double>(theta));
  const float x = static_cast<float>(static_cast<double>(epsr) - 1.0 + c * c);  // eps' - sin^2(theta)
  const float y = epsi;
  float rho = 0.0f;
  float phi = 0.0f;
  rec2sph(x, y, rho, phi);
  const double root = std::sqrt(static_cast<double>(rho));
  const double a = root * std::cos(static_cast<double>(phi) / 2.0);
  const double b = root * std::sin(static_cast<double>(phi) / 2.0);

  rh = static_cast<float>(((c - a) * (c - a) + b * b) / ((c + a) * (c + a) + b * b));
  const double er_c = static_cast<double>(epsr) * c;
  const double ei_c = static_cast<double>(epsi) * c;
  rv = static_cast<float>(((er_c - a) * (er_c - a) + (ei_c - b) * (ei_c - b)) /
                          ((er_c + a) * (er_c + a) + (ei_c + b) * (ei_c + b)));
}

void rec2sph(float x, float y, float& rho, float& phi) {
  const double xd = x;
  const double yd = y;
  rho = static_cast<float>(std::sqrt(xd * xd + yd * yd));
  if (x == 0.0f) {
    phi = 1.5707964f;  // pi/2 as stored in single precision
  } else {
    double p = std::atan2(yd, xd);
    if (p < 0.0) p += kTwoPiSingle;
    phi = static_cast<float>(p);
  }
}

void klsw_loop(std::span<const float> freq, float sst, std::span<float> emis, std::int32_t serial, int n) {
  const float theta = 0.0f;      // nadir, rad
  const float salinity = 36.0f;  // open-ocean salinity, ppt
  for (int i = 0; i < n; ++i) {
    const auto k = static_cast<std::size_t>(i);
    if (!(freq[k] > 0.0f)) continue;  // disabled channel: the loss term would divide by zero
    float rv = 0.0f, rh = 0.0f, epsr = 0.0f, epsi = 0.0f;
    kleinswift(freq[k], theta, sst, salinity, rv, rh, epsr, epsi);
    emis[k] = static_cast<float>(1.0 - static_cast<double>(serial == 20 ? rv : rh));
  }
}

namespace {
std::uint64_t evaluations = 0;
}  // namespace

std::uint64_t model_evaluations() {
  return evaluations;
}

// Nadir brightness temperature over a wind-roughened sea under rain:
//   E     = e0 + dE_U(U) + dE_f(f, U)                      surface emissivity with wind excess
//   Tr    = A^(1 - exp(-H / 3500 m))                        clear air below the aircraft, A = air column
//   tR    = exp(-kappa Z),  t4 = exp(-kappa 4000 m)         rain below the aircraft / downwelling rain
//   kappa = 3.94e-9 f^(2.63 R^0.06) R^0.87  (1/m)           rain absorption
//   Tdown = T1000 (1 - t4) + t4 (2.7 A + T4500 (1 - A))     sky and rain emission reflected by the sea
//   Tb    = Tr tR (E Ts + (1 - E) Tdown) + Tup (1 - Tr tR)
void RainPowers::of(float r, double& p06, double& p87) {
  const auto bits = std::bit_cast<std::uint32_t>(r);
  for (const Entry& e : entries_) {
    if (e.set && e.bits == bits) {
      p06 = e.p06;
      p87 = e.p87;
      return;
    }
  }
  const double R = r;
  Entry& e = entries_[next_];
  next_ = 1 - next_;
  e = {true, bits, std::pow(R, static_cast<double>(0.06f)), std::pow(R, static_cast<double>(0.87f))};
  p06 = e.p06;
  p87 = e.p87;
}

ChannelModel::ChannelModel(float f, float ts, float h, float ta, float e0, RainPowers* powers)
    : powers_(powers) {
  in_band_ = !(f < 4.0f || f > 8.0f);  // the model covers 4..8 GHz
  if (!in_band_) return;
  F_ = f;
  Ts_ = ts;
  E0_ = static_cast<double>(e0);
  const double H = h;
  const double Ta = ta;

  A_ = 0.99456 - 0.0010505 * F_;                    // transmissivity of the whole air column
  Tr_ = std::pow(A_, 1.0 - std::exp(-H / 3500.0));  // 3500 m scale height

  // Rain-layer top: where the air, cooling at 5.22 K/km above the aircraft, reaches 272.15 K (the melting
  // level; 272.15 is intended, not 273.15). At least 150 m, never above the aircraft, and at most 6000 m
  // when flying above 11000 m.
  double Z = H + (Ta - 272.15) / 0.00522;
  if (Z < 150.0) Z = 150.0;
  if (H < Z) Z = H;
  if (H > 11000.0 && Z > 6000.0) Z = 6000.0;
  Z_ = Z;

  // Air temperatures at 1000 m and 4500 m by a lapse rate of 5.8 K/km from the aircraft's level.
  T1000_ = Ta - 0.0058 * (1000.0 - H);
  const double T4500 = Ta - 0.0058 * (4500.0 - H);
  Tup_ = T1000_ > Ta ? T1000_ : Ta;
  Tsky_ = 2.7 * A_ + T4500 * (1.0 - A_);  // 2.7 K cosmic background through the air column
}

void ChannelModel::rain_terms(float r) {
  // Rain absorption coefficient, 1/m; the exponents are the single-precision values 0.06 and 0.87.
  double p06 = 0.0;
  double p87 = 0.0;
  if (powers_ != nullptr) {
    powers_->of(r, p06, p87);
  } else {
    const double R = r;
    p06 = std::pow(R, static_cast<double>(0.06f));
    p87 = std::pow(R, static_cast<double>(0.87f));
  }
  const double kappa = 3.94e-9 * std::pow(F_, 2.63 * p06) * p87;
  tR_ = std::exp(-kappa * Z_);
  const double t4 = std::exp(-4000.0 * kappa);  // 4000 m of rain above the surface
  Tdown_ = T1000_ * (1.0 - t4) + t4 * Tsky_;
  rain_bits_ = std::bit_cast<std::uint32_t>(r);
  have_rain_ = true;
}

float ChannelModel::tb(const std::array<float, 2>& x) {
  ++evaluations;
  if (!in_band_) return 0.0f;
  const double U = x[0];
  // The same rain rate, bit for bit, gives the same rain terms.
  if (!have_rain_ || std::bit_cast<std::uint32_t>(x[1]) != rain_bits_) rain_terms(x[1]);

  // Wind-induced excess emissivity, three pieces joining at 7 and 37 m/s.
  double de_u = 0.0;
  if (U < 7.0) {
    de_u = 0.001232 * U;
  } else if (U < 37.0) {
    de_u = 0.00344 + 0.0002492 * U + 7.02e-5 * (U * U);
  } else {
    de_u = 0.005444 * U - 0.09266;
  }
  // Frequency-dependent excess emissivity about 4.74 GHz.
  const double de_f = (F_ - 4.74) * (2.788e-4 + 1.86e-5 * U + 5.166e-6 * (U * U));
  const double E = E0_ + de_u + de_f;

  const double Tsurf = E * Ts_ + (1.0 - E) * Tdown_;
  const double path = Tr_ * tR_;
  return static_cast<float>(path * Tsurf + Tup_ * (1.0 - path));
}

float tbsfmr(float f, float ts, float h, float ta, float e0, const std::array<float, 2>& x) {
  return ChannelModel(f, ts, h, ta, e0).tb(x);
}

}  // namespace sfmr
