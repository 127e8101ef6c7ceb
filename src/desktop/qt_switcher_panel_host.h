#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "core/overlay/launch_switcher_panel_host.h"

namespace quillon {

class LaunchClock;
class QtSwitcherPanel;

// Switcher panels as Qt windows (QtSwitcherPanel). Keeping a panel above every window is
// the windowing system's business, so it comes in as a function: given the panel's
// native window it holds the window on top until the subscription it returns is reset,
// or returns none when it cannot.
class QtSwitcherPanelHost final : public LaunchSwitcherPanelHost {
 public:
  using KeepAbove = std::function<std::optional<LaunchSubscription>(std::uint64_t nativeWindow)>;

  // `clock` must outlive the host, and the host its panels. `compositing`: a compositing manager runs, so the
  // panel can be translucent instead of shaped.
  QtSwitcherPanelHost(const LaunchClock& clock, bool compositing, KeepAbove keepAbove);

  // The Qt window of a panel this host made (for tests and measurements); null for
  // any other panel.
  static QtSwitcherPanel* widgetOf(LaunchSwitcherPanel* panel);

  // LaunchSwitcherPanelHost:
  std::unique_ptr<LaunchSwitcherPanel> makePanel(LaunchSwitcherContentView& content, const ScreenRect& frame,
                                                 int level) override;
  double backingScale(const ScreenRect& screenFrame) const override;
  // The panel does not use levels on X11 (the keeper restacks it); these keep the
  // shared arithmetic meaningful.
  int mainMenuLevel() const override { return 24; }
  int maximumLevel() const override { return 2147483631; }
  // X11 has no session lock of its own: a screen locker is just another client's window,
  // which the stacking keeper would even fight. Nothing is observed, and the window
  // server never reports the screen as locked either.
  LaunchSubscription observeScreenLock(std::function<void()>) override { return {}; }

 private:
  const LaunchClock& clock_;
  bool compositing_;
  KeepAbove keepAbove_;
};

}  // namespace quillon
