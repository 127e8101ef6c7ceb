#pragma once

#include <cstdint>
#include <vector>

#include "core/support/geometry.h"

namespace quillon {

// A vector outline made of straight and cubic segments, in the coordinates of the layer
// that draws it. Kept as a flat element list so that two outlines of the same shape can be
// blended element by element, which is how outline animations interpolate.
class Path {
 public:
  struct Element {
    enum class Kind : std::uint8_t { moveTo, lineTo, curveTo, close };
    Kind kind = Kind::moveTo;
    // moveTo/lineTo use points[0]; curveTo uses both controls and the end point.
    Point points[3]{};
    friend bool operator==(const Element&, const Element&) = default;
  };

  void moveTo(Point point);
  void lineTo(Point point);
  void curveTo(Point control1, Point control2, Point end);
  void close();
  void clear() { elements_.clear(); }

  bool isEmpty() const { return elements_.empty(); }
  const std::vector<Element>& elements() const { return elements_; }
  // The box around every point, control points included; zero for an empty path.
  Rect controlPointBounds() const;

  // Writes the blend of `from` and `to` at `fraction` into `out`, reusing its storage.
  // Outlines of different shapes cannot be blended: `out` then takes `to` once the
  // fraction reaches one half, so the change happens at a single, predictable instant.
  static void interpolate(const Path& from, const Path& to, double fraction, Path& out);

  friend bool operator==(const Path&, const Path&) = default;

 private:
  std::vector<Element> elements_;
};

}  // namespace quillon
