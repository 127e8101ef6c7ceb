#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "core/async/subscription.h"
#include "core/support/geometry.h"

namespace quillon {

struct Screen {
  // The window server's display ID; stable while the display stays connected.
  std::uint32_t displayID = 0;
  // The screen's frame in Cocoa screen coordinates: origin at the bottom-left of the
  // primary (first) screen, y growing upward.
  ScreenRect frame;
  friend bool operator==(const Screen&, const Screen&) = default;
};

// The displays in the platform's order; the first one is the primary display.
class Screens {
 public:
  Screens() = default;
  Screens(const Screens&) = delete;
  Screens& operator=(const Screens&) = delete;
  virtual ~Screens() = default;

  virtual std::vector<Screen> screens() const = 0;
  // `handler` is called on the main thread after the screen configuration changed,
  // until the subscription ends.
  virtual Subscription subscribeToChanges(std::function<void()> handler) = 0;
};

}  // namespace quillon
