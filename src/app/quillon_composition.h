#pragma once

#include <memory>
#include <optional>

#include "core/app/app_delegate.h"
#include "core/async/launch_main_loop.h"
#include "core/async/launch_subscription.h"
#include "core/async/launch_task.h"
#include "core/storage/preferences/launch_modifier_shortcut.h"
#include "core/storage/preferences/launch_preferences.h"

namespace quillon {

class AppRegistry;
class AppRegistryRecovery;
class LaunchAppLifecycle;
class LaunchInputRouter;
class LaunchNotchSurfaceService;
class LaunchPermissionMonitor;
class LaunchPreferencesStore;
class LaunchPreviewCache;
class LaunchPreviewCacheOverlayPreviews;
class LaunchStatusModel;
class LaunchSwitchCoordinator;
class LaunchSwitcherOverlay;
class LaunchWindowTargetProbe;
class MenuBarController;
class QuillonAboutPresenter;
class QuillonWindows;
class X11GlobalEventTap;
struct LinuxPlatform;

// The product's services over the platform: the application delegate decides whether
// this process may run, then compose() builds the services in their fixed order and
// tearDown() stops them. New services are created, connected and stopped here.
class QuillonComposition {
 public:
  QuillonComposition(LinuxPlatform& platform, Url dataDirectory);
  ~QuillonComposition();
  QuillonComposition(const QuillonComposition&) = delete;
  QuillonComposition& operator=(const QuillonComposition&) = delete;

  // Runs the application until it quits, by the menu, a start failure, or `stopFd`
  // becoming readable (a signalfd for SIGTERM and SIGINT); returns the exit status.
  int run(int stopFd);

 private:
  std::optional<std::string> applyLaunchPreferences(const LaunchPreferences& preferences, bool reapplyStoredIntent);
  void compose();
  void tearDown();
  void showAbout();
  void registeredAppsChanged();
  bool startInput();
  std::optional<std::string> imageStorageError() const;
  void retainPreviewsOfRegisteredApps();
  void resetRegistrations();
  void refreshTick();
  void quit(int exitStatus);

  LinuxPlatform& platform_;
  std::unique_ptr<AppDelegate> delegate_;
  // Declared in the order they are composed, so they are destroyed in reverse.
  std::unique_ptr<AppRegistry> registry_;
  std::unique_ptr<LaunchAppLifecycle> lifecycle_;
  std::unique_ptr<LaunchStatusModel> status_;
  std::unique_ptr<LaunchSwitchCoordinator> coordinator_;
  std::unique_ptr<MenuBarController> menuBarController_;
  std::unique_ptr<LaunchPreferencesStore> preferencesStore_;
  std::unique_ptr<LaunchPreviewCache> previewCache_;
  std::unique_ptr<LaunchPreviewCacheOverlayPreviews> overlayPreviews_;
  std::unique_ptr<LaunchSwitcherOverlay> overlay_;
  // The last "keep images" value given to the preview cache; none until the first.
  std::optional<bool> appliedSavePreviews_;
  LaunchModifierShortcut shortcut_ = LaunchModifierShortcut::command();
  std::unique_ptr<LaunchWindowTargetProbe> probe_;
  std::unique_ptr<LaunchNotchSurfaceService> surfaces_;
  std::unique_ptr<LaunchInputRouter> router_;
  // Created once input may be observed; gone before the router it feeds.
  std::unique_ptr<X11GlobalEventTap> tap_;
  LaunchSubscription screensObserver_;
  std::unique_ptr<AppRegistryRecovery> registryRecovery_;
  std::unique_ptr<QuillonAboutPresenter> aboutPresenter_;
  std::unique_ptr<LaunchPermissionMonitor> permissionMonitor_;
  std::unique_ptr<QuillonWindows> windows_;
  LaunchTimer refreshTimer_;
  LaunchTaskHandle aboutTask_;
  LaunchTaskHandle resetTask_;
  int exitStatus_ = 0;
};

}  // namespace quillon
