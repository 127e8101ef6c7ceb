#pragma once

#include <algorithm>
#include <cmath>

namespace quillon {

struct Point {
  double x = 0;
  double y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
  double width = 0;
  double height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

// A rectangle in points. Whether y grows up (Cocoa screen space) or down (Quartz
// global space) is up to the caller; the field names are the same in both.
struct Rect {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;

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
  bool contains(Point p) const { return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY(); }
  bool intersects(const Rect& o) const {
    return !isEmpty() && !o.isEmpty() && minX() < o.maxX() && o.minX() < maxX() && minY() < o.maxY() &&
           o.minY() < maxY();
  }
  Rect intersection(const Rect& o) const {
    if (!intersects(o)) return {};
    const double left = std::max(minX(), o.minX());
    const double top = std::max(minY(), o.minY());
    return {left, top, std::min(maxX(), o.maxX()) - left, std::min(maxY(), o.maxY()) - top};
  }
  Rect unionWith(const Rect& o) const {
    if (isEmpty()) return o;
    if (o.isEmpty()) return *this;
    const double left = std::min(minX(), o.minX());
    const double top = std::min(minY(), o.minY());
    return {left, top, std::max(maxX(), o.maxX()) - left, std::max(maxY(), o.maxY()) - top};
  }
  Rect insetBy(double dx, double dy) const { return {x + dx, y + dy, width - 2 * dx, height - 2 * dy}; }

  friend bool operator==(const Rect&, const Rect&) = default;
};

// Two rectangles have the same bounds when origin and size differ by at most 2 points.
inline bool haveSameBounds(const Rect& a, const Rect& b, double tolerance = 2.0) {
  return std::abs(a.x - b.x) <= tolerance && std::abs(a.y - b.y) <= tolerance &&
         std::abs(a.width - b.width) <= tolerance && std::abs(a.height - b.height) <= tolerance;
}

}  // namespace quillon
