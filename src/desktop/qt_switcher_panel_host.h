#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "core/overlay/launch_switcher_panel_host.h"

namespace quillon {

class Clock;
class QtSwitcherPanel;

// Switcher panels as Qt windows (QtSwitcherPanel). What only the windowing system knows
// comes in as functions (QtSwitcherPanelHost::Windowing): keeping a panel above every
// window, where a screen frame lies in device pixels, and when the session locks.
//
// The core works in the windowing system's device pixels (X root pixels), whatever scale
// Qt applies to its own widgets on a high-density screen: a panel asked for at 716 × 284
// covers 716 × 284 pixels of the screen, and its content is drawn at one pixel per point.
class QtSwitcherPanelHost final : public LaunchSwitcherPanelHost {
 public:
  // Given a panel's native window, holds it above every other window until the
  // subscription is reset, or returns none when it cannot (a screen locker is up).
  // `covered` runs when a screen locker's window comes up over the panel later.
  using KeepAbove =
      std::function<std::optional<Subscription>(std::uint64_t nativeWindow, std::function<void()> covered)>;
  struct Windowing {
    // A compositing manager runs, so the panel can be translucent instead of shaped.
    bool compositing = false;
    KeepAbove keepAbove;
    // Where a screen-space frame lies in device pixels (top-left origin of the whole
    // desktop); none, or no function, places it by Qt's primary screen.
    std::function<std::optional<Rect>(const ScreenRect&)> deviceFrame;
    // Runs the handler when the user's session locks the screen.
    std::function<Subscription(std::function<void()>)> observeLock;
    // The pointer is grabbed while a panel is up, so every click and scroll already comes
    // to us and the panel's window stays transparent for pointer input. Were it to take
    // the pointer, the notch app below would see it leave and collapse its surface under
    // the carousel: the capture during the gesture would find a collapsed notch.
    bool pointerGrabbedWhileUp = false;
  };

  // `clock` must outlive the host, and the host its panels.
  QtSwitcherPanelHost(const Clock& clock, Windowing windowing);

  // The Qt window of a panel this host made (for tests and measurements); null for
  // any other panel.
  static QtSwitcherPanel* widgetOf(LaunchSwitcherPanel* panel);

  // LaunchSwitcherPanelHost:
  std::unique_ptr<LaunchSwitcherPanel> makePanel(LaunchSwitcherContentView& content, const ScreenRect& frame,
                                                 int level) override;
  // Points are device pixels, so one pixel per point on every screen.
  double backingScale(const ScreenRect&) const override { return 1; }
  // The panel does not use levels on X11 (the keeper restacks it); these keep the
  // shared arithmetic meaningful.
  int mainMenuLevel() const override { return 24; }
  int maximumLevel() const override { return 2147483631; }
  // The session's lock, and a locker's window covering the panel (a screen locker is
  // an ordinary client on X11, which only shows itself that way).
  Subscription observeScreenLock(std::function<void()> handler) override;

 private:
  const Clock& clock_;
  Windowing windowing_;
  ObserverList<> covered_;
};

}  // namespace quillon
