#include "core/display/launch_display_target.h"

#include <algorithm>

#include "core/display/screen_coordinates.h"

namespace quillon {

std::optional<GlobalPoint> LaunchDisplayTarget::refreshedTopCenterPoint(
    const std::vector<LaunchDisplayTarget>& current) const {
  if (displayID == 0) return std::nullopt;
  const LaunchDisplayTarget* match = nullptr;
  for (const auto& target : current) {
    if (target.displayID != displayID) continue;
    if (match != nullptr) return std::nullopt;
    match = &target;
  }
  if (match == nullptr || !match->frame.isValid()) return std::nullopt;
  const GlobalRect& f = match->frame;
  return GlobalPoint{f.midX(), f.minY() + std::min(f.height * 0.5, 1.0)};
}

std::vector<LaunchDisplayTarget> currentDisplayTargets(const std::vector<Screen>& screens) {
  const auto coordinates = ScreenCoordinates::forScreens(screens);
  std::vector<LaunchDisplayTarget> targets;
  targets.reserve(screens.size());
  for (const auto& screen : screens) {
    targets.push_back({screen.displayID, coordinates.quartzFromCocoa(screen.frame)});
  }
  return targets;
}

std::vector<LaunchDisplayTarget> currentDisplayTargets(const Screens& screens) {
  return currentDisplayTargets(screens.screens());
}

}  // namespace quillon
