#include "core/overlay/launch_carousel_position.h"

namespace quillon {

std::optional<LaunchCarouselPosition> LaunchCarouselPosition::make(int pageCount, int selectedIndex) {
  if (pageCount < 1 || selectedIndex < 0 || selectedIndex >= pageCount) return std::nullopt;
  return LaunchCarouselPosition(pageCount, selectedIndex);
}

std::optional<int> LaunchCarouselPosition::select(int index, int direction) {
  if (index < 0 || index >= pageCount_ || index == selectedIndex_ || direction == 0) return std::nullopt;
  const int distance = direction > 0 ? ((index - selectedIndex_) + pageCount_) % pageCount_
                                     : -(((selectedIndex_ - index) + pageCount_) % pageCount_);
  const int correction = (pageCount_ + selectedIndex_ + distance) - (pageCount_ + index);
  selectedIndex_ = index;
  return correction;
}

}  // namespace quillon
