#pragma once

#include <functional>
#include <vector>

#include "core/platform/screens.h"

namespace quillon {

// AppKit's screens, the primary one first, with their frames in screen coordinates as
// AppKit gives them. A change of the configuration (a display added or removed, its
// resolution or arrangement changed) arrives as the application's screen-parameters
// notification, on the main thread.
class MacScreens final : public Screens {
 public:
  // Screens:
  std::vector<Screen> screens() const override;
  Subscription subscribeToChanges(std::function<void()> handler) override;
};

}  // namespace quillon
