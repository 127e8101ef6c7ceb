#pragma once

#include <cstdint>
#include <vector>

#include "core/capture/launch_window_candidate.h"
#include "core/capture/launch_window_target.h"
#include "core/support/geometry.h"

namespace quillon {

// When earlier evidence of an expanded notch is still good enough to act on without a
// fresh capture. Every rule insists on the same process, window and display and on a
// bounded top-centre frame, so that a notch that collapsed, moved or changed owner is
// never trusted.
class LaunchFallbackPolicy {
 public:
  // Origin and size each within 2 points.
  static bool sameBounds(const GlobalRect& a, const GlobalRect& b);
  // A target sampled as the pointer entered the notch (at most 0.2 s after the edge)
  // still stands for the current one.
  static bool acceptsRecordedEdge(const LaunchWindowTarget& recorded, const LaunchWindowTarget& current,
                                  double edgeAtUptime);
  // Two samples of the same window, 0.1 to 1.0 s apart, confirm a stable expanded
  // notch that holds both the edge point and the pointer.
  static bool accepts(const LaunchWindowTarget& previous, const LaunchWindowTarget& current, GlobalPoint edge,
                      GlobalPoint cursor, double nowUptime);
  // A window observation made while the notch was expanded still matches the current
  // window list: same windows, layers and bounds, within `maximumAge`.
  static bool acceptsExpansionEvidence(std::int32_t processID,
                                       const std::vector<LaunchWindowCandidate>& observedWindows,
                                       const std::vector<LaunchWindowCandidate>& currentWindows,
                                       const GlobalRect& visibleRect, const GlobalRect& displayFrame,
                                       double sampledAtUptime, double nowUptime, bool isSubstantiallyOccluded,
                                       double maximumAge);
};

}  // namespace quillon
