#pragma once

#include <algorithm>
#include <cmath>

namespace quillon {

// The spaces a point or rectangle can be measured in. Points and rectangles of different
// spaces are different types, so a rectangle cannot cross from one space to the other by
// accident; ScreenCoordinates is the only way across.
//
// GlobalSpace: origin at the top-left of the primary display, y growing down — window
//   bounds, event locations, window targets, snapshots.
// ScreenSpace: origin at the bottom-left of the primary display, y growing up — screen
//   frames, the pointer, the program's own windows.
// LocalSpace: a space of its own — an image's pixels, a layer, a display-relative region.
struct GlobalSpace {};
struct ScreenSpace {};
struct LocalSpace {};

template <class Space>
struct BasicPoint {
  double x = 0;
  double y = 0;
  friend bool operator==(const BasicPoint&, const BasicPoint&) = default;
};

struct Size {
  double width = 0;
  double height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

template <class Space>
struct BasicRect {
  using PointType = BasicPoint<Space>;

  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;

  static BasicRect fromOriginAndSize(PointType origin, Size size) {
    return {origin.x, origin.y, size.width, size.height};
  }
  PointType origin() const { return {x, y}; }
  Size size() const { return {width, height}; }

  double minX() const { return x; }
  double minY() const { return y; }
  double maxX() const { return x + width; }
  double maxY() const { return y + height; }
  double midX() const { return x + width / 2; }
  double midY() const { return y + height / 2; }
  bool isEmpty() const { return !(width > 0) || !(height > 0); }

  // Finite origin and size, positive size and finite far edges.
  bool isValid() const {
    return std::isfinite(x) && std::isfinite(y) && std::isfinite(width) && std::isfinite(height) && width > 0 &&
           height > 0 && std::isfinite(maxX()) && std::isfinite(maxY());
  }
  // Half-open, like the platform's rectangle containment.
  bool contains(PointType p) const { return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY(); }
  bool intersects(const BasicRect& o) const {
    return !isEmpty() && !o.isEmpty() && minX() < o.maxX() && o.minX() < maxX() && minY() < o.maxY() &&
           o.minY() < maxY();
  }
  BasicRect intersection(const BasicRect& o) const {
    if (!intersects(o)) return {};
    const double left = std::max(minX(), o.minX());
    const double top = std::max(minY(), o.minY());
    return {left, top, std::min(maxX(), o.maxX()) - left, std::min(maxY(), o.maxY()) - top};
  }
  BasicRect unionWith(const BasicRect& o) const {
    if (isEmpty()) return o;
    if (o.isEmpty()) return *this;
    const double left = std::min(minX(), o.minX());
    const double top = std::min(minY(), o.minY());
    return {left, top, std::max(maxX(), o.maxX()) - left, std::max(maxY(), o.maxY()) - top};
  }
  BasicRect insetBy(double dx, double dy) const { return {x + dx, y + dy, width - 2 * dx, height - 2 * dy}; }
  BasicRect offsetBy(double dx, double dy) const { return {x + dx, y + dy, width, height}; }

  friend bool operator==(const BasicRect&, const BasicRect&) = default;
};

using Point = BasicPoint<LocalSpace>;
using Rect = BasicRect<LocalSpace>;
using GlobalPoint = BasicPoint<GlobalSpace>;
using GlobalRect = BasicRect<GlobalSpace>;
using ScreenPoint = BasicPoint<ScreenSpace>;
using ScreenRect = BasicRect<ScreenSpace>;

// Two rectangles have the same bounds when origin and size differ by at most 2 points.
template <class Space>
bool haveSameBounds(const BasicRect<Space>& a, const BasicRect<Space>& b, double tolerance = 2.0) {
  return std::abs(a.x - b.x) <= tolerance && std::abs(a.y - b.y) <= tolerance &&
         std::abs(a.width - b.width) <= tolerance && std::abs(a.height - b.height) <= tolerance;
}

}  // namespace quillon
