#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QMetaObject>

#include "core/app/launch_recovery_presenter.h"
#include "core/async/launch_task.h"
#include "core/storage/onboarding/launch_onboarding_store.h"
#include "core/storage/preferences/launch_preferences.h"

namespace quillon {

class AppDelegate;
class AppRegistry;
class AppRegistryRecovery;
class LaunchLoginItem;
class LaunchOnboardingViewModel;
class LaunchPermissionMonitor;
class LaunchPreferencesStore;
class LaunchSettingsViewModel;
class LaunchSwitchCoordinator;
class QtOnboardingWindow;
class QtSettingsWindow;
struct LaunchPermissionState;
struct LinuxPlatform;

// The settings window and the first-run guide with their models, as the composition
// connects them: created on first request and kept for the life of the process.
class QuillonWindows {
 public:
  struct Services {
    LinuxPlatform& platform;
    const AppDelegate& delegate;
    AppRegistry& registry;
    LaunchSwitchCoordinator& coordinator;
    LaunchPreferencesStore& preferencesStore;
    AppRegistryRecovery& registryRecovery;
    LaunchPermissionMonitor& permissionMonitor;
    // None where the platform has no start-at-login switch.
    LaunchLoginItem* loginItem = nullptr;
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
    std::function<void()> resetRegistrations;
    // The preferences applied last, which the settings window shows.
    std::function<LaunchPreferences()> preferencesInForce;
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
  std::unique_ptr<QtSettingsWindow> settingsWindow_;
  std::unique_ptr<LaunchOnboardingViewModel> onboardingModel_;
  std::unique_ptr<QtOnboardingWindow> onboardingWindow_;
  LaunchTaskHandle picker_;
  QMetaObject::Connection activation_;
};

}  // namespace quillon
