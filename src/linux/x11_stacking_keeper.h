#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "core/async/subscription.h"
#include "core/support/geometry.h"

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
//
// A screen locker is an ordinary client on X11: a full-screen override-redirect window,
// usually with the keyboard grabbed. The keeper never raises above such a window. When
// one is up, or the keyboard is grabbed by another client, there is nothing to hold;
// when one maps while the keeper holds, it stops raising and says so through `covered`.
// A client that raises itself after every change of ours would start a raise war, so
// the keeper raises at most `maxRaisesPerSecond` times in any second.
class X11StackingKeeper {
 public:
  static constexpr int maxRaisesPerSecond = 20;

  // Keeps `window` on top until the subscription is reset: what the switcher's panel
  // host is given to hold its panels above every window. None when a locker's window is
  // up or another client holds the keyboard; `covered` runs on the main thread when such
  // a window maps later.
  static std::optional<Subscription> hold(X11Connection& connection, std::uint32_t window,
                                          std::function<void()> covered = {});

  // `window` is the panel's X window; its top-level ancestor (the frame, under a
  // reparenting window manager) is what gets restacked.
  X11StackingKeeper(X11Connection& connection, std::uint32_t window, std::function<void()> covered = {});
  ~X11StackingKeeper();
  X11StackingKeeper(const X11StackingKeeper&) = delete;
  X11StackingKeeper& operator=(const X11StackingKeeper&) = delete;

  // Puts the window on top now, unless the last second saw too many raises already or a
  // locker's window covers the screen.
  void raise();
  std::uint32_t topLevel() const { return topLevel_; }
  std::uint64_t restackCount() const { return restackCount_; }
  // A full-screen override-redirect window of another client is mapped above ours.
  bool isCovered() const { return covered_; }

 private:
  void watch(std::uint32_t mapped, bool overrideRedirect);
  bool coversAMonitor(const Rect& bounds) const;

  X11Connection& connection_;
  std::uint32_t topLevel_ = 0;
  std::uint32_t previousRootMask_ = 0;
  std::vector<Rect> monitors_;
  std::function<void()> onCovered_;
  bool covered_ = false;
  std::deque<std::chrono::steady_clock::time_point> recentRaises_;
  Subscription subscription_;
  std::uint64_t restackCount_ = 0;
};

// Whether another client holds the keyboard in an active grab (a screen locker does):
// asked by grabbing it for an instant. The answer is no when our own connection holds it.
bool x11KeyboardGrabbedElsewhere(X11Connection& connection);

// Whether a compositing manager runs on the connection's screen (it owns the
// _NET_WM_CM_Sn selection): only then can a window be translucent.
bool x11HasCompositingManager(X11Connection& connection);

}  // namespace quillon
