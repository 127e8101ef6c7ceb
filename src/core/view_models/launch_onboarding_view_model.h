#pragma once

#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "core/async/subscription.h"
#include "core/async/task.h"
#include "core/records/onboarding/launch_onboarding_record.h"
#include "core/records/registry/managed_notch_app.h"
#include "core/support/url.h"

namespace quillon {

class MainLoop;
class LaunchOnboardingStore;

// One registered app in the guide's list: its name, where it lives, and whether it is
// offered for switching.
struct LaunchOnboardingRegistration {
  std::string name;
  std::string location;
  std::string state;
  friend bool operator==(const LaunchOnboardingRegistration&, const LaunchOnboardingRegistration&) = default;
};

// What the first-run guide shows. Texts are already in the user's language.
struct LaunchOnboardingViewState {
  LaunchOnboardingStep step = LaunchOnboardingStep::overview;
  // The registered apps as the demonstration's cards show them.
  std::vector<ManagedNotchApp> apps;
  std::vector<LaunchOnboardingRegistration> registrations;
  int launchableCount = 0;
  std::string shortcutLabel;
  bool permissionObserved = false;
  bool accessibilityTrusted = false;
  bool screenCaptureAllowed = false;
  bool inputTapStarted = false;
  bool waylandSession = false;
  bool accessibilityRequested = false;
  bool screenCaptureRequested = false;
  bool isVisible = false;
  bool isPaused = false;
  bool isDropTargeted = false;
  std::optional<std::string> message;
  bool isError = false;
  std::optional<std::string> registrationError;
  std::optional<std::string> progressError;
  bool registrationBusy = false;
  // Whether the permission pages can open the system's settings; their button is
  // hidden where nothing could be opened.
  bool canOpenSettingsPages = true;

  friend bool operator==(const LaunchOnboardingViewState&, const LaunchOnboardingViewState&) = default;
};

// One user action in the first-run guide.
struct LaunchOnboardingViewEvent {
  struct RegisterApplications {
    std::vector<Url> urls;
  };
  struct DropTarget {
    bool isTargeted;
  };
  enum class Action {
    next,
    back,
    finish,
    doLater,
    chooseApplications,
    requestAccessibility,
    requestScreenCapture,
    openAccessibilitySettings,
    openScreenCaptureSettings,
    refreshPermissions,
    openSettings,
    togglePlayback,
    refreshRegistrations,
    resetRegistrations,
    retryProgress,
    resetProgress,
  };
  using Value = std::variant<RegisterApplications, DropTarget, Action>;

  static LaunchOnboardingViewEvent registerApplications(std::vector<Url> urls) {
    return {RegisterApplications{std::move(urls)}};
  }
  static LaunchOnboardingViewEvent dropTarget(bool isTargeted) { return {DropTarget{isTargeted}}; }
  static LaunchOnboardingViewEvent next() { return {Action::next}; }
  static LaunchOnboardingViewEvent back() { return {Action::back}; }
  static LaunchOnboardingViewEvent finish() { return {Action::finish}; }
  static LaunchOnboardingViewEvent doLater() { return {Action::doLater}; }
  static LaunchOnboardingViewEvent chooseApplications() { return {Action::chooseApplications}; }
  static LaunchOnboardingViewEvent requestAccessibility() { return {Action::requestAccessibility}; }
  static LaunchOnboardingViewEvent requestScreenCapture() { return {Action::requestScreenCapture}; }
  static LaunchOnboardingViewEvent openAccessibilitySettings() { return {Action::openAccessibilitySettings}; }
  static LaunchOnboardingViewEvent openScreenCaptureSettings() { return {Action::openScreenCaptureSettings}; }
  static LaunchOnboardingViewEvent refreshPermissions() { return {Action::refreshPermissions}; }
  static LaunchOnboardingViewEvent openSettings() { return {Action::openSettings}; }
  static LaunchOnboardingViewEvent togglePlayback() { return {Action::togglePlayback}; }
  static LaunchOnboardingViewEvent refreshRegistrations() { return {Action::refreshRegistrations}; }
  static LaunchOnboardingViewEvent resetRegistrations() { return {Action::resetRegistrations}; }
  static LaunchOnboardingViewEvent retryProgress() { return {Action::retryProgress}; }
  static LaunchOnboardingViewEvent resetProgress() { return {Action::resetProgress}; }

