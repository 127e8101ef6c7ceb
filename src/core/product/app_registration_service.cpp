#include "core/product/app_registration_service.h"

#include <algorithm>

#include "core/localization/l10n.h"
#include "core/platform/alert_presenter.h"
#include "core/records/registry/app_registry.h"
#include "core/records/registry/launch_onboarding_application_validator.h"

namespace quillon {

std::string launchErrorText(AppRegistrationError::Code code, const Error&) {
  switch (code) {
    case AppRegistrationError::Code::switchInProgress:
      return L10n::text(LocalizedText("切替の完了を待ってから、もう一度アプリを追加してください。"));
    case AppRegistrationError::Code::registrationFailed:
      return L10n::text(
          LocalizedText("アプリを登録できませんでした。Finderでアプリの場所を確認し、もう一度選び直してください。"));
    case AppRegistrationError::Code::storageUnavailable:
      return L10n::text(LocalizedText(
          "登録情報を読み込めないため、変更していません。登録情報の再確認または退避して初期化を行ってください。"));
  }
  return {};
}

LocalizedText AppRegistrationReport::registeredCountText() const {
  return LocalizedText::format("{}件を登録・確認しました。", registeredCount);
}

LocalizedText AppRegistrationReport::failedCountText() const {
  return LocalizedText::format("{}件は登録できませんでした。", failedCount);
}

bool AppRegistrationService::remove(const Uuid& id, AppRegistry& registry, bool isSwitching) {
  if (isSwitching) return false;
  const auto& apps = registry.apps();
  if (std::none_of(apps.begin(), apps.end(), [&](const auto& app) { return app.id == id; })) return false;
  return registry.remove(id);
}

Task<void> AppRegistrationService::addFromMenu(AppRegistry& registry, AlertPresenter& alerts,
                                               std::function<bool()> isSwitching, std::function<void()> onRegistered) {
  if (isSwitching() || registry.store().loadFailed()) co_return;
  OpenPanelRequest request;
  request.directoryPath = "/Applications";
  request.allowsMultipleSelection = false;
  request.canChooseDirectories = false;
  request.applicationsOnly = true;
  const auto chosen = co_await alerts.showOpenPanel(std::move(request));
  if (chosen.empty()) co_return;

  std::optional<Error> failure;
  // The main loop ran on while the panel was open: a switch may have started, or the
  // stored value may have been found unreadable, while the user was choosing.
  if (isSwitching()) {
    failure = AppRegistrationError::switchInProgress;
  } else if (registry.store().loadFailed()) {
    failure = AppRegistrationError::storageUnavailable;
  } else if (!registry.add(Url::fileUrl(chosen.front(), true))) {
    failure = AppRegistrationError::registrationFailed;
  }
  if (!failure) {
    onRegistered();
    co_return;
  }
  Alert alert{Alert::Style::warning,
              L10n::text(LocalizedText("アプリを追加できません")),
              failure->description(),
              {L10n::text(LocalizedText("閉じる"))}};
  co_await alerts.showAlert(std::move(alert));
}

AppRegistrationReport AppRegistrationService::registerApplications(const std::vector<Url>& urls,
                                                                   AppRegistry& registry) {
  AppRegistrationReport report;
  for (const auto& url : urls) {
    const auto checked = LaunchOnboardingApplicationValidator::validate(url);
    if (const auto* error = checked.failure()) {
      report.lines.push_back(LocalizedText::format("{}: {}", url.lastPathComponent(), error->description()));
      ++report.failedCount;
      continue;
    }
    const LaunchOnboardingApplication& validated = checked.value();
    const auto& apps = registry.apps();
    const auto before = std::find_if(
        apps.begin(), apps.end(), [&](const auto& app) { return app.bundleIdentifier == validated.bundleIdentifier; });
    std::optional<ManagedNotchApp> previous;
    if (before != apps.end()) previous = *before;

    if (!registry.add(url)) {
      report.lines.push_back(LocalizedText::format("{}: 登録できませんでした。", validated.displayName));
      ++report.failedCount;
      continue;
    }
    ++report.registeredCount;
    const auto& name = validated.displayName;
    if (!previous) {
      report.lines.push_back(LocalizedText::format("{}を追加しました", name));
    } else if (previous->enabled) {
      report.lines.push_back(previous->bundleURL == validated.url
                                 ? LocalizedText::format("{}は登録済みです", name)
                                 : LocalizedText::format("{}の登録先を更新しました", name));
    } else {
      report.lines.push_back(previous->bundleURL == validated.url
                                 ? LocalizedText::format("{}の利用を再開しました", name)
                                 : LocalizedText::format("{}の登録先を更新し、利用を再開しました", name));
    }
  }
  return report;
}

}  // namespace quillon
