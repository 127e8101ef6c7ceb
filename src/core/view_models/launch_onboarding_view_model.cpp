#include "core/view_models/launch_onboarding_view_model.h"

#include <exception>

#include "core/async/clock.h"
#include "core/async/main_loop.h"
#include "core/localization/l10n.h"
#include "core/records/onboarding/launch_onboarding_store.h"
#include "core/storage/files/launch_storage_error.h"
#include "core/view_models/launch_confirmed_reset.h"

namespace quillon {

namespace {

std::optional<LaunchOnboardingStep> nextStep(LaunchOnboardingStep step) {
  switch (step) {
    case LaunchOnboardingStep::overview: return LaunchOnboardingStep::input;
    case LaunchOnboardingStep::input: return LaunchOnboardingStep::preview;
    case LaunchOnboardingStep::preview: return LaunchOnboardingStep::ready;
    case LaunchOnboardingStep::ready: return std::nullopt;
  }
  return std::nullopt;
}

std::optional<LaunchOnboardingStep> previousStep(LaunchOnboardingStep step) {
  switch (step) {
    case LaunchOnboardingStep::overview: return std::nullopt;
    case LaunchOnboardingStep::input: return LaunchOnboardingStep::overview;
    case LaunchOnboardingStep::preview: return LaunchOnboardingStep::input;
    case LaunchOnboardingStep::ready: return LaunchOnboardingStep::preview;
  }
  return std::nullopt;
}

// A finished guide opened again starts from the beginning; one put off resumes where
// the user left it.
LaunchOnboardingStep startingStep(const LaunchOnboardingRecord& record) {
  return record.completedAt ? LaunchOnboardingStep::overview : record.lastStep;
}

}  // namespace

LaunchOnboardingViewModel::LaunchOnboardingViewModel(LaunchOnboardingStore& store, MainLoop& loop,
                                                     std::string shortcutLabel, Callbacks callbacks)
    : store_(store), loop_(loop), callbacks_(std::move(callbacks)) {
  record_ = store_.load();
  viewState_.step = startingStep(record_);
  viewState_.progressError = store_.storageError();
  viewState_.shortcutLabel = std::move(shortcutLabel);
  viewState_.canOpenSettingsPages = callbacks_.openAccessibilitySettings || callbacks_.openScreenCaptureSettings;
}

std::string LaunchOnboardingViewModel::heading(LaunchOnboardingStep step) {
  switch (step) {
    case LaunchOnboardingStep::overview: return L10n::text(LocalizedText("好きなノッチを、\nひとつに決めなくていい。"));
    case LaunchOnboardingStep::input: return L10n::text(LocalizedText("この操作に、\nアクセシビリティを。"));
    case LaunchOnboardingStep::preview: return L10n::text(LocalizedText("このプレビューに、\n画面収録の許可を。"));
    case LaunchOnboardingStep::ready: return L10n::text(LocalizedText("次は、\nいつものノッチで。"));
  }
  return {};
}

void LaunchOnboardingViewModel::send(const LaunchOnboardingViewEvent& event) {
  if (const auto* request = std::get_if<LaunchOnboardingViewEvent::RegisterApplications>(&event.value)) {
    registerApplications(request->urls);
  } else if (const auto* drop = std::get_if<LaunchOnboardingViewEvent::DropTarget>(&event.value)) {
    viewState_.isDropTargeted = drop->isTargeted;
    publish();
  } else {
    perform(std::get<LaunchOnboardingViewEvent::Action>(event.value));
  }
}

void LaunchOnboardingViewModel::perform(LaunchOnboardingViewEvent::Action action) {
  using Action = LaunchOnboardingViewEvent::Action;
  auto call = [](const std::function<void()>& callback) {
    if (callback) callback();
  };
  switch (action) {
    case Action::next: move(nextStep(viewState_.step)); return;
    case Action::back: move(previousStep(viewState_.step)); return;
    case Action::finish: finish(); return;
    case Action::doLater: dismiss(); return;
    case Action::chooseApplications: call(callbacks_.onPickApplications); return;
    case Action::requestAccessibility:
      if (!viewState_.accessibilityTrusted) {
        viewState_.accessibilityRequested = true;
        call(callbacks_.requestAccessibility);
      }
      call(callbacks_.refreshPermissions);
      publish();
      return;
    case Action::requestScreenCapture:
      if (!viewState_.screenCaptureAllowed) {
        viewState_.screenCaptureRequested = true;
        call(callbacks_.requestScreenCapture);
      }
      call(callbacks_.refreshPermissions);
      publish();
      return;
    case Action::openAccessibilitySettings: openSettingsPage(callbacks_.openAccessibilitySettings); return;
    case Action::openScreenCaptureSettings: openSettingsPage(callbacks_.openScreenCaptureSettings); return;
    case Action::refreshPermissions: call(callbacks_.refreshPermissions); return;
    case Action::openSettings: call(callbacks_.onOpenSettings); return;
    case Action::togglePlayback:
      viewState_.isPaused = !viewState_.isPaused;
      publish();
      return;
    case Action::refreshRegistrations: {
      const auto result = callbacks_.onRefreshRegistrations ? callbacks_.onRefreshRegistrations() : std::nullopt;
      refreshApps();
      if (result) setMessage(*result, false);
      return;
    }
    case Action::resetRegistrations: call(callbacks_.onResetRegistrations); return;
    case Action::retryProgress: retryProgress(); return;
    case Action::resetProgress:
      if (!reset_.isValid() || reset_.isFinished()) reset_ = spawn(loop_, resetProgress());
      return;
  }
}

void LaunchOnboardingViewModel::registerApplications(const std::vector<Url>& urls) {
  if (urls.empty() || !callbacks_.registerApplications) return;
  // The coordinator holds the app it is switching to; the list must not change under it.
  if (viewState_.registrationBusy || (callbacks_.isSwitching && callbacks_.isSwitching())) {
    setMessage(L10n::text(LocalizedText("切替の完了を待ってから、もう一度アプリを追加してください。")), true);
    return;
  }
  const auto report = callbacks_.registerApplications(urls);
  // Two lines fit under the drop zone; a longer result is summed up by its counts.
  std::string message;
  for (std::size_t i = 0; i < report.lines.size() && i < 2; ++i) {
    if (i > 0) message += "\n";
    message += report.lines[i];
  }
  if (report.lines.size() > 2) {
    message += "\n" + report.registeredCountText;
    if (report.failedCount > 0) message += report.failedCountText;
  }
  viewState_.message = std::move(message);
  viewState_.isError = report.failedCount > 0 && report.registeredCount == 0;
  if (callbacks_.onRegistryChanged) callbacks_.onRegistryChanged();
  refreshApps();
}

void LaunchOnboardingViewModel::move(std::optional<LaunchOnboardingStep> step) {
  if (!step) return;
  viewState_.step = *step;
  viewState_.message.reset();
  viewState_.isError = false;
  record_.lastStep = *step;
  saveProgress();
  publish();
}

void LaunchOnboardingViewModel::finish() {
  if (viewState_.step != LaunchOnboardingStep::ready) return;
  const LaunchOnboardingRecord previous = record_;
  record_.completedAt = loop_.clock().now();
  record_.lastStep = LaunchOnboardingStep::ready;
  if (!saveProgress()) {
    // Without a stored completion the guide would open again at the next start, so it
    // stays open and says why.
    record_ = previous;
    publish();
    return;
  }
  viewState_.isVisible = false;
  hasActivePresentation_ = false;
  publish();
  if (callbacks_.onClose) callbacks_.onClose();
}

void LaunchOnboardingViewModel::dismiss() {
  record_.lastStep = viewState_.step;
  record_.dismissedAt = loop_.clock().now();
  // The user asked to leave; an unwritable record must not keep the window open.
  saveProgress();
  viewState_.isVisible = false;
  hasActivePresentation_ = false;
  publish();
  if (callbacks_.onClose) callbacks_.onClose();
}

void LaunchOnboardingViewModel::windowClosed() {
  if (hasActivePresentation_) dismiss();
}

void LaunchOnboardingViewModel::retryProgress() {
  const LaunchOnboardingRecord loaded = store_.load();
  viewState_.progressError = store_.storageError();
  if (!store_.loadFailed()) {
    record_ = loaded;
    setMessage(L10n::text(LocalizedText("案内の保存先を再確認しました。")), false);
    return;
  }
  publish();
}

Task<void> LaunchOnboardingViewModel::resetProgress() {
  std::function<Url()> resetStore = [this] { return store_.resetPreservingBackup(); };
  Task<std::optional<LaunchResetResult>> reset = confirmedReset(callbacks_.confirmProgressReset, resetStore);
  const auto outcome = co_await std::move(reset);
  if (!outcome) co_return;
  if (const auto* failure = std::get_if<std::string>(&*outcome)) {
    setMessage(*failure, true);
    co_return;
  }
  const Url& backup = std::get<Url>(*outcome);
  record_ = store_.load();
  viewState_.progressError = store_.storageError();
  // The guide starts over, as the confirmation promised.
  viewState_.step = startingStep(record_);
  setMessage(L10n::text(LocalizedText::format("元の案内データを保全して、案内だけを初期化しました。バックアップ: {}",
                                              backup.path())),
             false);
}

bool LaunchOnboardingViewModel::saveProgress() {
  try {
    store_.save(record_);
  } catch (const Error&) {
    viewState_.progressError = store_.storageError().value_or(LaunchStorageError::invalidRecord.description());
    viewState_.message = L10n::text(LocalizedText(
        "案内の進み具合を保存できませんでした。案内は続けられます。「あとで」や閉じるボタンでも終了できます。"));
    viewState_.isError = true;
    return false;
  }
  viewState_.progressError.reset();
  return true;
}

void LaunchOnboardingViewModel::openSettingsPage(const std::function<bool()>& open) {
  if (open && open()) return;
  setMessage(L10n::text(LocalizedText("システム設定を開けませんでした。Appleメニューから「システム設定」→「プライバシー"
                                      "とセキュリティ」を開いてください。")),
             true);
}

void LaunchOnboardingViewModel::beginPresentation() {
  // Opened again: a finished guide starts over, a dismissed one resumes where it was left.
  if (!hasActivePresentation_) viewState_.step = startingStep(record_);
  hasActivePresentation_ = true;
  viewState_.isVisible = true;
  refreshApps();
  if (callbacks_.refreshPermissions) callbacks_.refreshPermissions();
}

void LaunchOnboardingViewModel::refreshApps() {
  viewState_.apps = callbacks_.readApps ? callbacks_.readApps() : std::vector<ManagedNotchApp>{};
  viewState_.registrations.clear();
  // The same words as the menu's for the same state.
  for (const auto& app : viewState_.apps) {
    const LocalizedText state = callbacks_.canResolve && !callbacks_.canResolve(app)
                                    ? LocalizedText("アプリを確認できません")
                                : !app.enabled ? LocalizedText("利用停止中")
                                               : LocalizedText("切替に使います");
    viewState_.registrations.push_back({app.displayName, app.bundleURL.path(), L10n::text(state)});
  }
  viewState_.launchableCount = callbacks_.readLaunchableCount ? callbacks_.readLaunchableCount() : 0;
  viewState_.registrationError = callbacks_.readRegistrationError ? callbacks_.readRegistrationError() : std::nullopt;
  publish();
}

void LaunchOnboardingViewModel::updatePermissions(const LaunchOnboardingPermissions& permissions) {
  viewState_.accessibilityTrusted = permissions.accessibilityTrusted;
  viewState_.screenCaptureAllowed = permissions.screenCaptureAllowed;
  viewState_.inputTapStarted = permissions.inputTapStarted;
  viewState_.waylandSession = permissions.waylandSession;
  viewState_.permissionObserved = true;
  publish();
}

void LaunchOnboardingViewModel::setShortcutLabel(std::string label) {
  viewState_.shortcutLabel = std::move(label);
  publish();
}

void LaunchOnboardingViewModel::setRegistrationBusy(bool busy) {
  if (viewState_.registrationBusy == busy) return;
  viewState_.registrationBusy = busy;
  publish();
}

void LaunchOnboardingViewModel::setVisible(bool visible) {
  if (viewState_.isVisible == visible) return;
  viewState_.isVisible = visible;
  publish();
}

void LaunchOnboardingViewModel::registrationsReset(std::string resultText) {
  refreshApps();
  setMessage(std::move(resultText), false);
}

void LaunchOnboardingViewModel::setMessage(std::optional<std::string> message, bool isError) {
  viewState_.message = std::move(message);
  viewState_.isError = viewState_.message.has_value() && isError;
  publish();
}

void LaunchOnboardingViewModel::publish() { observers_.notify(viewState_); }

}  // namespace quillon
