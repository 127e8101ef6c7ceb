#pragma once

#include <memory>
#include <optional>

#include "core/app/app_delegate.h"
#include "core/async/launch_main_loop.h"
#include "core/async/launch_subscription.h"
#include "core/async/launch_task.h"
#include "core/storage/preferences/launch_preferences.h"

namespace quillon {

class AppRegistry;
class AppRegistryRecovery;
class LaunchAppLifecycle;
class LaunchPermissionMonitor;
class LaunchPreferencesStore;
class LaunchPreviewCache;
class LaunchPreviewCacheOverlayPreviews;
class LaunchSwitchCoordinator;
class LaunchSwitcherOverlay;
class MenuBarController;
class QuillonAboutPresenter;
class QuillonWindows;
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

  // Preferences that the settings window saved, or re-read after a retry or a reset
  // (`reapplyStoredIntent`), once the file holds them: the input side and the preview
  // cache take the new chord and keep-images flag from here.
  LaunchSubscription observePreferences(std::function<void(const LaunchPreferences&, bool reapplyStoredIntent)> handler) {
    return preferencesChanged_.subscribe(std::move(handler));
  }

 private:
  std::optional<std::string> applyLaunchPreferences(const LaunchPreferences& preferences, bool reapplyStoredIntent);
  void compose();
  void tearDown();
  void showAbout();
  void registeredAppsChanged();
  void retainPreviewsOfRegisteredApps();
  void resetRegistrations();
  void refreshTick();
  void quit(int exitStatus);

  LinuxPlatform& platform_;
  std::unique_ptr<AppDelegate> delegate_;
  // Declared in the order they are composed, so they are destroyed in reverse.
  std::unique_ptr<AppRegistry> registry_;
  std::unique_ptr<LaunchAppLifecycle> lifecycle_;
  std::unique_ptr<LaunchSwitchCoordinator> coordinator_;
  std::unique_ptr<MenuBarController> menuBarController_;
  std::unique_ptr<LaunchPreferencesStore> preferencesStore_;
  std::unique_ptr<LaunchPreviewCache> previewCache_;
  std::unique_ptr<LaunchPreviewCacheOverlayPreviews> overlayPreviews_;
  std::unique_ptr<LaunchSwitcherOverlay> overlay_;
  // The last "keep images" value given to the preview cache; none until the first.
  std::optional<bool> appliedSavePreviews_;
  std::unique_ptr<AppRegistryRecovery> registryRecovery_;
  std::unique_ptr<QuillonAboutPresenter> aboutPresenter_;
  std::unique_ptr<LaunchPermissionMonitor> permissionMonitor_;
  std::unique_ptr<QuillonWindows> windows_;
  LaunchObserverList<const LaunchPreferences&, bool> preferencesChanged_;
  LaunchTimer refreshTimer_;
  LaunchTaskHandle aboutTask_;
  LaunchTaskHandle resetTask_;
  std::string shortcutLabel_;
  int exitStatus_ = 0;
};

}  // namespace quillon
