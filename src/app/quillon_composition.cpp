#include "app/quillon_composition.h"

#include <sys/signalfd.h>
#include <unistd.h>

#include <QApplication>

#include <cstdio>

#include "app/linux_platform.h"
#include "core/app/menu_bar_controller.h"
#include "core/app/quillon_about_presenter.h"
#include "core/bundle/launch_own_application.h"
#include "core/platform/launch_log_sink.h"
#include "core/storage/preferences/launch_modifier_shortcut.h"
#include "desktop/qt_alert_presenter.h"
#include "desktop/qt_main_loop.h"
#include "desktop/qt_status_menu_host.h"

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
  menuBarController_ = std::make_unique<MenuBarController>(*platform_.statusMenu);
  aboutPresenter_ = std::make_unique<QuillonAboutPresenter>(
      *platform_.alerts, QuillonAboutContent::fromInfoDictionary(LaunchOwnApplication::builtInInfoDictionary()));
  menuBarController_->onShowAbout = [this] { showAbout(); };
  menuBarController_->onQuit = [this] { quit(0); };
  platform_.log->log("[Quillon/startup] started");
}

void QuillonComposition::tearDown() {
  aboutTask_.reset();
  menuBarController_.reset();
}

void QuillonComposition::showAbout() {
  if (!delegate_->isActive()) return;
  // One chain at a time: a second request while it is open is dropped.
  if (aboutTask_.isValid() && !aboutTask_.isFinished()) return;
  // The default chord until the preferences are composed here.
  aboutTask_ = spawn(*platform_.loop, aboutPresenter_->present(LaunchModifierShortcut::command().displayString(), {}, {}));
}

}  // namespace quillon
