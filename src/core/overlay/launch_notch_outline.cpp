#include "core/overlay/launch_notch_outline.h"

#include <algorithm>
#include <cmath>

namespace quillon {

namespace {

// Bézier control distances for a quarter circle and for its complement.
constexpr double circleControl = 0.5522847498307936;
constexpr double cornerControl = 0.44771525016920644;

bool isDrawable(const Rect& rect) {
  return std::isfinite(rect.x) && std::isfinite(rect.y) && std::isfinite(rect.width) && std::isfinite(rect.height) &&
         rect.width > 1 && rect.height > 1;
}

}  // namespace

double LaunchNotchOutline::shoulderRadiusFor(const Rect& rect) {
  if (rect.width / 4 < shoulderRadius) return std::max(0.0, std::min(rect.height / 3, rect.width / 4));
  if (rect.height / 3 < shoulderRadius) return std::max(0.0, rect.height / 3);
  return shoulderRadius;
}

Rect LaunchNotchOutline::bodyBounds(const Rect& rect) {
  const double shoulder = shoulderRadiusFor(rect);
  return rect.insetBy(shoulder, 0);
}

void LaunchNotchOutline::makePath(const Rect& rect, bool closeTop, Path& out) {
  out.clear();
  if (!isDrawable(rect)) return;
  const double left = rect.minX() + 0.5;
  const double right = rect.maxX() - 0.5;
  const double top = rect.maxY();
  const double bottom = rect.minY() + 0.5;
  const double s = shoulderRadiusFor(rect);
  const double innerLeft = left + s;
  const double innerRight = right - s;
  const double halfWidth = (innerRight - innerLeft) / 2;
  const double halfHeight = (top - bottom - s) / 2;
  double b = bottomRadius;
  if (halfWidth < bottomRadius) {
    b = std::max(0.0, std::min(halfHeight, halfWidth));
  } else if (halfHeight < bottomRadius) {
    b = std::max(0.0, halfHeight);
  }
  const double k = circleControl * s;
  const double c = cornerControl * b;
  out.moveTo({left, top});
  out.curveTo({left + k, top}, {innerLeft, top - s + k}, {innerLeft, top - s});
  out.lineTo({innerLeft, bottom + b});
  out.curveTo({innerLeft, bottom + c}, {innerLeft + c, bottom}, {innerLeft + b, bottom});
  out.lineTo({innerRight - b, bottom});
  out.curveTo({innerRight - c, bottom}, {innerRight, bottom + c}, {innerRight, bottom + b});
  out.lineTo({innerRight, top - s});
  out.curveTo({innerRight, top - s + k}, {right - k, top}, {right, top});
  if (closeTop) out.close();
}

Path LaunchNotchOutline::silhouette(const Rect& rect) {
  Path path;
  makePath(rect, true, path);
  return path;
}

Path LaunchNotchOutline::border(const Rect& rect) {
  Path path;
  makePath(rect, false, path);
  return path;
}

}  // namespace quillon
