#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/capture/launch_window_candidate.h"
#include "core/capture/surface_alpha_mask.h"
#include "core/support/bitmap.h"
#include "core/support/geometry.h"

namespace quillon {

// One captured image of a notch app's expanded notch surface, with where it lies on
// screen and whose it is. Immutable once made; it ages by system uptime, so freshness is
// always judged against a maximum age.
struct LaunchSurfaceSnapshot {
  Bitmap image;                      // the full capture rectangle
  SurfaceAlphaMask alphaMask;        // at the capture's alpha threshold
  GlobalRect sourceQuartzRect;       // the screen rectangle the image covers
  GlobalRect visibleQuartzRect;      // pixels with alpha >= 8: the drawn surface
  GlobalRect interactionQuartzRect;  // pixels at or above the capture's threshold
  double sampledAt = 0;              // wall clock, seconds since 1970, when requested
  double sampledAtUptime = 0;        // system uptime when requested
  std::uint32_t windowID = 0;        // the front-most window of the group
  std::int32_t processID = 0;
  int windowLayer = 0;  // the highest layer among the group's windows
  std::vector<LaunchWindowCandidate> sourceWindows;
  Rect presentationPixelBounds;  // solid bounds at alpha >= 8: the part shown

  // Taken from `processID` (and `windowID`, when given) at most `maximumAge` seconds
  // before `nowUptime`, and not in the future.
  bool isFresh(double nowUptime, double maximumAge, std::int32_t processID,
               std::optional<std::uint32_t> windowID = std::nullopt) const;
  // Fresh, and the pixel under `quartzPoint` is solid.
  bool hitTest(GlobalPoint quartzPoint, double nowUptime, double maximumAge, std::int32_t processID,
               std::optional<std::uint32_t> windowID = std::nullopt) const;
  // The image cut to `presentationPixelBounds`; none when those bounds do not lie
  // inside the image.
  std::optional<Bitmap> croppedImage() const;
};

}  // namespace quillon
