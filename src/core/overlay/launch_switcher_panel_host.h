#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/async/subscription.h"
#include "core/support/geometry.h"

namespace quillon {

class LaunchSwitcherContentView;

// The window the switcher's carousel is drawn in. Borderless, never key or main, never
// takes focus from the notch app below it, and lets clicks through until it is told it
// is ready.
class LaunchSwitcherPanel {
 public:
  LaunchSwitcherPanel() = default;
  LaunchSwitcherPanel(const LaunchSwitcherPanel&) = delete;
  LaunchSwitcherPanel& operator=(const LaunchSwitcherPanel&) = delete;
  virtual ~LaunchSwitcherPanel() = default;

  // Shows the panel in front without activating the program.
  virtual void orderFront() = 0;
  virtual void orderOut() = 0;
  virtual bool isVisible() const = 0;
  // Lets pointer events reach the panel (true) or the windows below it (false).
  virtual void setAcceptsMouse(bool accepts) = 0;
  // Puts the panel above every other window, full-screen content included, and keeps it
  // there until it is ordered out. The error's description when the platform cannot;
  // the switcher is then not shown at all, since a carousel that another window may
  // cover would swallow the user's scrolling unseen.
  virtual std::optional<std::string> keepAboveAll() = 0;
  // The content changed; draws it again, and keeps drawing while it animates.
  virtual void contentChanged() = 0;
};

// Makes switcher panels and tells the overlay what it needs to know about the platform's
// windows. Lives in the overlay layer, not with the other ports, because a panel draws a
// carousel's content.
class LaunchSwitcherPanelHost {
 public:
  LaunchSwitcherPanelHost() = default;
  LaunchSwitcherPanelHost(const LaunchSwitcherPanelHost&) = delete;
  LaunchSwitcherPanelHost& operator=(const LaunchSwitcherPanelHost&) = delete;
  virtual ~LaunchSwitcherPanelHost() = default;

  // A hidden panel at `frame` (screen coordinates, y up) and window level `level`,
  // sized to and drawing `content`, which must outlive it. Starts ignoring the mouse.
  virtual std::unique_ptr<LaunchSwitcherPanel> makePanel(LaunchSwitcherContentView& content, const ScreenRect& frame,
                                                         int level) = 0;
  // Pixels per point of the screen with this frame.
  virtual double backingScale(const ScreenRect& screenFrame) const = 0;
  // The main menu's window level and the highest level there is; the panel goes one
  // level above the notch app's window, between those two.
  virtual int mainMenuLevel() const = 0;
  virtual int maximumLevel() const = 0;
  // `handler` runs on the main thread when the user's session locks the screen. A
  // platform without such a notification returns an empty subscription.
  virtual Subscription observeScreenLock(std::function<void()> handler) = 0;
};

}  // namespace quillon
