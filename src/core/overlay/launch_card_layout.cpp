#include "core/overlay/launch_card_layout.h"

#include <algorithm>
#include <cmath>

namespace quillon {

namespace {

// Width over height, or none when the size cannot place an image.
std::optional<double> aspectRatio(std::optional<Size> size) {
  if (!size || !std::isfinite(size->width) || !std::isfinite(size->height) || size->width <= 0 || size->height <= 0) {
    return std::nullopt;
  }
  const double ratio = size->width / size->height;
  if (!std::isfinite(ratio)) return std::nullopt;
  return ratio;
}

constexpr double sideMargin = 64;
constexpr double previewGap = 32;
constexpr double minimumStackWidth = 128;
constexpr double maximumStackWidth = 192;

}  // namespace

LaunchCardLayout::LaunchCardLayout(const Rect& bounds, std::optional<Size> previewSize) {
  // The row is centred and then lifted a little, leaving room for the hint below it.
  const double rowY = bounds.midY() - rowHeight / 2 + 8;
  const double stackWidth = std::clamp(bounds.width - sideMargin, minimumStackWidth, maximumStackWidth);
  double x = bounds.midX() - stackWidth / 2;
  if (const auto ratio = aspectRatio(previewSize)) {
    const double available = std::max(0.0, bounds.width - sideMargin - stackWidth - previewGap);
    const double previewWidth = std::min(available, *ratio * rowHeight);
    x = bounds.midX() - (stackWidth + previewGap + previewWidth) / 2;
    previewFrame = Rect{x + stackWidth + previewGap, rowY, previewWidth, rowHeight};
  }
  iconFrame = {x + (stackWidth - iconSize) / 2, rowY + titleHeight + stackSpacing, iconSize, iconSize};
  titleFrame = {x, rowY, stackWidth, titleHeight};
}

double LaunchCardLayout::preferredWidth(std::optional<Size> previewSize) {
  const auto ratio = aspectRatio(previewSize);
  return ratio ? *ratio * rowHeight + 288 : 620;
}

}  // namespace quillon
