#pragma once

#include <functional>
#include <memory>
#include <utility>

#include "core/async/subscription.h"
#include "core/platform/input_system.h"

namespace quillon {

class X11Connection;

// The session's input state from the X server, and an Escape tap made of a key grab:
// while it is started, Escape (with any modifiers, or with each combination of the chord
// modifiers another client leaves free) is grabbed on the root window, and each press
// goes to `onEscape` and to no other client. Unlike a filtering tap it cannot hand a press
// back: it would have to freeze the keyboard until the answer, and a press caught just
// as the tap stops would then never be answered. The grab is released by `stop`, by
// destruction, and with the connection.
class X11InputSystem final : public InputSystem {
 public:
  // `connection` must outlive this object and every tap it makes, and be attached to
  // the main loop for the taps to hear keys.
  explicit X11InputSystem(X11Connection& connection) : connection_(connection) {}

  // InputSystem:
  EventFlags currentModifierFlags() override;
  ScreenPoint currentCursorLocation() override;
  std::unique_ptr<LaunchEscapeTap> makeEscapeTap(std::function<bool()> onEscape) override;
  void claimScrolls(bool claimed) override { claims_.notify(claimed); }

  // The event tap follows the claims: it is what takes the scrolls.
  Subscription subscribeToScrollClaims(std::function<void(bool)> handler) {
    return claims_.subscribe(std::move(handler));
  }

 private:
  X11Connection& connection_;
  ObserverList<bool> claims_;
};

}  // namespace quillon
