#pragma once

#include <optional>
#include <vector>

#include "core/capture/launch_window_candidate.h"
#include "core/support/geometry.h"

namespace quillon {

// The windows of one app that together form its notch surface (some apps draw the
// notch as a few neighbouring windows), front-most first, and the display holding them.
struct LaunchCaptureGroup {
  static constexpr std::size_t maximumWindowCount = 8;

  std::vector<LaunchWindowCandidate> windows;  // 1 to 8
  GlobalRect display;

  // Picks the group among an app's windows (front to back) on `displays` (Quartz
  // frames); with `point`, only on the one display containing it. Throws the capture
  // error `noCandidateWindow` when nothing qualifies, `ambiguousWindows`
  // when the matches do not form one bounded, connected surface on one display.
  static LaunchCaptureGroup select(const std::vector<LaunchWindowCandidate>& candidates,
                                   const std::vector<GlobalRect>& displays, std::optional<GlobalPoint> point);

  friend bool operator==(const LaunchCaptureGroup&, const LaunchCaptureGroup&) = default;
};

}  // namespace quillon
