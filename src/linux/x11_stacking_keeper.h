#pragma once

#include "core/async/launch_subscription.h"

#include <cstdint>

#include "core/async/launch_subscription.h"

namespace quillon {

class X11Connection;

// Keeps one window above every other top-level window of the display for as long as the
// keeper lives. X11 has no level above all others that a client can claim, and without a
// window manager (or with one that honours no "above" hint) any client may raise its own
// window over ours; so the keeper watches the root window's stacking changes and puts its
// window back on top after each one. This is the program's only restacking on X11: the
// switcher panel has to stay over the notch app it covers and over whatever is raised
// while it is shown. It is what stands in, on X11, for the window-server space of the
// panel's own that macOS offers (a space at an absolute level above every other, which
// also covers full-screen content); X11 has no such space, and restacking after every
// change is the nearest equivalent.
class X11StackingKeeper {
 public:
  // Keeps `window` on top until the subscription is reset: what the switcher's panel
  // host is given to hold its panels above every window.
  static LaunchSubscription hold(X11Connection& connection, std::uint32_t window);

  // `window` is the panel's X window; its top-level ancestor (the frame, under a
  // reparenting window manager) is what gets restacked.
  X11StackingKeeper(X11Connection& connection, std::uint32_t window);
  ~X11StackingKeeper();
  X11StackingKeeper(const X11StackingKeeper&) = delete;
  X11StackingKeeper& operator=(const X11StackingKeeper&) = delete;

  // Puts the window on top now.
  void raise();
  std::uint32_t topLevel() const { return topLevel_; }
  std::uint64_t restackCount() const { return restackCount_; }

 private:
  X11Connection& connection_;
  std::uint32_t topLevel_ = 0;
  std::uint32_t previousRootMask_ = 0;
  LaunchSubscription subscription_;
  std::uint64_t restackCount_ = 0;
};

// Whether a compositing manager runs on the connection's screen (it owns the
// _NET_WM_CM_Sn selection): only then can a window be translucent.
bool x11HasCompositingManager(X11Connection& connection);

}  // namespace quillon
