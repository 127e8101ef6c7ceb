#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/async/subscription.h"
#include "core/async/task.h"
#include "core/localization/localized_text.h"
#include "core/product/launch_recovery_presenter.h"
#include "core/product/quillon_platform.h"
#include "core/records/onboarding/launch_onboarding_store.h"
#include "core/records/preferences/launch_preferences.h"

namespace quillon {

class AppDelegate;
class AppRegistry;
class AppRegistryRecovery;
class LaunchOnboardingViewModel;
class LaunchPermissionMonitor;
class LaunchPreferencesStore;
class LaunchSettingsViewModel;
class Window;
class LaunchSwitchCoordinator;
struct LaunchPermissionState;

// The settings window and the first-run guide with their models, as the composition
// connects them: created on first request and kept for the life of the process. The
// platform's window host draws them.
class QuillonWindows {
 public:
  struct Services {
    const QuillonPlatform& platform;
    const AppDelegate& delegate;
    AppRegistry& registry;
    LaunchSwitchCoordinator& coordinator;
    LaunchPreferencesStore& preferencesStore;
    AppRegistryRecovery& registryRecovery;
    LaunchPermissionMonitor& permissionMonitor;
  };
  struct Hooks {
    // Applies preferences saved or re-read by the settings window; returns a text to
    // show, or none. `reapplyStoredIntent` is true after a reload or reset.
    std::function<std::optional<std::string>(const LaunchPreferences&, bool reapplyStoredIntent)> applyPreferences;
    // Deletes kept and temporary previews; returns an error text, or none.
    std::function<std::optional<std::string>()> clearPreviews;
    // The preview cache's save error, else its maintenance error.
    std::function<std::optional<std::string>()> imageStorageError;
    std::function<void()> registryChanged;
    // Resets the registry (asking first); `done` gets the result's text, none when
    // nothing was reset.
    std::function<void(std::function<void(std::optional<LocalizedText>)> done)> resetRegistrations;
    // The preferences applied last, which the settings window shows.
    std::function<LaunchPreferences()> preferencesInForce;
    // Opens the desktop's settings; empty where the platform knows no way to.
    std::function<bool()> openDesktopSettings;
  };

  QuillonWindows(Services services, Hooks hooks);
  ~QuillonWindows();
  QuillonWindows(const QuillonWindows&) = delete;
  QuillonWindows& operator=(const QuillonWindows&) = delete;

  // The settings model, created (and the preferences loaded) on first use.
  LaunchSettingsViewModel& settingsModel();
  void showSettings();
  void showOnboarding();
  // At start: opens the guide when asked for on the command line, or for a new user.
  // Call before anything writes the preferences file.
  void showOnboardingAtStart(bool requested);

  void permissionsChanged(const LaunchPermissionState& state);
  void shortcutChanged(const std::string& label);
  void refreshTick(bool isSwitching);
  void registeredAppsChanged();
  void applicationBecameActive();
  void tearDown();

 private:
  LaunchOnboardingViewModel& onboardingModel();
  Task<void> pickApplications();

  Services services_;
  Hooks hooks_;
  LaunchRecoveryPresenter recovery_;
  LaunchOnboardingStore onboardingStore_;
  std::unique_ptr<LaunchSettingsViewModel> settingsModel_;
  std::unique_ptr<Window> settingsWindow_;
  std::unique_ptr<LaunchOnboardingViewModel> onboardingModel_;
  std::unique_ptr<Window> onboardingWindow_;
  TaskHandle picker_;
  Subscription activation_;
};

}  // namespace quillon
