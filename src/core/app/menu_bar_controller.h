#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/async/launch_subscription.h"
#include "core/async/launch_task.h"
#include "core/platform/launch_status_menu_host.h"
#include "core/support/launch_uuid.h"

namespace quillon {

class AppRegistry;
class LaunchAlertPresenter;
class LaunchMainLoop;
class LaunchStatusModel;
class LaunchSwitchCoordinator;
struct ManagedNotchApp;

// Owns the status item's menu and rebuilds it whole from the registry, the switch
// coordinator, the status model and the permission lines whenever it may be stale; items are never edited
// in place. Switching from the menu needs no permission. The actions that belong to
// other windows call the callback slots the application fills (an empty slot makes its
// item do nothing).
class MenuBarController {
 public:
  MenuBarController(LaunchStatusMenuHost& host, AppRegistry& registry, LaunchSwitchCoordinator& coordinator,
                    const LaunchStatusModel& status, LaunchAlertPresenter& alerts, LaunchMainLoop& loop);
  ~MenuBarController();
  MenuBarController(const MenuBarController&) = delete;
  MenuBarController& operator=(const MenuBarController&) = delete;

  std::function<void()> onRequestLaunchPermissions;
  std::function<void()> onShowLaunchSettings;
  std::function<void()> onShowOnboarding;
  std::function<void()> onShowAbout;
  std::function<void()> onRegistryChanged;
  std::function<void()> onReloadRegistrations;
  std::function<void()> onResetRegistrations;
  std::function<void()> onQuit;

  // The permission monitor's three status lines.
  std::vector<std::string> launchPermissionLines;

  // Dropped while the menu is open, so the menu does not change under the user, and
  // made up for when it closes.
  void rebuildMenu();
  bool isMenuTracking() const { return isMenuTracking_; }

 private:
  LaunchMenuModel makeMenu();
  std::vector<LaunchMenuItem> appItems();
  // The display name, with the bundle identifier when another app has the same name.
  std::string distinctName(const ManagedNotchApp& app) const;
  std::optional<std::string> appStatus(const ManagedNotchApp& app) const;
  void selectApp(const LaunchUuid& id);
  void keepOnly(const LaunchUuid& id);
  void addApp();
  void removeApp(const LaunchUuid& id);
  void requestLaunchPermissions();
  void showImageExplanation();
  // One menu-started task at a time per kind; a finished one is replaced.
  void run(LaunchTaskHandle& slot, Task<void> task);

  LaunchStatusMenuHost& host_;
  AppRegistry& registry_;
  LaunchSwitchCoordinator& coordinator_;
  const LaunchStatusModel& status_;
  LaunchAlertPresenter& alerts_;
  LaunchMainLoop& loop_;
  bool isMenuTracking_ = false;
  LaunchTaskHandle switchTask_;
  LaunchTaskHandle addTask_;
  // Each explanation has its own slot: one left open does not silence the other's item.
  LaunchTaskHandle permissionsAlertTask_;
  LaunchTaskHandle imageAlertTask_;
  LaunchSubscription statusObserver_;
};

}  // namespace quillon
