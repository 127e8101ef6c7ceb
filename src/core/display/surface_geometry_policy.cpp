#include "core/display/surface_geometry_policy.h"

#include <algorithm>
#include <cmath>

namespace quillon {

bool SurfaceGeometryPolicy::isBoundedTopCenterSurface(const Rect& r, const Rect& d) {
  if (!r.isValid() || !d.isValid()) return false;
  const double belowTop = r.minY() - d.minY();
  return r.width < 0.75 * d.width && r.height < 0.5 * d.height && std::abs(r.midX() - d.midX()) < 0.1 * d.width &&
         r.minY() >= d.minY() - 2.0 && belowTop <= std::min(0.08 * d.height, 64.0) && r.maxY() <= d.maxY() &&
         r.minX() >= d.minX() && r.maxX() <= d.maxX();
}

bool SurfaceGeometryPolicy::isPotentialWindow(const Rect& r, const Rect& d, int windowLayer) {
  if (windowLayer < 1 || !r.isValid() || !d.isValid()) return false;
  const Rect zone{d.minX() + 0.3 * d.width, d.minY(), 0.4 * d.width, 0.2 * d.height};
  return r.intersects(zone);
}

Rect SurfaceGeometryPolicy::topCenterCandidateRegion(const Rect& frame) {
  const double w = std::min(frame.width * 0.7, 1000.0);
  const double h = std::min(frame.height * 0.5, 450.0);
  return {frame.midX() - w / 2, frame.maxY() - h, w, h};
}

bool SurfaceGeometryPolicy::isTopCenterCandidate(Point p, const std::vector<LaunchScreen>& screens) {
  return std::any_of(screens.begin(), screens.end(),
                     [p](const LaunchScreen& screen) { return topCenterCandidateRegion(screen.frame).contains(p); });
}

}  // namespace quillon
