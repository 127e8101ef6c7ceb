#pragma once

#include <optional>

namespace quillon {

// The selected page of a carousel that shows its pages three times in a row, so that a
// move past either end can slide on into the neighbouring copy and then re-centre.
class LaunchCarouselPosition {
 public:
  // None when pageCount < 1 or selectedIndex is not a page.
  static std::optional<LaunchCarouselPosition> make(int pageCount, int selectedIndex);

  int pageCount() const { return pageCount_; }
  int selectedIndex() const { return selectedIndex_; }
  // Slot of the selected page in the middle copy.
  int centeredSlot() const { return pageCount_ + selectedIndex_; }

  // Selects `index`, moving forward (direction > 0) or backward (direction < 0). Returns
  // the slot correction: 0 without a wrap, +pageCount when a forward move wrapped past
  // the last page, −pageCount when a backward move wrapped past the first. None, and no
  // change, for an index that is not a page, the current page, or direction 0.
  std::optional<int> select(int index, int direction);

  friend bool operator==(const LaunchCarouselPosition&, const LaunchCarouselPosition&) = default;

 private:
  LaunchCarouselPosition(int pageCount, int selectedIndex) : pageCount_(pageCount), selectedIndex_(selectedIndex) {}
  int pageCount_;
  int selectedIndex_;
};

}  // namespace quillon
