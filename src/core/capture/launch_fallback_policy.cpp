#include "core/capture/launch_fallback_policy.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "core/display/surface_geometry_policy.h"

namespace quillon {

namespace {

constexpr double minimumHeight = 64;
constexpr double edgeWindow = 0.2;
constexpr double minimumSampleGap = 0.1;
constexpr double maximumSampleAge = 1.0;
constexpr double pointerInset = 8;
// Sample times are uptimes of a few seconds' difference; the rounding of their
// subtraction must not decide a gap that is exactly at a limit.
constexpr double tolerance = 1e-9;

bool isExpandedNotch(const GlobalRect& frame, const GlobalRect& display) {
  return frame.height >= minimumHeight && SurfaceGeometryPolicy::isBoundedTopCenterSurface(frame, display);
}

bool hasUniqueIDs(const std::vector<LaunchWindowCandidate>& windows) {
  std::set<std::uint32_t> ids;
  for (const auto& window : windows) {
    if (!ids.insert(window.windowID).second) return false;
  }
  return true;
}

}  // namespace

bool LaunchFallbackPolicy::sameBounds(const GlobalRect& a, const GlobalRect& b) { return haveSameBounds(a, b, 2.0); }

bool LaunchFallbackPolicy::acceptsRecordedEdge(const LaunchWindowTarget& recorded, const LaunchWindowTarget& current,
                                               double edgeAtUptime) {
  if (!std::isfinite(edgeAtUptime)) return false;
  const double sinceEdge = recorded.sampledAtUptime - edgeAtUptime;
  return sinceEdge >= -tolerance && sinceEdge <= edgeWindow + tolerance &&
         isExpandedNotch(recorded.frame, recorded.displayFrame) && recorded.processID == current.processID &&
         recorded.windowID == current.windowID && recorded.displayFrame == current.displayFrame &&
         sameBounds(recorded.frame, current.frame);
}

bool LaunchFallbackPolicy::accepts(const LaunchWindowTarget& previous, const LaunchWindowTarget& current,
                                   GlobalPoint edge, GlobalPoint cursor, double nowUptime) {
  if (previous.processID < 1 || previous.processID != current.processID) return false;
  if (previous.windowID == 0 || previous.windowID != current.windowID) return false;
  if (previous.displayFrame != current.displayFrame) return false;
  if (!std::isfinite(nowUptime) || !std::isfinite(previous.sampledAtUptime) || previous.sampledAtUptime < 0 ||
      !std::isfinite(current.sampledAtUptime)) {
    return false;
  }
  const double gap = current.sampledAtUptime - previous.sampledAtUptime;
  if (gap < minimumSampleGap - tolerance || current.sampledAtUptime > nowUptime ||
      nowUptime - previous.sampledAtUptime > maximumSampleAge) {
    return false;
  }
  if (!isExpandedNotch(current.frame, current.displayFrame) || !sameBounds(previous.frame, current.frame)) return false;
  const GlobalRect inner = current.frame.insetBy(pointerInset, pointerInset);
  return inner.contains(edge) && inner.contains(cursor);
}

bool LaunchFallbackPolicy::acceptsExpansionEvidence(std::int32_t processID,
                                                    const std::vector<LaunchWindowCandidate>& observedWindows,
                                                    const std::vector<LaunchWindowCandidate>& currentWindows,
                                                    const GlobalRect& visibleRect, const GlobalRect& displayFrame,
                                                    double sampledAtUptime, double nowUptime,
                                                    bool isSubstantiallyOccluded, double maximumAge) {
  if (processID < 1 || isSubstantiallyOccluded) return false;
  if (!std::isfinite(nowUptime) || !std::isfinite(sampledAtUptime) || !std::isfinite(maximumAge) || maximumAge < 0 ||
      sampledAtUptime > nowUptime || nowUptime - sampledAtUptime > maximumAge) {
    return false;
  }
  if (!isExpandedNotch(visibleRect, displayFrame)) return false;
  if (observedWindows.empty() || observedWindows.size() != currentWindows.size() || !hasUniqueIDs(observedWindows) ||
      !hasUniqueIDs(currentWindows)) {
    return false;
  }
  for (const auto& observed : observedWindows) {
    const auto match = std::find_if(currentWindows.begin(), currentWindows.end(),
                                    [&](const LaunchWindowCandidate& c) { return c.windowID == observed.windowID; });
    if (match == currentWindows.end() || match->windowLayer != observed.windowLayer ||
        !sameBounds(match->frame, observed.frame)) {
      return false;
    }
  }
  return true;
}

}  // namespace quillon
