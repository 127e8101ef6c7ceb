#include "core/overlay/path.h"

#include <algorithm>
#include <limits>

namespace quillon {

void Path::moveTo(Point point) { elements_.push_back({Element::Kind::moveTo, {point, {}, {}}}); }

void Path::lineTo(Point point) { elements_.push_back({Element::Kind::lineTo, {point, {}, {}}}); }

void Path::curveTo(Point control1, Point control2, Point end) {
  elements_.push_back({Element::Kind::curveTo, {control1, control2, end}});
}

void Path::close() { elements_.push_back({Element::Kind::close, {}}); }

namespace {

int pointCount(Path::Element::Kind kind) {
  switch (kind) {
    case Path::Element::Kind::moveTo:
    case Path::Element::Kind::lineTo: return 1;
    case Path::Element::Kind::curveTo: return 3;
    case Path::Element::Kind::close: return 0;
  }
  return 0;
}

}  // namespace

Rect Path::controlPointBounds() const {
  double minX = std::numeric_limits<double>::infinity();
  double minY = minX;
  double maxX = -minX;
  double maxY = -minX;
  for (const Element& element : elements_) {
    for (int i = 0; i < pointCount(element.kind); ++i) {
      minX = std::min(minX, element.points[i].x);
      minY = std::min(minY, element.points[i].y);
      maxX = std::max(maxX, element.points[i].x);
      maxY = std::max(maxY, element.points[i].y);
    }
  }
  if (minX > maxX) return {};
  return {minX, minY, maxX - minX, maxY - minY};
}

void Path::interpolate(const Path& from, const Path& to, double fraction, Path& out) {
  const auto& a = from.elements_;
  const auto& b = to.elements_;
  bool sameShape = a.size() == b.size();
  for (std::size_t i = 0; sameShape && i < a.size(); ++i) sameShape = a[i].kind == b[i].kind;
  if (!sameShape) {
    out.elements_.assign(fraction < 0.5 ? a.begin() : b.begin(), fraction < 0.5 ? a.end() : b.end());
    return;
  }
  out.elements_.resize(a.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    out.elements_[i].kind = a[i].kind;
    for (int p = 0; p < 3; ++p) {
      out.elements_[i].points[p] = {a[i].points[p].x + (b[i].points[p].x - a[i].points[p].x) * fraction,
                                    a[i].points[p].y + (b[i].points[p].y - a[i].points[p].y) * fraction};
    }
  }
}

}  // namespace quillon
