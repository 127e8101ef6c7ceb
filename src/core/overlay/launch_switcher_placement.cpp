#include "core/overlay/launch_switcher_placement.h"

#include <algorithm>
#include <cmath>

#include "core/overlay/launch_card_layout.h"

namespace quillon {

namespace {

constexpr double minimumShellWidth = 620;
constexpr double windowMargin = 24;

bool containsRect(const ScreenRect& outer, const ScreenRect& inner) {
  return inner.minX() >= outer.minX() && inner.maxX() <= outer.maxX() && inner.minY() >= outer.minY() &&
         inner.maxY() <= outer.maxY();
}

}  // namespace

std::optional<LaunchSwitcherPlacement> LaunchSwitcherPlacement::make(const ScreenRect& source, const ScreenRect& screen,
                                                                     const std::vector<Size>& previewSizes,
                                                                     bool hasGuidance) {
  double widest = minimumShellWidth;
  for (const Size& size : previewSizes) {
    if (!(size.width >= 1) || !(size.height >= 1)) continue;
    const double width = LaunchCardLayout::rowHeight * (size.width / size.height) + 288;
    widest = std::max(widest, std::isfinite(width) ? width : minimumShellWidth);
  }
  const double shellWidth = std::max({widest, minimumShellWidth, source.width + 64});
  const double width = std::min(screen.width, shellWidth + 2 * windowMargin);
  const double topGap = std::max(0.0, screen.maxY() - source.maxY());
  const double height = std::min(screen.height, std::max(hasGuidance ? 300.0 : 260.0, topGap + source.height + 64));

  LaunchSwitcherPlacement placement;
  const double x = std::min(std::max(screen.minX(), source.midX() - width / 2), screen.maxX() - width);
  placement.shell = {x, screen.maxY() - height, width, height};
  if (!containsRect(placement.shell, source)) return std::nullopt;
  const double left = std::max(screen.minX(), placement.shell.minX() - windowMargin);
  const double right = std::min(screen.maxX(), placement.shell.maxX() + windowMargin);
  const double bottom = std::max(screen.minY(), placement.shell.minY() - windowMargin);
  placement.window = {left, bottom, right - left, placement.shell.maxY() - bottom};
  return placement;
}

}  // namespace quillon
