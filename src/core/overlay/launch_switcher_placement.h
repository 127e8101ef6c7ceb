#pragma once

#include <optional>
#include <vector>

#include "core/support/geometry.h"

namespace quillon {

// Where the switcher goes on screen: the shell (the carousel's area) hangs from the top of
// the display that holds the notch surface, centred on it and wide enough for the widest
// notch image; the window adds a margin to the left, right and bottom for the body's
// overshoot during the entrance. Screen coordinates, y up.
struct LaunchSwitcherPlacement {
  ScreenRect shell;
  ScreenRect window;

  // None when the shell would not wholly contain the notch surface (a surface taller
  // than the display allows, for instance).
  static std::optional<LaunchSwitcherPlacement> make(const ScreenRect& source, const ScreenRect& screen,
                                                     const std::vector<Size>& previewSizes, bool hasGuidance);
  // The shell rectangle in the window's own coordinates (origin bottom-left), which is
  // what the carousel content is given; likewise for the notch surface.
  Rect shellInWindow() const { return local(shell); }
  Rect local(const ScreenRect& rect) const { return {rect.x - window.x, rect.y - window.y, rect.width, rect.height}; }
};

}  // namespace quillon
