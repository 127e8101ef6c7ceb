#pragma once

#include <cstdint>
#include <optional>

#include "core/support/geometry.h"

namespace quillon {

// The window found to be a notch app's expanded notch surface, with the display that
// holds it and when it was seen there.
struct LaunchWindowTarget {
  std::int32_t processID = 0;
  std::uint32_t windowID = 0;
  GlobalRect frame;
  GlobalRect displayFrame;
  double sampledAtUptime = 0;  // seconds of system uptime
  // The window server's sharing state (0 none, 1 read-only, 2 read-write); absent when
  // the window list does not report it.
  std::optional<int> sharingState;
  int windowLayer = 0;

  friend bool operator==(const LaunchWindowTarget&, const LaunchWindowTarget&) = default;
};

}  // namespace quillon
