// Gauss-Jordan elimination with partial pivoting, for the storm analysis's small least-squares systems
// (the passes' motion fit, the peaks' cubics, the vortex fit's normal equations).
#pragma once

#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

namespace sfmr::storm {

// Reduces the square matrix m (m.size() rows, each indexable) to the identity: inv, which must hold the
// identity on entry, becomes m's inverse and rhs, when given, the solution x of m x = rhs. m is destroyed.
// False when a pivot is zero or not finite (m singular, or holding NaN).
template <class Matrix, class Vector = std::vector<double>>
bool gauss_jordan(Matrix& m, Matrix& inv, Vector* rhs = nullptr) {
  const std::size_t n = m.size();
  for (std::size_t c = 0; c < n; ++c) {
    std::size_t p = c;
    for (std::size_t i = c + 1; i < n; ++i)
      if (std::fabs(m[i][c]) > std::fabs(m[p][c])) p = i;
    if (!(std::fabs(m[p][c]) >= 1e-300)) return false;
    std::swap(m[p], m[c]);
    std::swap(inv[p], inv[c]);
    if (rhs) std::swap((*rhs)[p], (*rhs)[c]);
    const double d = m[c][c];
    for (std::size_t j = 0; j < n; ++j) {
      m[c][j] /= d;
      inv[c][j] /= d;
    }
    if (rhs) (*rhs)[c] /= d;
    for (std::size_t i = 0; i < n; ++i) {
      const double f = m[i][c];
      if (i == c || f == 0.0) continue;
      for (std::size_t j = 0; j < n; ++j) {
        m[i][j] -= f * m[c][j];
        inv[i][j] -= f * inv[c][j];
      }
      if (rhs) (*rhs)[i] -= f * (*rhs)[c];
    }
  }
  return true;
}

}  // namespace sfmr::storm
