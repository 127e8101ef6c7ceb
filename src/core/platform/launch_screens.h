#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "core/async/launch_subscription.h"
#include "core/support/geometry.h"

namespace quillon {

struct LaunchScreen {
  // The window server's display ID; stable while the display stays connected.
  std::uint32_t displayID = 0;
  // The screen's frame in Cocoa screen coordinates: origin at the bottom-left of the
  // primary (first) screen, y growing upward.
  ScreenRect frame;
  friend bool operator==(const LaunchScreen&, const LaunchScreen&) = default;
};

// The displays in the platform's order; the first one is the primary display.
class LaunchScreens {
 public:
  LaunchScreens() = default;
  LaunchScreens(const LaunchScreens&) = delete;
  LaunchScreens& operator=(const LaunchScreens&) = delete;
  virtual ~LaunchScreens() = default;

  virtual std::vector<LaunchScreen> screens() const = 0;
  // `handler` runs on the main thread after the screen configuration changed, for as
  // long as the subscription lives. Several parts of the program watch the displays (the
  // app's own refresh, a switcher shown on one of them), so each holds its own.
  virtual LaunchSubscription observeChanges(std::function<void()> handler) = 0;
};

}  // namespace quillon
