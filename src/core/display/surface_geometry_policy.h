#pragma once

#include <vector>

#include "core/platform/screens.h"
#include "core/support/geometry.h"

namespace quillon {

// Pure tests that recognise a notch app's expanded surface by geometry alone: a window
// at the top centre of a display and clearly smaller than it. No display property of
// the notch is read, so the same tests work on displays without one. Every test is
// false for a rectangle with a non-finite coordinate or a non-positive size.
struct SurfaceGeometryPolicy {
  SurfaceGeometryPolicy() = delete;

  // Both rectangles in Quartz coordinates. Narrower than three quarters and lower than
  // half the display, centred within a tenth of its width, touching its top edge (at
  // most 2 points above, at most 8 % of its height and never more than 64 points
  // below) and entirely inside it.
  static bool isBoundedTopCenterSurface(const GlobalRect& rect, const GlobalRect& displayRect);

  // A window above the normal layer that reaches into the top-centre zone of the
  // display: the middle 40 % of its width and the top 20 % of its height.
  static bool isPotentialWindow(const GlobalRect& rect, const GlobalRect& displayRect, int windowLayer);

  // The generous region near the top centre of a screen (Cocoa coordinates) in which
  // the pointer counts as near a notch: at most 70 % of the width but 1000 points, at
  // most half the height but 450 points, hanging from the top edge.
  static ScreenRect topCenterCandidateRegion(const ScreenRect& cocoaScreenFrame);
  // Whether a Cocoa point lies in the candidate region of any screen.
  static bool isTopCenterCandidate(ScreenPoint cocoaPoint, const std::vector<Screen>& screens);
};

}  // namespace quillon
