#include "core/overlay/timing_function.h"

#include <algorithm>
#include <cmath>

namespace quillon {

namespace {

double bezier(double t, double p1, double p2) {
  const double u = 1 - t;
  return 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t;
}

double bezierSlope(double t, double p1, double p2) {
  const double u = 1 - t;
  return 3 * u * u * p1 + 6 * u * t * (p2 - p1) + 3 * t * t * (1 - p2);
}

}  // namespace

double TimingFunction::operator()(double x) const {
  x = std::clamp(x, 0.0, 1.0);
  if (c1x_ == c1y_ && c2x_ == c2y_) return x;
  // Newton steps converge in a few rounds for the usual curves; bisection covers flat
  // slopes. The iteration count is fixed, so equal inputs always give equal outputs.
  double t = x;
  for (int i = 0; i < 8; ++i) {
    const double error = bezier(t, c1x_, c2x_) - x;
    const double slope = bezierSlope(t, c1x_, c2x_);
    if (std::abs(error) < 1e-9) return bezier(t, c1y_, c2y_);
    if (std::abs(slope) < 1e-6) break;
    t = std::clamp(t - error / slope, 0.0, 1.0);
  }
  double low = 0;
  double high = 1;
  t = x;
  for (int i = 0; i < 40; ++i) {
    const double value = bezier(t, c1x_, c2x_);
    if (std::abs(value - x) < 1e-9) break;
    (value < x ? low : high) = t;
    t = (low + high) / 2;
  }
  return bezier(t, c1y_, c2y_);
}

}  // namespace quillon
