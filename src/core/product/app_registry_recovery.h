#pragma once

#include <functional>
#include <optional>

#include "core/async/task.h"
#include "core/localization/localized_text.h"

namespace quillon {

class AppRegistry;
class AlertPresenter;

// Reloading and resetting the stored registry, as the menu and the onboarding window
// offer them when the stored value cannot be read. Neither runs while a switch is in
// flight: the coordinator holds the app it is switching to, and a list swapped under
// it could make it launch an entry the user just removed.
class AppRegistryRecovery {
 public:
  struct Actions {
    std::function<bool()> isSwitching;
    // Prune previews if allowed, refresh the running selection, rebuild the menu,
    // refresh the onboarding window.
    std::function<void()> registryChanged;
  };

  AppRegistryRecovery(AppRegistry& registry, AlertPresenter& alerts, Actions actions);

  // Re-reads the stored value. On success the list is replaced and the text for the
  // onboarding window is returned; a failed reload keeps the list in memory.
  std::optional<LocalizedText> reload();
  // What the one-second refresh does about stored data written outside this program
  // (another copy of it, a restore, the user's editor): a reload when the stored value
  // changed since it was last read or written here. True when it reloaded.
  bool reloadIfStoredValueChanged();
  // Asks first, backs the stored value up, then empties the registry. The result text
  // is shown in an alert and returned for the onboarding window; none when the user
  // cancelled, a switch started meanwhile, or the reset failed (which has its alert).
  // The recovery must outlive the task.
  Task<std::optional<LocalizedText>> reset();

 private:
  AppRegistry& registry_;
  AlertPresenter& alerts_;
  Actions actions_;
};

}  // namespace quillon
