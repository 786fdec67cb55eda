#include "retrieval/solver.hpp"

#include <cmath>

#include "core/constants.hpp"
#include "core/state.hpp"
#include "retrieval/forward_model.hpp"

namespace sfmr {

void invert2(int np, std::array<float, 4>& m) {
  if (np == 1) {
    if (m[0] != 0.0f) m[0] = static_cast<float>(1.0 / static_cast<double>(m[0]));
    return;
  }
  const double a = m[0];  // (1,1)
  const double b = m[1];  // (2,1)
  const double c = m[2];  // (1,2)
  const double d = m[3];  // (2,2)
  const double det = a * d - b * c;
  if (det == 0.0) return;
  m[0] = static_cast<float>(d / det);
  m[3] = static_cast<float>(a / det);
  m[1] = static_cast<float>(-b / det);
  m[2] = static_cast<float>(-c / det);
}

// Gauss-Newton on x = (U, R): with residuals d = Tb_measured - Tb_model(x) and the one-sided
// finite-difference Jacobian J, each iteration takes the full step x' = x + (J^T J)^-1 J^T d. The rain rate
// is dropped from the fit (R = 0) once it has stayed below 0.4 mm/h for two iterations, from the 4th on.
void wrsolv(std::span<float> tb, std::span<const float> freq, float& ws, float& rr, float sst, float tamb,
            float ralt, float delta, int n, float prevws, float prevrr, std::span<const float> emis,
            std::int32_t& err, float& qf, SolverTrace* trace) {
  if (n <= 1) return;
  const auto channels = static_cast<std::size_t>(n);
  int np = 2;
  // The system's own kelvin offset (kKelvinOffset), for both temperatures.
  const float ts = static_cast<float>(static_cast<double>(sst) + kKelvinOffset);
  const float ta = static_cast<float>(static_cast<double>(tamb) + kKelvinOffset);

  // Calm-sea check: a channel measuring less than the calm, rain-free model is fitted to the model value;
  // four or more such channels mean no wind and no rain.
  // The channels' conditions stay the same for the whole solve: their model terms are computed once.
  RainPowers powers;
  std::array<ChannelModel, 6> model_of{};
  for (std::size_t i = 0; i < channels; ++i)
    model_of[i] = ChannelModel(freq[i], ts, ralt, ta, emis[i], &powers);
  std::array<float, 2> x = {0.0f, 0.0f};
  int below_calm = 0;
  for (std::size_t i = 0; i < channels; ++i) {
    if (!(freq[i] > 0.0f)) continue;
    const float calm = model_of[i].tb(x);
    if (calm > tb[i]) {
      tb[i] = calm;
      ++below_calm;
    }
  }
  if (below_calm >= 4) {
    ws = 0.0f;
    rr = 0.0f;
    set_bit(err, err_bit::kZeroWsRr, true);
    return;
  }
  set_bit(err, err_bit::kZeroWsRr, false);

  x[0] = prevws > 5.0f ? prevws : 5.0f;  // m/s
  x[1] = prevrr > 2.0f ? prevrr : 2.0f;  // mm/h
  int iteration = 0;
  int low_rain = 0;
  bool not_converged = true;
  std::array<std::array<float, 2>, 6> J{};  // J[i][j]: d Tb_i / d x_j
  std::array<float, 6> d{};                 // measured minus model, K
  const double step = delta;

  while (iteration <= kMaxIterations && not_converged) {
    ++iteration;
    ++low_rain;
    qf = 0.0f;
    for (std::size_t i = 0; i < channels; ++i) {
      const float model = model_of[i].tb(x);
      for (int j = 0; j < np; ++j) {
        const auto jj = static_cast<std::size_t>(j);
        x[jj] = static_cast<float>(static_cast<double>(x[jj]) + step);
        const float moved = model_of[i].tb(x);
        J[i][jj] = static_cast<float>((static_cast<double>(moved) - static_cast<double>(model)) / step);
        x[jj] = static_cast<float>(static_cast<double>(x[jj]) - step);
      }
      d[i] = static_cast<float>(static_cast<double>(tb[i]) - static_cast<double>(model));
      qf =
          static_cast<float>(static_cast<double>(qf) + static_cast<double>(d[i]) * static_cast<double>(d[i]));
    }
    qf = static_cast<float>(std::sqrt(static_cast<double>(qf) / n));

    // Normal matrix M = J^T J, column by column, inverted in place.
    std::array<float, 4> m{};
    for (int j = 0; j < np; ++j) {
      for (int k = 0; k < np; ++k) {
        double sum = 0.0;
        for (std::size_t i = 0; i < channels; ++i) {
          sum += static_cast<double>(J[i][static_cast<std::size_t>(j)]) *
                 static_cast<double>(J[i][static_cast<std::size_t>(k)]);
        }
        m[static_cast<std::size_t>(j + 2 * k)] = static_cast<float>(sum);
      }
    }
    invert2(np, m);

    // Gain G = M J^T and the new state.
    std::array<float, 2> next = x;
    for (int j = 0; j < np; ++j) {
      const auto jj = static_cast<std::size_t>(j);
      double sum = 0.0;
      for (std::size_t i = 0; i < channels; ++i) {
        double g = static_cast<double>(m[jj]) * static_cast<double>(J[i][0]);
        if (np == 2) g += static_cast<double>(m[jj + 2]) * static_cast<double>(J[i][1]);
        const float gain = static_cast<float>(g);
        sum += static_cast<double>(gain) * static_cast<double>(d[i]);
      }
      next[jj] = static_cast<float>(static_cast<double>(x[jj]) + sum);
    }

    // Relative change of each parameter (before the limits), then the limits: a negative value becomes
    // 0.01, a value above 100 jumps back to 20.
    if (trace != nullptr) trace->proposed[static_cast<std::size_t>(iteration - 1)] = next;
    not_converged = false;
    for (int j = 0; j < np; ++j) {
      const auto jj = static_cast<std::size_t>(j);
      const double old_value = x[jj];
      const double new_value = next[jj];
      double change = 0.0;
      if (old_value != 0.0) {
        change = std::fabs(new_value - old_value) / std::fabs(old_value);
      } else {
        change = new_value == 0.0 ? 0.0 : 9999.0;
      }
      x[jj] = next[jj];
      if (x[jj] < 0.0f) x[jj] = 0.01f;
      if (x[jj] > 100.0f) x[jj] = 20.0f;
      if (change > 0.01) not_converged = true;
    }

    // Low-rain rule: below 0.4 mm/h for two iterations in a row, from the 4th iteration on, the rain rate is
    // set to zero and only the wind speed is fitted from then on.
    if (!(static_cast<double>(x[1]) < kLowRainLimit)) low_rain = 0;
    if (low_rain >= 2 && iteration >= 4) {
      x[1] = 0.0f;
      np = 1;
    }
    if (trace != nullptr) {
      trace->x[static_cast<std::size_t>(iteration - 1)] = x;
      trace->iterations = iteration;
    }
  }

  if (iteration > kMaxIterations) {
    ws = 0.0f;
    rr = 0.0f;
    set_bit(err, err_bit::kNoSolution, true);
    return;
  }
  set_bit(err, err_bit::kNoSolution, false);
  rr = x[1];
  // Rain correction of the fitted wind (kRainWind0, kRainWind1).
  const double u = x[0];
  const double corrected = u - (kRainWind0 - kRainWind1 * u) * static_cast<double>(x[1]);
  ws = corrected < 0.0 ? 0.0f : static_cast<float>(corrected);
}

}  // namespace sfmr
