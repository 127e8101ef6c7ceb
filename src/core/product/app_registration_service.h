#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/async/task.h"
#include "core/localization/localized_text.h"
#include "core/support/error.h"
#include "core/support/url.h"
#include "core/support/uuid.h"

namespace quillon {

class AppRegistry;
class AlertPresenter;

// Why the menu could not add an app: the codes of the domain, and the errors made of
// them as the menu's add reports them.
struct AppRegistrationError {
  enum class Code {
    switchInProgress,    // a switch started while the panel was open
    registrationFailed,  // the bundle was refused or the registry could not be saved
    storageUnavailable,  // the stored registry is unreadable, so nothing may change
  };
  static const Error switchInProgress;
  static const Error registrationFailed;
  static const Error storageUnavailable;
};

constexpr ErrorDomain launchErrorDomain(AppRegistrationError::Code) { return ErrorDomain::appRegistration; }
// Why nothing was added and what to do, in the user's language.
std::string launchErrorText(AppRegistrationError::Code code, const Error& error);

inline const Error AppRegistrationError::switchInProgress{Code::switchInProgress};
inline const Error AppRegistrationError::registrationFailed{Code::registrationFailed};
inline const Error AppRegistrationError::storageUnavailable{Code::storageUnavailable};

// What registering several apps at once did: one line per chosen URL, in order, and
// how many ended registered (or confirmed) and how many failed.
struct AppRegistrationReport {
  std::vector<LocalizedText> lines;
  int registeredCount = 0;
  int failedCount = 0;

  // "<n>件を登録・確認しました。" and "<n>件は登録できませんでした。"
  LocalizedText registeredCountText() const;
  LocalizedText failedCountText() const;
};

// Registration operations of the menu and the onboarding window.
class AppRegistrationService {
 public:
  // False while switching or when no entry has `id`; otherwise the registry's remove.
  static bool remove(const Uuid& id, AppRegistry& registry, bool isSwitching);

  // The menu's "add an app…": an open panel for one application bundle, then the add.
  // `onRegistered` runs after a successful add (registry-changed actions, refreshing
  // the running selection, rebuilding the menu). Failures are shown in an alert. The
  // registry and the presenter must outlive the task.
  static Task<void> addFromMenu(AppRegistry& registry, AlertPresenter& alerts, std::function<bool()> isSwitching,
                                std::function<void()> onRegistered);

  // Validates and adds each URL in turn (the onboarding window's drop and chooser).
  static AppRegistrationReport registerApplications(const std::vector<Url>& urls, AppRegistry& registry);
};

}  // namespace quillon
