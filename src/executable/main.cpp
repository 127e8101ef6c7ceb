#include <pwd.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>

#include <QApplication>

#include "core/localization/l10n.h"
#include "core/platform/alert_presenter.h"
#include "core/platform/log_sink.h"
#include "core/product/app_delegate.h"
#include "core/product/data_directory.h"
#include "core/product/quillon_composition.h"
#include "core/support/unique_fd.h"
#include "desktop/qt_main_loop.h"
#include "executable/linux_platform.h"
#include "executable/quillon_command_line.h"
#include "linux/desktop_session.h"
#include "linux/detached_process.h"
#include "linux/environment_locale.h"
#include "linux/linux_own_application.h"

namespace {

// $XDG_DATA_HOME, else ~/.local/share, with the password database standing in for an
// unset $HOME (as under some service managers).
std::optional<std::string> applicationSupportPath() {
  const char* home = std::getenv("HOME");
  std::string fallbackHome;
  if (home == nullptr || home[0] != '/') {
    if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr) {
      fallbackHome = entry->pw_dir;
      home = fallbackHome.c_str();
    }
  }
  return quillon::DataDirectory::xdgApplicationSupportPath(std::getenv("XDG_DATA_HOME"), home);
}

// Also on the terminal: the user may not look at the screen of the display.
void printStartFailure(const quillon::Alert& alert) {
  std::string text = alert.messageText + "\n" + alert.informativeText + "\n";
  for (const auto& button : alert.buttons) text += "[" + button + "] ";
  if (!alert.buttons.empty()) text.back() = '\n';
  std::fputs(text.c_str(), stderr);
  std::fflush(stderr);
}

// The desktop's settings program, where this desktop has a known one.
std::function<bool()> openDesktopSettings() {
  auto program = quillon::desktopSettingsProgram();
  if (!program) return {};
  return [program = *program] {
    try {
      quillon::spawnDetachedProcess(program, {program});
      return true;
    } catch (...) {
      return false;
    }
  };
}

}  // namespace

// Builds the platform, takes the instance lock and runs until the menu's quit, SIGTERM
// or SIGINT (status 0); a second instance exits 0 at once; a start failure exits 1.
// --help and --version answer without a display and touch nothing.
int main(int argc, char** argv) {
  using namespace quillon;
  const auto commandLine = QuillonCommandLine::parse(argc, argv);
  switch (commandLine.action) {
    case QuillonCommandLine::Action::printHelp:
      useLinuxTexts(EnvironmentLocale());
      std::fputs(QuillonCommandLine::helpText().c_str(), stdout);
      return 0;
    case QuillonCommandLine::Action::printVersion:
      std::fputs(QuillonCommandLine::versionText().c_str(), stdout);
      return 0;
    case QuillonCommandLine::Action::run: break;
  }
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  // Blocked before any thread starts (Qt starts some), so every thread inherits the
  // mask and the signals arrive only through the descriptor, on the main loop. The
  // mask also survives exec: whatever this process launches must clear it
  // (POSIX_SPAWN_SETSIGMASK with an empty set), or the launched app would start with
  // SIGTERM blocked and ignore a normal quit.
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  UniqueFd signalFd(signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK));

  auto start = makeLinuxPlatform(argc, argv);
  if (!start.platform) {
    // No display to show the alert on: its text goes to the terminal.
    const Alert alert = AppDelegate::startFailureAlert(start.failure);
    std::fprintf(stderr, "%s\n%s\n", alert.messageText.c_str(), alert.informativeText.c_str());
    return AppDelegate::startFailureStatus;
  }
  LinuxPlatform& platform = *start.platform;

  const auto applicationSupport = applicationSupportPath();
  if (!applicationSupport) {
    platform.log->log("[Quillon/startup] no Application Support directory (neither XDG_DATA_HOME nor HOME); stopping");
    return AppDelegate::startFailureStatus;
  }
  // A fresh account may not have ~/.local/share yet; the lock reports what still fails.
  DataDirectory::createMissingPrivately(*applicationSupport);

  QuillonComposition composition(
      platform.ports(), DataDirectory::url(Url::fileUrl(*applicationSupport, true)),
      {linuxOwnApplication(), static_cast<std::int32_t>(::getpid()), commandLine.showOnboarding,
       commandLine.showSettings, [](int exitStatus) { QApplication::exit(exitStatus); }, printStartFailure,
       isWaylandSession(), openDesktopSettings()});
  const int stopFd = signalFd.get();
  const auto stopWatch = platform.loop->watchReadable(stopFd, [&composition, stopFd] {
    signalfd_siginfo info{};
    while (::read(stopFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
    }
    composition.quit(0);
  });
  // From inside the loop, so that a terminate during the launch finds it running.
  platform.loop->post([&composition] { composition.applicationDidFinishLaunching(); });
  QApplication::exec();
  platform.loop->unwatch(stopWatch);
  composition.applicationWillTerminate();
  return composition.exitStatus();
}
