#include <pwd.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "app/console_alert_presenter.h"
#include "app/log_sink_selection.h"
#include "core/app/app_delegate.h"
#include "core/app/launch_data_directory.h"
#include "core/async/launch_clock.h"
#include "core/async/poll_main_loop.h"
#include "core/support/unique_fd.h"

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
  return quillon::LaunchDataDirectory::xdgApplicationSupportPath(std::getenv("XDG_DATA_HOME"), home);
}

}  // namespace

// Takes the instance lock and runs the main loop until SIGTERM or SIGINT, then tears
// down and exits 0. A second instance exits 0 at once.
int main() {
  using namespace quillon;
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  // Blocked before any thread starts, so every thread inherits the mask and the signals
  // arrive only through the descriptor, on the main loop. The mask also survives exec:
  // whatever this process launches must clear it (POSIX_SPAWN_SETSIGMASK with an empty
  // set), or the launched app would start with SIGTERM blocked and ignore a normal quit.
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  UniqueFd signalFd(signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK));

  SystemClock clock;
  PollMainLoop loop(clock);
  auto log = makeLogSink(std::getenv("QUILLON_LOG"));
  ConsoleAlertPresenter alerts;

  const auto applicationSupport = applicationSupportPath();
  if (!applicationSupport) {
    log->log("[Quillon/startup] no Application Support directory (neither XDG_DATA_HOME nor HOME); stopping");
    return 1;
  }
  // A fresh account may not have ~/.local/share yet; the lock reports what still fails.
  LaunchDataDirectory::createMissingPrivately(*applicationSupport);

  AppDelegate::Hooks hooks;
  hooks.becomeAccessory = [] {};  // a process without windows has no taskbar entry
  hooks.terminate = [&] { loop.quit(); };
  hooks.compose = [&] { log->log("[Quillon/startup] started"); };
  AppDelegate delegate(LaunchDataDirectory::url(Url::fileUrl(*applicationSupport, true)), *log, alerts, hooks);

  loop.watchReadable(signalFd.get(), [&] { loop.quit(); });
  delegate.applicationDidFinishLaunching();
  loop.run();  // returns at once when the delegate already asked to terminate
  delegate.applicationWillTerminate();
  return 0;
}
