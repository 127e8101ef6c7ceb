#include "core/display/launch_screen_coordinates.h"

namespace quillon {

LaunchScreenCoordinates LaunchScreenCoordinates::forScreens(const std::vector<LaunchScreen>& screens) {
  return LaunchScreenCoordinates(screens.empty() ? 0.0 : screens.front().frame.maxY());
}

}  // namespace quillon
