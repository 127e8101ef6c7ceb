#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/async/subscription.h"
#include "core/async/task.h"
#include "core/platform/status_menu_host.h"
#include "core/support/uuid.h"

namespace quillon {

class AppRegistry;
class AlertPresenter;
class MainLoop;
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
  MenuBarController(StatusMenuHost& host, AppRegistry& registry, LaunchSwitchCoordinator& coordinator,
                    const LaunchStatusModel& status, AlertPresenter& alerts, MainLoop& loop);
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
  std::vector<MenuItem> appItems();
  // The display name, with the bundle identifier when another app has the same name.
  std::string distinctName(const ManagedNotchApp& app) const;
  std::optional<std::string> appStatus(const ManagedNotchApp& app) const;
  void selectApp(const Uuid& id);
  void keepOnly(const Uuid& id);
  void addApp();
  void removeApp(const Uuid& id);
  void requestLaunchPermissions();
  void showImageExplanation();
  // One menu-started task at a time per kind; a finished one is replaced.
  void run(TaskHandle& slot, Task<void> task);

  StatusMenuHost& host_;
  AppRegistry& registry_;
  LaunchSwitchCoordinator& coordinator_;
  const LaunchStatusModel& status_;
  AlertPresenter& alerts_;
  MainLoop& loop_;
  bool isMenuTracking_ = false;
  TaskHandle switchTask_;
  TaskHandle addTask_;
  // Each explanation has its own slot: one left open does not silence the other's item.
  TaskHandle permissionsAlertTask_;
  TaskHandle imageAlertTask_;
  Subscription statusObserver_;
};

}  // namespace quillon
