#pragma once

#include <functional>
#include <memory>

#include "core/overlay/launch_switcher_panel_host.h"

namespace quillon {

class QtSwitcherPanelHost;

// Switcher panels drawn by the Qt panels, placed by AppKit: keeping a panel above the
// other windows sets its NSWindow's level (the one the overlay chose, one above the
// notch app's window) and collection behaviour (on every space, beside full-screen
// windows, stationary, out of the window cycle), makes it a non-activating floating
// panel that stays when the program is inactive, and ignores the mouse until the overlay
// says it is ready. Qt may rewrite the window's level when its flags change, so all of
// it is applied again after each change of the mouse setting and each ordering in front.
//
// Without the window server's private spaces a panel does not cover a full-screen app's
// own space; it joins it as an auxiliary window instead.
class MacSwitcherPanelHost final : public LaunchSwitcherPanelHost {
 public:
  // `drawing` makes the Qt windows; give it no keep-above function of its own.
  explicit MacSwitcherPanelHost(std::unique_ptr<QtSwitcherPanelHost> drawing);
  ~MacSwitcherPanelHost() override;

  // LaunchSwitcherPanelHost:
  std::unique_ptr<LaunchSwitcherPanel> makePanel(LaunchSwitcherContentView& content, const ScreenRect& frame,
                                                 int level) override;
  // The backing scale factor of the screen with exactly this frame, else the main
  // screen's.
  double backingScale(const ScreenRect& screenFrame) const override;
  int mainMenuLevel() const override;
  int maximumLevel() const override;
  // The session's "com.apple.screenIsLocked" distributed notification.
  Subscription observeScreenLock(std::function<void()> handler) override;

 private:
  std::unique_ptr<QtSwitcherPanelHost> drawing_;
};

}  // namespace quillon
