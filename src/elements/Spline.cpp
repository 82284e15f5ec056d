#include "elements/Spline.h"

#include <algorithm>

namespace qx {

CubicSpline::CubicSpline(std::vector<double> times, std::vector<double> values)
    : times_(std::move(times)), values_(std::move(values)) {
  const size_t n = times_.size();
  if (n < 2 || values_.size() != n) {
    times_.clear();
    return;
  }
  // The slopes s solve a tridiagonal system a[i] s[i-1] + b[i] s[i] + c[i] s[i+1] = d[i].
  std::vector<double> a(n, 0), b(n, 0), c(n, 0), d(n, 0);
  const auto& t = times_;
  const auto& v = values_;
  if (n == 2) {
    const double h = t[1] - t[0], delta = v[1] - v[0];
    b[0] = 2, c[0] = 1, d[0] = 3 * delta / h;
    a[1] = 1, b[1] = 2, d[1] = 3 * delta / h;
  } else {
    b[0] = 1, c[0] = 1, d[0] = 2 * (v[1] - v[0]) / (t[1] - t[0]);
    for (size_t i = 1; i + 1 < n; ++i) {
      const double hl = t[i] - t[i - 1], hr = t[i + 1] - t[i];
      a[i] = hr;
      b[i] = 2 * (t[i + 1] - t[i - 1]);
      c[i] = hl;
      d[i] = 3 * (v[i] - v[i - 1]) * hr / hl + 3 * (v[i + 1] - v[i]) * hl / hr;
    }
    a[n - 1] = 1, b[n - 1] = 1, d[n - 1] = 2 * (v[n - 1] - v[n - 2]) / (t[n - 1] - t[n - 2]);
  }
  // Thomas algorithm.
  for (size_t i = 1; i < n; ++i) {
    const double m = a[i] / b[i - 1];
    b[i] -= m * c[i - 1];
    d[i] -= m * d[i - 1];
  }
  slopes_.assign(n, 0);
  slopes_[n - 1] = d[n - 1] / b[n - 1];
  for (size_t i = n - 1; i-- > 0;) slopes_[i] = (d[i] - c[i] * slopes_[i + 1]) / b[i];
}

double CubicSpline::operator()(double x) const {
  if (Empty()) return 0;
  // The segment by binary search over the knots; the end segments extend outwards.
  size_t i = static_cast<size_t>(std::upper_bound(times_.begin(), times_.end(), x) - times_.begin());
  i = i == 0 ? 0 : i - 1;
  if (i >= times_.size() - 1) i = times_.size() - 2;
  const double h = times_[i + 1] - times_[i];
  const double delta = values_[i + 1] - values_[i];
  const double s0 = slopes_[i], s1 = slopes_[i + 1];
  const double c2 = (3 * delta - 2 * s0 * h - s1 * h) / (h * h);
  const double c3 = (-2 * delta + (s0 + s1) * h) / (h * h * h);
  const double dt = x - times_[i];
  return values_[i] + s0 * dt + c2 * dt * dt + c3 * dt * dt * dt;
}

}  // namespace qx
