#include "core/display/surface_geometry_policy.h"

#include <algorithm>
#include <cmath>

namespace quillon {

bool SurfaceGeometryPolicy::isBoundedTopCenterSurface(const GlobalRect& r, const GlobalRect& d) {
  if (!r.isValid() || !d.isValid()) return false;
  const double belowTop = r.minY() - d.minY();
  return r.width < 0.75 * d.width && r.height < 0.5 * d.height && std::abs(r.midX() - d.midX()) < 0.1 * d.width &&
         r.minY() >= d.minY() - 2.0 && belowTop <= std::min(0.08 * d.height, 64.0) && r.maxY() <= d.maxY() &&
         r.minX() >= d.minX() && r.maxX() <= d.maxX();
}

bool SurfaceGeometryPolicy::isPotentialWindow(const GlobalRect& r, const GlobalRect& d, int windowLayer) {
  if (windowLayer < 1 || !r.isValid() || !d.isValid()) return false;
  const GlobalRect zone{d.minX() + 0.3 * d.width, d.minY(), 0.4 * d.width, 0.2 * d.height};
  return r.intersects(zone);
}

ScreenRect SurfaceGeometryPolicy::topCenterCandidateRegion(const ScreenRect& frame) {
  const double w = std::min(frame.width * 0.7, 1000.0);
  const double h = std::min(frame.height * 0.5, 450.0);
  return {frame.midX() - w / 2, frame.maxY() - h, w, h};
}

bool SurfaceGeometryPolicy::isTopCenterCandidate(ScreenPoint p, const std::vector<Screen>& screens) {
  return std::any_of(screens.begin(), screens.end(),
                     [p](const Screen& screen) { return topCenterCandidateRegion(screen.frame).contains(p); });
}

}  // namespace quillon
