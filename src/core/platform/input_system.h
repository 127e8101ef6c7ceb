#pragma once

#include <functional>
#include <memory>

#include "core/support/event_flags.h"
#include "core/support/geometry.h"

namespace quillon {

// Swallows Escape key-downs for as long as it is started: each one is offered to
// `onEscape` on the main thread, and dropped when that answers true.
class LaunchEscapeTap {
 public:
  virtual ~LaunchEscapeTap() = default;
  // True once installed (also when already started); false when the system refuses.
  virtual bool start() = 0;
  // Idempotent; after it returns, `onEscape` is never called again.
  virtual void stop() = 0;
};

// The session-wide input state the router reads directly rather than from events.
class InputSystem {
 public:
  virtual ~InputSystem() = default;

  // The modifier keys down in the whole session right now, in event-flag bits.
  virtual EventFlags currentModifierFlags() = 0;
  // The pointer's position right now, in screen coordinates.
  virtual ScreenPoint currentCursorLocation() = 0;
  virtual std::unique_ptr<LaunchEscapeTap> makeEscapeTap(std::function<bool()> onEscape) = 0;
  // The switcher is up (true) or down again (false). A platform whose event tap cannot
  // drop a delivered scroll takes every scroll of the session while they are claimed;
  // one that drops each claimed scroll as it comes needs nothing here.
  virtual void claimScrolls(bool claimed) { (void)claimed; }
};

}  // namespace quillon
