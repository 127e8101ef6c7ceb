#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "core/async/subscription.h"
#include "core/platform/screens.h"

namespace quillon {

class X11Connection;

// Screens from RandR monitors. Frames are converted to the Cocoa space of the port
// (origin bottom-left of the primary monitor, y up). Every probe of a notch surface asks
// for the screens, so the monitors are read once and again only after the server tells
// of a change; a round trip for each probe held the main thread on a busy server.
class X11Screens final : public Screens {
 public:
  // `connection` must outlive this object and be attached to the main loop for change
  // notifications to arrive.
  explicit X11Screens(X11Connection& connection);
  ~X11Screens() override;

  // Screens:
  std::vector<Screen> screens() const override;
  Subscription subscribeToChanges(std::function<void()> handler) override;

 private:
  X11Connection& connection_;
  ObserverList<> changes_;
  bool remembers_ = false;  // the server tells us of changes
  mutable std::optional<std::vector<Screen>> known_;
  // Last, so that it goes first: no event reaches a half-destroyed object.
  Subscription subscription_;
};

}  // namespace quillon
