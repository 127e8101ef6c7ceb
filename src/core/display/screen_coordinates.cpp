#include "core/display/screen_coordinates.h"

namespace quillon {

ScreenCoordinates ScreenCoordinates::forScreens(const std::vector<Screen>& screens) {
  return ScreenCoordinates(screens.empty() ? 0.0 : screens.front().frame.maxY());
}

}  // namespace quillon
