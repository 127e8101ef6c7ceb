#include "app/quillon_composition.h"

#include <sys/signalfd.h>
#include <unistd.h>

#include <QApplication>

#include <cstdio>

#include "app/linux_platform.h"
#include "core/app/app_registry_recovery.h"
#include "core/app/launch_permission_monitor.h"
#include "core/app/menu_bar_controller.h"
#include "core/app/quillon_about_presenter.h"
#include "core/async/launch_clock.h"
#include "core/bundle/launch_own_application.h"
#include "core/platform/launch_log_sink.h"
#include "core/storage/preferences/launch_modifier_shortcut.h"
#include "core/storage/preferences/launch_preferences_store.h"
#include "core/storage/registry/app_registry.h"
#include "core/switching/launch_app_lifecycle.h"
#include "core/switching/launch_switch_coordinator.h"
#include "desktop/qt_alert_presenter.h"
#include "desktop/qt_main_loop.h"
#include "desktop/qt_status_menu_host.h"
#include "desktop/qt_user_defaults.h"
#include "linux/linux_own_application.h"
#include "linux/process_workspace.h"
#include "linux/x11_accessibility.h"
#include "linux/x11_screen_capture_service.h"

namespace quillon {

QuillonComposition::QuillonComposition(LinuxPlatform& platform, Url dataDirectory) : platform_(platform) {
  AppDelegate::Hooks hooks;
  // Nothing to do on this desktop: a process with only a tray icon has no taskbar entry.
  hooks.becomeAccessory = [] {};
  hooks.terminate = [this](int exitStatus) { quit(exitStatus); };
  hooks.reportStartFailure = [this](const LaunchAlert& alert) {
    exitStatus_ = AppDelegate::startFailureStatus;
    // Also on the terminal: the user may not look at the screen of the display.
    std::string text = alert.messageText + "\n" + alert.informativeText + "\n";
    for (const auto& button : alert.buttons) text += "[" + button + "] ";
    if (!alert.buttons.empty()) text.back() = '\n';
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
  };
  hooks.compose = [this] { compose(); };
  hooks.tearDown = [this] { tearDown(); };
  delegate_ = std::make_unique<AppDelegate>(std::move(dataDirectory), *platform_.loop, *platform_.log,
                                            *platform_.alerts, std::move(hooks));
}

QuillonComposition::~QuillonComposition() = default;

int QuillonComposition::run(int stopFd) {
  const auto stopWatch = platform_.loop->watchReadable(stopFd, [this, stopFd] {
    signalfd_siginfo info{};
    while (::read(stopFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
    }
    quit(exitStatus_);
  });
  // From inside the loop, so that a terminate during the launch finds it running.
  platform_.loop->post([this] { delegate_->applicationDidFinishLaunching(); });
  QApplication::exec();
  platform_.loop->unwatch(stopWatch);
  delegate_->applicationWillTerminate();
  return exitStatus_;
}

void QuillonComposition::quit(int exitStatus) {
  // A start failure stays a failure, also when a signal ends the process meanwhile.
  if (exitStatus_ == 0) exitStatus_ = exitStatus;
  QApplication::exit(exitStatus_);
}

void QuillonComposition::compose() {
  auto& loop = *platform_.loop;
  auto& log = *platform_.log;
  registry_ = std::make_unique<AppRegistry>(SettingsStore(*platform_.userDefaults, delegate_->dataDirectory()));
  lifecycle_ = std::make_unique<LaunchAppLifecycle>(*platform_.workspace, loop, linuxOwnApplication(),
                                                    static_cast<std::int32_t>(::getpid()));
  coordinator_ = std::make_unique<LaunchSwitchCoordinator>(
      *registry_, *platform_.workspace, loop, log,
      [this](LaunchApplicationHandle source, Url url) { return lifecycle_->switchApplication(std::move(source), url); });
  coordinator_->refreshSoon();

  menuBarController_ = std::make_unique<MenuBarController>(*platform_.statusMenu, *registry_, *coordinator_,
                                                           *platform_.alerts, loop);
  preferencesStore_ = std::make_unique<LaunchPreferencesStore>(
      LaunchPreferencesStore::inDataDirectory(delegate_->dataDirectory()));
  shortcutLabel_ = preferencesStore_->load().shortcut.displayString();

  registryRecovery_ = std::make_unique<AppRegistryRecovery>(
      *registry_, *platform_.alerts,
      AppRegistryRecovery::Actions{[this] { return coordinator_->isSwitching(); }, [this] { registeredAppsChanged(); }});
  aboutPresenter_ = std::make_unique<QuillonAboutPresenter>(
      *platform_.alerts, QuillonAboutContent::fromInfoDictionary(LaunchOwnApplication::builtInInfoDictionary()));
  menuBarController_->onShowAbout = [this] { showAbout(); };
  menuBarController_->onRegistryChanged = [this] { registeredAppsChanged(); };
  menuBarController_->onReloadRegistrations = [this] {
    if (delegate_->isActive()) registryRecovery_->reload();
  };
  menuBarController_->onResetRegistrations = [this] { resetRegistrations(); };
  menuBarController_->onQuit = [this] { quit(0); };

  LaunchPermissionMonitor::Hooks hooks;
  hooks.readPermissions = [this] {
    return LaunchPermissionMonitor::Permissions{platform_.accessibility->isTrusted(false),
                                                platform_.screenCapture->preflightPermission()};
  };
  hooks.now = [this] { return platform_.clock->uptime(); };
  hooks.requestAccessibility = [this] { platform_.accessibility->isTrusted(true); };
  hooks.requestScreenCapture = [this] { platform_.screenCapture->requestPermission(); };
  // The gesture's input side is not part of this build yet; until it is, input is never
  // reported as running and the menu says the gesture waits.
  hooks.startInput = [] { return false; };
  hooks.onChange = [this](const LaunchPermissionState& state) {
    if (!delegate_->isActive()) return;
    auto lines = state.menuLines();
    if (lines != menuBarController_->launchPermissionLines) {
      menuBarController_->launchPermissionLines = std::move(lines);
      menuBarController_->rebuildMenu();
    }
  };
  permissionMonitor_ = std::make_unique<LaunchPermissionMonitor>(std::move(hooks), log);
  menuBarController_->onRequestLaunchPermissions = [this] { permissionMonitor_->requestPermissions(); };
  permissionMonitor_->refresh();

  refreshTimer_ = LaunchTimer(loop, 1.0, true, [this] { refreshTick(); });
  log.log("[Quillon/launch] product initialized; permission monitor controls Command input availability; hosts are unmodified");
}

void QuillonComposition::refreshTick() {
  if (!delegate_->isActive()) return;
  // Another process may have rewritten the stored registry, or damaged it: the menu
  // follows as after a reload the user asked for (a failed one keeps the list and
  // offers the recovery items). While a switch runs, the next tick catches up.
  if (registry_->store().storedValueChanged()) registryRecovery_->reload();
  coordinator_->refreshSoon();
  permissionMonitor_->refresh();
}

void QuillonComposition::registeredAppsChanged() {
  coordinator_->refreshSoon();
  menuBarController_->rebuildMenu();
}

void QuillonComposition::resetRegistrations() {
  if (!delegate_->isActive() || (resetTask_.isValid() && !resetTask_.isFinished())) return;
  auto reset = [](AppRegistryRecovery& recovery) -> Task<void> { co_await recovery.reset(); };
  resetTask_ = spawn(*platform_.loop, reset(*registryRecovery_));
}

void QuillonComposition::tearDown() {
  refreshTimer_ = LaunchTimer();
  if (permissionMonitor_) permissionMonitor_->stop();
  if (menuBarController_) menuBarController_->onRequestLaunchPermissions = nullptr;
  aboutTask_.reset();
  resetTask_.reset();
}

void QuillonComposition::showAbout() {
  if (!delegate_->isActive()) return;
  // One chain at a time: a second request while it is open is dropped.
  if (aboutTask_.isValid() && !aboutTask_.isFinished()) return;
  aboutTask_ = spawn(*platform_.loop, aboutPresenter_->present(shortcutLabel_, {}, {}));
}

}  // namespace quillon
