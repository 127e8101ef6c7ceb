#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "core/async/main_loop.h"
#include "core/async/subscription.h"
#include "core/async/task.h"
#include "core/bundle/own_application.h"
#include "core/localization/localized_text.h"
#include "core/product/app_delegate.h"
#include "core/product/quillon_platform.h"
#include "core/records/preferences/launch_modifier_shortcut.h"
#include "core/records/preferences/launch_preferences.h"

namespace quillon {

class AppRegistry;
class AppRegistryRecovery;
class GlobalEventTap;
class LaunchAppLifecycle;
class LaunchInputRouter;
class LaunchInstanceRequests;
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

// The product's services over the platform's ports: the application delegate decides
// whether this process may run, then compose() builds the services in their fixed order
// and tearDown() stops them. New services are created, connected and stopped here.
class QuillonComposition {
 public:
  // What the executable tells the composition and does for it.
  struct Executable {
    // This program, which a switch must never quit or open.
    OwnApplication own;
    std::int32_t processIdentifier = 0;
    // Asked for on the command line: open the first-run guide, or the settings window,
    // at start (or in the instance already running).
    bool showOnboarding = false;
    bool showSettings = false;
    // Ends the main loop; the executable then calls applicationWillTerminate.
    std::function<void(int exitStatus)> exit;
    // The start-failure alert, for the terminal or service manager that started us.
    std::function<void(const Alert&)> reportStartFailure;
    // The desktop session is Wayland: the gesture sees neither its native windows nor
    // its input, and the permission lines say so.
    bool waylandSession = false;
    // Opens the desktop's settings (where permissions are granted); empty where the
    // platform knows no way to, and the guide then hides its button.
    std::function<bool()> openDesktopSettings;
  };

  QuillonComposition(const QuillonPlatform& platform, Url dataDirectory, Executable executable);
  ~QuillonComposition();
  QuillonComposition(const QuillonComposition&) = delete;
  QuillonComposition& operator=(const QuillonComposition&) = delete;

  // Call from inside the running main loop, so that a terminate during the launch finds
  // it running.
  void applicationDidFinishLaunching() { delegate_->applicationDidFinishLaunching(); }
  void applicationWillTerminate() { delegate_->applicationWillTerminate(); }
  // Ends the application by the menu or a signal. A start failure stays a failure.
  void quit(int exitStatus);
  int exitStatus() const { return exitStatus_; }

 private:
  std::optional<std::string> applyLaunchPreferences(const LaunchPreferences& preferences, bool reapplyStoredIntent);
  void compose();
  void tearDown();
  void showAbout();
  void registeredAppsChanged();
  bool startInput();
  std::optional<std::string> imageStorageError() const;
  void retainPreviewsOfRegisteredApps();
  // `done`, when given, gets the result's text (none when nothing was reset); it is not
  // called once the task was dropped at teardown.
  void resetRegistrations(std::function<void(std::optional<LocalizedText>)> done = {});
  void refreshTick();

  QuillonPlatform platform_;
  Executable executable_;
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
  bool switchWithVerticalScroll_ = false;
  std::unique_ptr<LaunchWindowTargetProbe> probe_;
  std::unique_ptr<LaunchNotchSurfaceService> surfaces_;
  std::unique_ptr<LaunchInputRouter> router_;
  // Created once input may be observed; gone before the router it feeds.
  std::unique_ptr<GlobalEventTap> tap_;
  Subscription screensObserver_;
  std::unique_ptr<AppRegistryRecovery> registryRecovery_;
  std::unique_ptr<QuillonAboutPresenter> aboutPresenter_;
  std::unique_ptr<LaunchPermissionMonitor> permissionMonitor_;
  std::unique_ptr<QuillonWindows> windows_;
  Timer refreshTimer_;
  std::unique_ptr<LaunchInstanceRequests> instanceRequests_;
  TaskHandle aboutTask_;
  TaskHandle resetTask_;
  int exitStatus_ = 0;
};

}  // namespace quillon
