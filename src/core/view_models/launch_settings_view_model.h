#pragma once

#include <functional>
#include <optional>
#include <string>
#include <variant>

#include "core/async/subscription.h"
#include "core/async/task.h"
#include "core/records/preferences/launch_preferences.h"
#include "core/support/url.h"

namespace quillon {

class MainLoop;
class LaunchPreferencesStore;

// What the settings window shows. Texts are already in the user's language.
struct LaunchSettingsViewState {
  // The settings shown, which are also the ones in force.
  LaunchPreferences preferences;
  // One feedback line under the controls.
  std::optional<std::string> message;
  bool isError = false;
  // The preferences file's error, shown in the storage box.
  std::optional<std::string> storageError;
  // The preview cache's save or maintenance error, shown in the image box.
  std::optional<std::string> imageStorageError;

  friend bool operator==(const LaunchSettingsViewState&, const LaunchSettingsViewState&) = default;
};

// One user action in the settings window.
struct LaunchSettingsViewEvent {
  struct ToggleModifier {
    EventFlags flag;
  };
  struct UseShortcut {
    LaunchModifierShortcut shortcut;
  };
  struct SavePreviews {
    bool value;
  };
  struct SwitchWithVerticalScroll {
    bool value;
  };
  struct ClearPreviews {};
  struct RetryStorage {};
  struct ResetStorage {};
  using Value = std::variant<ToggleModifier, UseShortcut, SavePreviews, SwitchWithVerticalScroll, ClearPreviews,
                             RetryStorage, ResetStorage>;

  static LaunchSettingsViewEvent toggleModifier(EventFlags flag) { return {ToggleModifier{flag}}; }
  static LaunchSettingsViewEvent useShortcut(LaunchModifierShortcut shortcut) { return {UseShortcut{shortcut}}; }
  static LaunchSettingsViewEvent savePreviews(bool value) { return {SavePreviews{value}}; }
  static LaunchSettingsViewEvent switchWithVerticalScroll(bool value) { return {SwitchWithVerticalScroll{value}}; }
  static LaunchSettingsViewEvent clearPreviews() { return {ClearPreviews{}}; }
  static LaunchSettingsViewEvent retryStorage() { return {RetryStorage{}}; }
  static LaunchSettingsViewEvent resetStorage() { return {ResetStorage{}}; }

  Value value;
};

// The settings window's model: turns the window's events into saves of the preferences
// file and hands everything beyond that file to the composition. A preference takes
// effect only after its file write succeeded, and a reset applies nothing unless both
// the backup and the re-read succeeded, so no failure leaves a half-applied change.
// Main thread only.
class LaunchSettingsViewModel {
 public:
  struct Callbacks {
    // Applies saved preferences to the running system; a returned text is shown as an error.
    std::function<std::optional<std::string>(const LaunchPreferences&)> onChange;
    // Deletes kept and temporary previews; returns an error text, or none.
    std::function<std::optional<std::string>()> onClearPreviews;
    // The preview cache's current error text.
    std::function<std::optional<std::string>()> readImageStorageError;
    // Applies preferences re-read from disk (after a retry or a reset).
    std::function<std::optional<std::string>(const LaunchPreferences&)> onApplyReloaded;
    // The recovery confirmation; true when the user chose to preserve and reset.
    std::function<Task<bool>()> confirmReset;
    // Backs the file up and writes the defaults; returns the backup, throws
    // LaunchStorageError when nothing could be changed.
    std::function<Url()> resetStore;
    // The preferences the program runs on. The window shows these rather than reading
    // the file again, which may have changed since they were applied; without it the
    // model loads `store`.
    std::function<LaunchPreferences()> readPreferences;
  };

  // The initial state is the preferences in force (see readPreferences); while the file
  // could not be read it carries the temporary-fallback notice. `store` and `loop`
  // outlive the model.
  LaunchSettingsViewModel(LaunchPreferencesStore& store, MainLoop& loop, Callbacks callbacks);
  LaunchSettingsViewModel(const LaunchSettingsViewModel&) = delete;
  LaunchSettingsViewModel& operator=(const LaunchSettingsViewModel&) = delete;

  const LaunchSettingsViewState& viewState() const { return viewState_; }
  // Called with every new state.
  Subscription observe(std::function<void(const LaunchSettingsViewState&)> handler) {
    return observers_.subscribe(std::move(handler));
  }

  void send(const LaunchSettingsViewEvent& event);
  // Before the window is shown: both error boxes show the current errors.
  void refreshErrors();

  // True while the reset confirmation is open.
  bool isResetPending() const { return reset_.isValid() && !reset_.isFinished(); }

 private:
  void toggleModifier(EventFlags flag);
  void save(LaunchPreferences preferences);
  // The preferences in force with one setting changed.
  template <class Value>
  LaunchPreferences with(Value LaunchPreferences::*setting, Value value) const {
    LaunchPreferences changed = viewState_.preferences;
    changed.*setting = value;
    return changed;
  }
  void clearPreviews();
  void retryStorage();
  Task<void> resetStorage();
  void setMessage(std::optional<std::string> message, bool isError);
  void publish();

  LaunchPreferencesStore& store_;
  MainLoop& loop_;
  Callbacks callbacks_;
  LaunchSettingsViewState viewState_;
  ObserverList<const LaunchSettingsViewState&> observers_;
  TaskHandle reset_;
};

}  // namespace quillon