  Value value;
};

// The permission state as the guide needs it.
struct LaunchOnboardingPermissions {
  bool accessibilityTrusted = false;
  bool screenCaptureAllowed = false;
  bool inputTapStarted = false;
  bool waylandSession = false;  // the gesture needs an X11 session
};

// What registering several bundles did, already in words: one line per bundle, and the
// two count texts.
struct LaunchOnboardingRegistrationReport {
  std::vector<std::string> lines;
  std::string registeredCountText;
  std::string failedCountText;
  int registeredCount = 0;
  int failedCount = 0;
};

// The first-run guide's model. Its progress lives in the onboarding record, so the
// guide opens by itself only for a new user and resumes at the step where it was left;
// a record that cannot be read or written never blocks the guide. Main thread only.
class LaunchOnboardingViewModel {
 public:
  struct Callbacks {
    std::function<std::vector<ManagedNotchApp>()> readApps;
    // Whether the app's bundle is still where it was registered.
    std::function<bool(const ManagedNotchApp&)> canResolve;
    // Validates and adds each bundle; one line per bundle.
    std::function<LaunchOnboardingRegistrationReport(const std::vector<Url>&)> registerApplications;
    std::function<int()> readLaunchableCount;
    std::function<void()> requestAccessibility;
    std::function<void()> requestScreenCapture;
    // False when no settings page could be opened; both unset where there is none to open.
    std::function<bool()> openAccessibilitySettings;
    std::function<bool()> openScreenCaptureSettings;
    std::function<void()> refreshPermissions;
    // Shows the application chooser; its choice comes back as registerApplications.
    std::function<void()> onPickApplications;
    std::function<void()> onRegistryChanged;
    std::function<void()> onOpenSettings;
    std::function<void()> onClose;
    std::function<std::optional<std::string>()> readRegistrationError;
    // Re-reads the registry; the result's text for the message area, none when it failed
    // (the registration error then says why).
    std::function<std::optional<std::string>()> onRefreshRegistrations;
    std::function<void()> onResetRegistrations;
    std::function<Task<bool>()> confirmProgressReset;
    // Whether a switch runs now; asked at each registration, since the busy state shown
    // is only as fresh as the last tick.
    std::function<bool()> isSwitching;
  };

  // Loads the record and starts at its last step. `store` and `loop` outlive the model.
  LaunchOnboardingViewModel(LaunchOnboardingStore& store, MainLoop& loop, std::string shortcutLabel,
                            Callbacks callbacks);
  LaunchOnboardingViewModel(const LaunchOnboardingViewModel&) = delete;
  LaunchOnboardingViewModel& operator=(const LaunchOnboardingViewModel&) = delete;

  const LaunchOnboardingViewState& viewState() const { return viewState_; }
  const LaunchOnboardingRecord& record() const { return record_; }
  bool hasActivePresentation() const { return hasActivePresentation_; }
  Subscription observe(std::function<void(const LaunchOnboardingViewState&)> handler) {
    return observers_.subscribe(std::move(handler));
  }

  void send(const LaunchOnboardingViewEvent& event);
  // Each time the window is shown.
  void beginPresentation();
  // The window was closed by its close button: while presented, that is a "later".
  void windowClosed();
  void refreshApps();
  // A reset of the registry finished (its confirmation ran meanwhile): the new list and
  // the result's text in the message area.
  void registrationsReset(std::string resultText);
  void updatePermissions(const LaunchOnboardingPermissions& permissions);
  void setShortcutLabel(std::string label);
  void setRegistrationBusy(bool busy);
  void setVisible(bool visible);

  // The step titles of the guide.
  static std::string heading(LaunchOnboardingStep step);

 private:
  void perform(LaunchOnboardingViewEvent::Action action);
  void registerApplications(const std::vector<Url>& urls);
  void move(std::optional<LaunchOnboardingStep> step);
  void finish();
  void dismiss();
  void retryProgress();
  Task<void> resetProgress();
  bool saveProgress();
  void openSettingsPage(const std::function<bool()>& open);
  void setMessage(std::optional<std::string> message, bool isError);
  void publish();

  LaunchOnboardingStore& store_;
  MainLoop& loop_;
  Callbacks callbacks_;
  LaunchOnboardingRecord record_;
  LaunchOnboardingViewState viewState_;
  bool hasActivePresentation_ = false;
  ObserverList<const LaunchOnboardingViewState&> observers_;
  TaskHandle reset_;
};

}  // namespace quillon
