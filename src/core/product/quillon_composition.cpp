#include "core/product/quillon_composition.h"

#include <cstdint>

#include "core/async/clock.h"
#include "core/capture/launch_preview_archive.h"
#include "core/capture/launch_preview_cache.h"
#include "core/capture/launch_window_target_probe.h"
#include "core/input/global_event_tap.h"
#include "core/input/launch_input_router.h"
#include "core/input/launch_input_trace.h"
#include "core/input/launch_notch_surface_service.h"
#include "core/input/launch_notch_surfaces.h"
#include "core/overlay/launch_preview_cache_overlay_previews.h"
#include "core/overlay/launch_switcher_overlay.h"
#include "core/platform/accessibility.h"
#include "core/platform/alert_presenter.h"
#include "core/platform/log_sink.h"
#include "core/platform/screen_capture_service.h"
#include "core/platform/screens.h"
#include "core/product/app_registry_recovery.h"
#include "core/product/launch_instance_requests.h"
#include "core/product/launch_permission_monitor.h"
#include "core/product/menu_bar_controller.h"
#include "core/product/quillon_about_presenter.h"
#include "core/product/quillon_windows.h"
#include "core/records/preferences/launch_modifier_shortcut.h"
#include "core/records/preferences/launch_preferences_store.h"
#include "core/records/registry/app_registry.h"
#include "core/switching/launch_app_lifecycle.h"
#include "core/switching/launch_status_model.h"
#include "core/switching/launch_switch_coordinator.h"

