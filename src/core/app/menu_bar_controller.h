#pragma once

#include <functional>

#include "core/platform/launch_status_menu_host.h"

namespace quillon {

// Owns the status item's menu and rebuilds it whole from the current state whenever it
// may be stale; items are never edited in place. The actions call the callback slots
// the application fills (an empty slot makes its item do nothing).
class MenuBarController {
 public:
  explicit MenuBarController(LaunchStatusMenuHost& host);
  ~MenuBarController();
  MenuBarController(const MenuBarController&) = delete;
  MenuBarController& operator=(const MenuBarController&) = delete;

  std::function<void()> onShowAbout;
  std::function<void()> onQuit;

  // Dropped while the menu is open, so the menu does not change under the user, and
  // made up for when it closes.
  void rebuildMenu();
  bool isMenuTracking() const { return isMenuTracking_; }

 private:
  LaunchMenuModel makeMenu();

  LaunchStatusMenuHost& host_;
  bool isMenuTracking_ = false;
};

}  // namespace quillon
