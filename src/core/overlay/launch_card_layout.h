#pragma once

#include <optional>

#include "core/support/geometry.h"

namespace quillon {

// The frames of one carousel page: the icon and name stacked in a column, and the app's
// notch image to their right when there is one.
struct LaunchCardLayout {
  static constexpr double iconSize = 128;
  static constexpr double titleHeight = 23;
  static constexpr double stackSpacing = 12;
  static constexpr double rowHeight = iconSize + stackSpacing + titleHeight;

  Rect iconFrame;
  Rect titleFrame;
  std::optional<Rect> previewFrame;  // none without a usable image size

  // `previewSize` is the image's size; an absent, non-finite or non-positive one (or one
  // whose aspect ratio is not finite) leaves the page without an image.
  LaunchCardLayout(const Rect& bounds, std::optional<Size> previewSize);
  static double preferredWidth(std::optional<Size> previewSize);
};

}  // namespace quillon