namespace quillon {

QuillonComposition::QuillonComposition(const QuillonPlatform& platform, Url dataDirectory, Executable executable)
    : platform_(platform), executable_(std::move(executable)) {
  AppDelegate::Hooks hooks;
  // Nothing to do where a process with only a tray icon has no taskbar entry anyway.
  hooks.becomeAccessory = [] {};
  hooks.terminate = [this](int exitStatus) { quit(exitStatus); };
  hooks.reportStartFailure = [this](const Alert& alert) {
    exitStatus_ = AppDelegate::startFailureStatus;
    if (executable_.reportStartFailure) executable_.reportStartFailure(alert);
  };
  hooks.compose = [this] { compose(); };
  hooks.tearDown = [this] { tearDown(); };
  // Started again (from the application menu, without a tray to click): the running
  // instance opens the window this start would have shown.
  hooks.passToRunningInstance = [this] {
    LaunchInstanceRequests::send(delegate_->dataDirectory(), executable_.showOnboarding
                                                                 ? LaunchInstanceRequest::showOnboarding
                                                                 : LaunchInstanceRequest::showSettings);
  };
  delegate_ = std::make_unique<AppDelegate>(std::move(dataDirectory), platform_.loop, platform_.log, platform_.alerts,
                                            std::move(hooks));
}

QuillonComposition::~QuillonComposition() = default;

void QuillonComposition::quit(int exitStatus) {
  // A start failure stays a failure, also when a signal ends the process meanwhile.
  if (exitStatus_ == 0) exitStatus_ = exitStatus;
  if (executable_.exit) executable_.exit(exitStatus_);
}

void QuillonComposition::compose() {
  auto& loop = platform_.loop;
  auto& log = platform_.log;
  registry_ = std::make_unique<AppRegistry>(SettingsStore(platform_.userDefaults, delegate_->dataDirectory()));
  lifecycle_ =
      std::make_unique<LaunchAppLifecycle>(platform_.workspace, loop, executable_.own, executable_.processIdentifier);
  status_ = std::make_unique<LaunchStatusModel>();
  coordinator_ = std::make_unique<LaunchSwitchCoordinator>(
      *registry_, platform_.workspace, loop, log, *status_, [this](ApplicationHandle source, Url url) {
        return lifecycle_->switchApplication(std::move(source), std::move(url));
      });
  coordinator_->quitApplication = [this](ApplicationHandle app) { return lifecycle_->quitApplication(std::move(app)); };
  coordinator_->refreshSoon();

  menuBarController_ = std::make_unique<MenuBarController>(platform_.statusMenu, *registry_, *coordinator_, *status_,
                                                           platform_.alerts, loop);
  preferencesStore_ =
      std::make_unique<LaunchPreferencesStore>(LaunchPreferencesStore::inDataDirectory(delegate_->dataDirectory()));
  const LaunchPreferences preferences = preferencesStore_->load();
  shortcut_ = preferences.shortcut;
  switchWithVerticalScroll_ = preferences.switchWithVerticalScroll;

  // The overlay keeps the previews; the stored preference then decides whether they live
  // on disk. An unreadable preferences file is not the user's choice, so it deletes nothing.
  previewCache_ = std::make_unique<LaunchPreviewCache>(
      16, 1200, LaunchPreviewArchive::defaultDirectory(delegate_->dataDirectory()), false,
      LaunchPreviewCache::Services{platform_.imageCodec, platform_.clock, loop, log});
  overlayPreviews_ = std::make_unique<LaunchPreviewCacheOverlayPreviews>(*previewCache_);
  overlay_ = std::make_unique<LaunchSwitcherOverlay>(
      LaunchSwitcherOverlay::Services{platform_.clock, platform_.workspace, platform_.screens, platform_.windowServer,
                                      platform_.screenCapture, platform_.panels, *overlayPreviews_, log});
  overlay_->setShortcut(preferences.shortcut);
  appliedSavePreviews_ = preferences.savePreviews;
  previewCache_->setPersistenceEnabled(preferences.savePreviews, !preferencesStore_->loadFailed());
  retainPreviewsOfRegisteredApps();

  // A refused trace path is said once, in the log, from the main thread.
  LaunchInputTrace::shared().reportRefusalTo(
      [&loop, &log](std::string_view line) { loop.post([&log, text = std::string(line)] { log.log(text); }); });
  probe_ = std::make_unique<LaunchWindowTargetProbe>(platform_.windowServer, platform_.accessibility, platform_.screens,
                                                     platform_.clock, executable_.processIdentifier);
  surfaces_ = std::make_unique<LaunchNotchSurfaceService>(
      LaunchNotchSurfaceService::Services{*coordinator_, *registry_, *status_, platform_.screens,
                                          platform_.screenCapture, loop, log, LaunchInputTrace::shared()},
      std::make_unique<ProbedNotchSurfaces>(*probe_, loop, platform_.screenCapture, platform_.windowServer, log));
  router_ = std::make_unique<LaunchInputRouter>(
      LaunchInputRouter::Services{*coordinator_, *registry_, *status_, *surfaces_, *overlay_, platform_.input,
                                  platform_.screens, platform_.userDefaults, loop, log, LaunchInputTrace::shared()},
      shortcut_);

  registryRecovery_ =
      std::make_unique<AppRegistryRecovery>(*registry_, platform_.alerts,
                                            AppRegistryRecovery::Actions{[this] { return coordinator_->isSwitching(); },
                                                                         [this] { registeredAppsChanged(); }});
  aboutPresenter_ = std::make_unique<QuillonAboutPresenter>(
      platform_.alerts, QuillonAboutContent::fromInfoDictionary(OwnApplication::builtInInfoDictionary()));
  menuBarController_->onShowAbout = [this] { showAbout(); };
  menuBarController_->onShowLaunchSettings = [this] { windows_->showSettings(); };
  menuBarController_->onShowOnboarding = [this] { windows_->showOnboarding(); };
  menuBarController_->onRegistryChanged = [this] { registeredAppsChanged(); };
  menuBarController_->onReloadRegistrations = [this] {
    if (delegate_->isActive()) registryRecovery_->reload();
  };
  menuBarController_->onResetRegistrations = [this] { resetRegistrations(); };
  menuBarController_->onQuit = [this] { quit(0); };

  LaunchPermissionMonitor::Hooks hooks;
  hooks.readPermissions = [this] {
    return LaunchPermissionMonitor::Permissions{platform_.accessibility.isTrusted(false),
                                                platform_.screenCapture.preflightPermission(),
                                                executable_.waylandSession};
  };
  hooks.now = [this] { return platform_.clock.uptime(); };
  hooks.requestAccessibility = [this] { platform_.accessibility.isTrusted(true); };
  hooks.requestScreenCapture = [this] { platform_.screenCapture.requestPermission(); };
  hooks.startInput = [this] { return startInput(); };
  hooks.onChange = [this](const LaunchPermissionState& state) {
    if (!delegate_->isActive()) return;
    router_->permissionsChanged();
    auto lines = state.menuLines();
    if (lines != menuBarController_->launchPermissionLines) {
      menuBarController_->launchPermissionLines = std::move(lines);
      menuBarController_->rebuildMenu();
    }
    windows_->permissionsChanged(state);
  };
  permissionMonitor_ = std::make_unique<LaunchPermissionMonitor>(std::move(hooks), log);
  menuBarController_->onRequestLaunchPermissions = [this] { permissionMonitor_->requestPermissions(); };
  windows_ = std::make_unique<QuillonWindows>(
      QuillonWindows::Services{platform_, *delegate_, *registry_, *coordinator_, *preferencesStore_, *registryRecovery_,
                               *permissionMonitor_},
      QuillonWindows::Hooks{
          [this](const LaunchPreferences& changed, bool reapply) { return applyLaunchPreferences(changed, reapply); },
          [this] {
            previewCache_->clear();
            return imageStorageError();
          },
          [this] { return imageStorageError(); }, [this] { registeredAppsChanged(); },
          [this](std::function<void(std::optional<LocalizedText>)> done) { resetRegistrations(std::move(done)); },
          [this] {
            return LaunchPreferences{shortcut_, appliedSavePreviews_.value_or(false)};
          },
          executable_.openDesktopSettings});
  permissionMonitor_->refresh();

  refreshTimer_ = Timer(loop, 1.0, true, [this] { refreshTick(); });
  // A gesture placed against the old layout is abandoned; the next one captures anew.
  screensObserver_ = platform_.screens.subscribeToChanges([this] {
    if (delegate_->isActive()) router_->screensChanged();
  });
  windows_->showOnboardingAtStart(executable_.showOnboarding);
  if (executable_.showSettings) windows_->showSettings();
  instanceRequests_ =
      LaunchInstanceRequests::listen(delegate_->dataDirectory(), loop, [this](LaunchInstanceRequest request) {
        if (!delegate_->isActive()) return;
        if (request == LaunchInstanceRequest::showOnboarding) {
          windows_->showOnboarding();
        } else {
          windows_->showSettings();
        }
      });
  if (!instanceRequests_)
    log.log("[Quillon/startup] no request pipe in the data directory; a second start opens nothing here");
  log.log(
      "[Quillon/launch] product initialized; permission monitor controls Command input availability; hosts are "
      "unmodified");
}

void QuillonComposition::refreshTick() {
  if (!delegate_->isActive()) return;
  // A reload runs the registry-changed actions, which refresh the selection themselves.
  if (!registryRecovery_->reloadIfStoredValueChanged()) coordinator_->refreshSoon();
  permissionMonitor_->refresh();
  windows_->refreshTick(coordinator_->isSwitching());
}

void QuillonComposition::retainPreviewsOfRegisteredApps() {
  // Images of apps no longer registered are dropped, unless the registry or the
  // preferences could not be read: then what is registered or wanted is unknown.
  if (registry_->canPrunePreviews() && !preferencesStore_->loadFailed()) overlay_->retainPreviews(registry_->apps());
}

void QuillonComposition::registeredAppsChanged() {
  retainPreviewsOfRegisteredApps();
  coordinator_->refreshSoon();
  menuBarController_->rebuildMenu();
  if (windows_) windows_->registeredAppsChanged();
}

std::optional<std::string> QuillonComposition::applyLaunchPreferences(const LaunchPreferences& preferences,
                                                                      bool reapplyStoredIntent) {
  shortcut_ = preferences.shortcut;
  router_->updateShortcut(shortcut_);
  switchWithVerticalScroll_ = preferences.switchWithVerticalScroll;
  if (tap_) {
    tap_->updateShortcut(shortcut_);
    tap_->setVerticalScrollPages(switchWithVerticalScroll_);
  }
  windows_->shortcutChanged(shortcut_.displayString());
  // Only a change the user made may delete stored images; the first application after
  // the start counts as one, since nothing was applied before.
  const bool isUserInitiated =
      reapplyStoredIntent || !appliedSavePreviews_ || *appliedSavePreviews_ != preferences.savePreviews;
  appliedSavePreviews_ = preferences.savePreviews;
  previewCache_->setPersistenceEnabled(preferences.savePreviews, isUserInitiated);
  return imageStorageError();
}

std::optional<std::string> QuillonComposition::imageStorageError() const { return previewCache_->persistenceError(); }

bool QuillonComposition::startInput() {
  if (!delegate_->isActive() || !router_) return false;
  if (tap_) return true;
  auto tap = platform_.eventTaps.makeEventTap(*router_, LaunchInputTrace::shared());
  if (!tap) return false;
  tap->updateShortcut(shortcut_);
  tap->setVerticalScrollPages(switchWithVerticalScroll_);
  if (!tap->start()) return false;
  tap_ = std::move(tap);
  return true;
}

void QuillonComposition::resetRegistrations(std::function<void(std::optional<LocalizedText>)> done) {
  if (!delegate_->isActive() || (resetTask_.isValid() && !resetTask_.isFinished())) return;
  auto reset = [](AppRegistryRecovery& recovery,
                  std::function<void(std::optional<LocalizedText>)> report) -> Task<void> {
    auto result = co_await recovery.reset();
    if (report) report(std::move(result));
  };
  resetTask_ = spawn(platform_.loop, reset(*registryRecovery_, std::move(done)));
}

void QuillonComposition::tearDown() {
  instanceRequests_.reset();
  refreshTimer_ = Timer();
  if (permissionMonitor_) permissionMonitor_->stop();
  if (menuBarController_) menuBarController_->onRequestLaunchPermissions = nullptr;
  screensObserver_ = Subscription();
  tap_.reset();
  LaunchInputTrace::shared().reportRefusalTo(nullptr);
  if (router_) router_->stop();
  aboutTask_.reset();
  resetTask_.reset();
  if (windows_) windows_->tearDown();
}

void QuillonComposition::showAbout() {
  if (!delegate_->isActive()) return;
  // One chain at a time: a second request while it is open is dropped.
  if (aboutTask_.isValid() && !aboutTask_.isFinished()) return;
  aboutTask_ = spawn(platform_.loop, aboutPresenter_->present(
                                         shortcut_.displayString(), [this] { windows_->showOnboarding(); },
                                         [this] { windows_->showSettings(); }));
}

}  // namespace quillon
