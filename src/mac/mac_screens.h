#pragma once

#include <functional>
#include <vector>

#include "core/platform/launch_screens.h"

namespace quillon {

// AppKit's screens, the primary one first, with their frames in screen coordinates as
// AppKit gives them. A change of the configuration (a display added or removed, its
// resolution or arrangement changed) arrives as the application's screen-parameters
// notification, on the main thread.
class MacScreens final : public LaunchScreens {
 public:
  // LaunchScreens:
  std::vector<LaunchScreen> screens() const override;
  LaunchSubscription subscribeToChanges(std::function<void()> handler) override;
};

}  // namespace quillon
