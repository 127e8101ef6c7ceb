#include "core/product/quillon_windows.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "core/localization/l10n.h"
#include "core/platform/accessibility.h"
#include "core/platform/alert_presenter.h"
#include "core/platform/log_sink.h"
#include "core/platform/screen_capture_service.h"
#include "core/product/app_delegate.h"
#include "core/product/app_registration_service.h"
#include "core/product/app_registry_recovery.h"
#include "core/product/launch_permission_monitor.h"
#include "core/records/onboarding/launch_onboarding_store.h"
#include "core/records/preferences/launch_preferences_store.h"
#include "core/records/registry/app_registry.h"
#include "core/switching/launch_switch_coordinator.h"
#include "core/view_models/launch_onboarding_view_model.h"
#include "core/view_models/launch_settings_view_model.h"
#include "core/view_models/window_host.h"

namespace quillon {

namespace {

LaunchOnboardingPermissions guidePermissions(const LaunchPermissionState& state) {
  return {state.accessibilityTrusted, state.screenCaptureAllowed, state.inputTapStarted, state.waylandSession};
}

}  // namespace

QuillonWindows::QuillonWindows(Services services, Hooks hooks)
    : services_(services),
      hooks_(std::move(hooks)),
      recovery_(services.platform.alerts),
      onboardingStore_(LaunchOnboardingStore::inDataDirectory(services.delegate.dataDirectory())) {
  // Coming back to the application is when a permission granted elsewhere, or an app
  // installed meanwhile, should show.
  activation_ = services_.platform.windows.subscribeToActivation([this] {
    if (services_.delegate.isActive()) applicationBecameActive();
  });
}

QuillonWindows::~QuillonWindows() = default;

LaunchSettingsViewModel& QuillonWindows::settingsModel() {
  if (settingsModel_) return *settingsModel_;
  LaunchSettingsViewModel::Callbacks callbacks;
  callbacks.onChange = [this](const LaunchPreferences& preferences) {
    return hooks_.applyPreferences ? hooks_.applyPreferences(preferences, false) : std::nullopt;
  };
  callbacks.onApplyReloaded = [this](const LaunchPreferences& preferences) {
    return hooks_.applyPreferences ? hooks_.applyPreferences(preferences, true) : std::nullopt;
  };
  callbacks.onClearPreviews = [this] { return hooks_.clearPreviews ? hooks_.clearPreviews() : std::nullopt; };
  callbacks.readImageStorageError = [this] {
    return hooks_.imageStorageError ? hooks_.imageStorageError() : std::nullopt;
  };
  callbacks.confirmReset = [this] {
    return recovery_.confirm(LaunchPreferencesStore::resetTitle(), LaunchPreferencesStore::resetDetail());
  };
  callbacks.resetStore = [this] { return services_.preferencesStore.resetPreservingBackup(); };
  callbacks.readPreferences = hooks_.preferencesInForce;
  settingsModel_ = std::make_unique<LaunchSettingsViewModel>(services_.preferencesStore, services_.platform.loop,
                                                             std::move(callbacks));
  return *settingsModel_;
}

void QuillonWindows::showSettings() {
  if (!services_.delegate.isActive()) return;
  if (!settingsWindow_) settingsWindow_ = services_.platform.windows.makeSettingsWindow(settingsModel());
  settingsWindow_->present();
}

LaunchOnboardingViewModel& QuillonWindows::onboardingModel() {
  if (onboardingModel_) return *onboardingModel_;
  auto& registry = services_.registry;
  LaunchOnboardingViewModel::Callbacks callbacks;
  callbacks.readApps = [&registry] { return registry.apps(); };
  callbacks.registerApplications = [&registry, &log = services_.platform.log](const std::vector<Url>& urls) {
    const auto report = AppRegistrationService::registerApplications(urls, registry);
    LaunchOnboardingRegistrationReport result;
    for (const auto& line : report.lines) {
      result.lines.push_back(L10n::text(line));
      log.log("[Quillon/registration] " + result.lines.back());
    }
    result.registeredCountText = L10n::text(report.registeredCountText());
    result.failedCountText = L10n::text(report.failedCountText());
    result.registeredCount = report.registeredCount;
    result.failedCount = report.failedCount;
    return result;
  };
  callbacks.canResolve = [&registry](const ManagedNotchApp& app) { return registry.resolvedURL(app).has_value(); };
  callbacks.readLaunchableCount = [&registry] { return static_cast<int>(registry.launchableApps().size()); };
  callbacks.requestAccessibility = [this] { services_.platform.accessibility.isTrusted(true); };
  callbacks.requestScreenCapture = [this] { services_.permissionMonitor.requestScreenCapture(); };
  // The desktop's own settings, where the platform knows how to open them; without that
  // the guide hides the button rather than failing each time.
  if (hooks_.openDesktopSettings) {
    callbacks.openAccessibilitySettings = hooks_.openDesktopSettings;
    callbacks.openScreenCaptureSettings = hooks_.openDesktopSettings;
  }
  callbacks.refreshPermissions = [this] {
    services_.permissionMonitor.refresh();
    // The monitor reports changes only; the guide also needs the state it already has.
    if (const auto& state = services_.permissionMonitor.state(); state && onboardingModel_) {
      onboardingModel_->updatePermissions(guidePermissions(*state));
    }
  };
  callbacks.onPickApplications = [this] {
    if (picker_.isValid() && !picker_.isFinished()) return;
    picker_ = spawn(services_.platform.loop, pickApplications());
  };
  callbacks.onRegistryChanged = [this] {
    if (hooks_.registryChanged) hooks_.registryChanged();
  };
  callbacks.onOpenSettings = [this] { showSettings(); };
  callbacks.onClose = [] {};
  callbacks.readRegistrationError = [&registry] { return registry.store().storageError(); };
  callbacks.onRefreshRegistrations = [this]() -> std::optional<std::string> {
    if (!services_.delegate.isActive()) return std::nullopt;
    const auto result = services_.registryRecovery.reload();
    return result ? std::optional(L10n::text(*result)) : std::nullopt;
  };
  callbacks.onResetRegistrations = [this] {
    if (!hooks_.resetRegistrations) return;
    hooks_.resetRegistrations([this](std::optional<LocalizedText> result) {
      if (result && onboardingModel_) onboardingModel_->registrationsReset(L10n::text(*result));
    });
  };
  callbacks.isSwitching = [this] { return services_.coordinator.isSwitching(); };
  callbacks.confirmProgressReset = [this] {
    return recovery_.confirm(LocalizedText("案内の進行状態を初期化しますか？"),
                             LocalizedText("元の案内ファイルをバックアップとして保全して、はじめにを最初からやり直しま"
                                           "す。アプリの登録・呼び出しキー・保存画像・macOSの権限は変更しません。"));
  };
  const std::string label = settingsModel().viewState().preferences.shortcut.displayString();
  onboardingModel_ = std::make_unique<LaunchOnboardingViewModel>(onboardingStore_, services_.platform.loop, label,
                                                                 std::move(callbacks));
  onboardingModel_->setRegistrationBusy(services_.coordinator.isSwitching());
  return *onboardingModel_;
}

Task<void> QuillonWindows::pickApplications() {
  OpenPanelRequest request;
  request.directoryPath = "/Applications";
  request.allowsMultipleSelection = true;
  request.canChooseDirectories = false;
  request.applicationsOnly = true;
  request.message = L10n::text(LocalizedText("使いたいノッチアプリを選んでください。登録だけでは起動・終了しません。"));
  if (std::error_code error; !std::filesystem::is_directory(request.directoryPath, error)) {
    // No /Applications on this desktop: start where the user's own bundles are likely.
    if (const char* home = std::getenv("HOME")) request.directoryPath = home;
  }
  const auto paths = co_await services_.platform.alerts.showOpenPanel(std::move(request));
  if (paths.empty() || !onboardingModel_ || !services_.delegate.isActive()) co_return;
  std::vector<Url> urls;
  urls.reserve(paths.size());
  for (const auto& path : paths) urls.push_back(Url::fileUrl(path, true));
  onboardingModel_->send(LaunchOnboardingViewEvent::registerApplications(std::move(urls)));
}

void QuillonWindows::showOnboarding() {
  if (!services_.delegate.isActive()) return;
  auto& model = onboardingModel();
  if (!onboardingWindow_) onboardingWindow_ = services_.platform.windows.makeOnboardingWindow(model);
  onboardingWindow_->present();
}

void QuillonWindows::showOnboardingAtStart(bool requested) {
  std::error_code error;
  const bool hasPreferences = std::filesystem::exists(services_.preferencesStore.url().path(), error);
  const auto record = onboardingStore_.load();
  const auto appCount = static_cast<int>(services_.registry.apps().size());
  if (requested || record.shouldPresentAutomatically(appCount, hasPreferences)) showOnboarding();
}

void QuillonWindows::permissionsChanged(const LaunchPermissionState& state) {
  if (onboardingModel_) onboardingModel_->updatePermissions(guidePermissions(state));
}

void QuillonWindows::shortcutChanged(const std::string& label) {
  if (onboardingModel_) onboardingModel_->setShortcutLabel(label);
}

void QuillonWindows::refreshTick(bool isSwitching) {
  if (onboardingModel_) onboardingModel_->setRegistrationBusy(isSwitching);
}

void QuillonWindows::registeredAppsChanged() {
  if (onboardingModel_) onboardingModel_->refreshApps();
}

void QuillonWindows::applicationBecameActive() {
  services_.permissionMonitor.refresh();
  if (onboardingModel_) onboardingModel_->refreshApps();
}

void QuillonWindows::tearDown() {
  picker_.reset();
  if (onboardingModel_) onboardingModel_->setVisible(false);
}

}  // namespace quillon
