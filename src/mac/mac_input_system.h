#pragma once

#include <functional>
#include <memory>

#include "core/platform/input_system.h"

namespace quillon {

// The session's input state from Quartz and AppKit, and an Escape tap made of a filtering
// key-down event tap plus AppKit key-down monitors. The event tap sees Escape before any
// application and drops it when `onEscape` answers true. The local monitor covers a
// press delivered to this program's own windows while the tap is being re-enabled (it
// drops it on the same answer); the global one only observes, for presses the tap let
// through. All three call `onEscape` on the main thread.
class MacInputSystem final : public InputSystem {
 public:
  // InputSystem:
  // The combined session state: every event source of the login session.
  EventFlags currentModifierFlags() override;
  ScreenPoint currentCursorLocation() override;
  std::unique_ptr<LaunchEscapeTap> makeEscapeTap(std::function<bool()> onEscape) override;
};

}  // namespace quillon
