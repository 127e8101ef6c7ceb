#pragma once

#include "core/overlay/path.h"
#include "core/support/geometry.h"

namespace quillon {

// The silhouette of the switcher's body: a rectangle hanging from the top edge whose upper
// corners flare outwards into the top edge (concave shoulders, like the hardware notch)
// and whose lower corners are rounded.
class LaunchNotchOutline {
 public:
  static constexpr double shoulderRadius = 24;
  static constexpr double bottomRadius = 24;
  static constexpr double lineWidth = 1;

  // `rect` inset horizontally by the shoulders: the area that holds content.
  static Rect bodyBounds(const Rect& rect);
  // Closed along the top edge, for filling and masking.
  static Path silhouette(const Rect& rect);
  // Open at the top, so the border draws no line along the screen edge.
  static Path border(const Rect& rect);

  static void makePath(const Rect& rect, bool closeTop, Path& out);
  static double shoulderRadiusFor(const Rect& rect);
};

}  // namespace quillon
