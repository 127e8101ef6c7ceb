#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/platform/screens.h"
#include "core/support/geometry.h"

namespace quillon {

// A display as the window server knows it: its ID and its frame in Quartz global
// coordinates (top-left origin, y down), the space of window bounds.
struct LaunchDisplayTarget {
  std::uint32_t displayID = 0;
  GlobalRect frame;

  // The point the capture aims at on this display, looked up by ID in a freshly read
  // list so that a display moved or resized since this target was taken is followed:
  // the horizontal centre, one point below the top edge (half the height on a display
  // less than two points tall). None for ID 0, for an ID that is missing or appears
  // more than once (mirroring makes it ambiguous), or for an invalid frame.
  std::optional<GlobalPoint> refreshedTopCenterPoint(const std::vector<LaunchDisplayTarget>& current) const;

  friend bool operator==(const LaunchDisplayTarget&, const LaunchDisplayTarget&) = default;
};

// The displays in screen order, their frames converted to Quartz coordinates.
std::vector<LaunchDisplayTarget> currentDisplayTargets(const std::vector<Screen>& screens);
std::vector<LaunchDisplayTarget> currentDisplayTargets(const Screens& screens);

}  // namespace quillon
