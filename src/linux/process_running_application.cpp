#include "linux/process_running_application.h"

#include <poll.h>
#include <signal.h>

#include <cerrno>
#include <utility>

#include "core/async/main_loop.h"
#include "core/bundle/launch_bundle_location.h"
#include "core/bundle/process_identity.h"
#include "linux/linux_pidfd.h"
#include "linux/linux_process_executable.h"

namespace quillon {

namespace {

bool hasExited(int pidfd) {
  pollfd entry{pidfd, POLLIN, 0};
  int ready;
  do {
    ready = ::poll(&entry, 1, 0);
  } while (ready < 0 && errno == EINTR);
  return ready > 0;
}

bool outOfDescriptors(int error) { return error == EMFILE || error == ENFILE; }

}  // namespace

ProcessRunningApplication::ProcessRunningApplication(pid_t pid, UniqueFd pidfd, std::string executablePath)
    : pid_(pid), pidfd_(std::move(pidfd)), executablePath_(std::move(executablePath)) {
  auto identity = ProcessIdentity::forExecutable(*executablePath_);
  bundlePath_ = std::move(identity.bundlePath);
  bundleIdentifier_ = std::move(identity.bundleIdentifier);
}

std::shared_ptr<ProcessRunningApplication> ProcessRunningApplication::adopt(
    pid_t pid, UniqueFd pidfd, const std::optional<std::string>& launchedExecutable) {
  if (!pidfd || pid < 1) return nullptr;
  auto executable = processExecutablePath(pid);
  // The /proc entry read above belongs to the pidfd's process only if that process is
  // still alive now: had it exited, the identifier could already name another one. An
  // exiting process loses its executable link a moment before its pidfd reports the
  // exit, so a failed read means "exiting" as much as "exited".
  if (!executable || hasExited(pidfd.get())) {
    executable = launchedExecutable ? resolvedPath(*launchedExecutable) : std::nullopt;
  }
  if (!executable) return nullptr;
  return std::shared_ptr<ProcessRunningApplication>(
      new ProcessRunningApplication(pid, std::move(pidfd), std::move(*executable)));
}

std::shared_ptr<ProcessRunningApplication> ProcessRunningApplication::forProcess(pid_t pid) {
  UniqueFd pidfd(pidfdOpen(pid));
  if (!pidfd && outOfDescriptors(errno)) throw LaunchRunningApplicationsError::unavailable(errno);
  if (!pidfd || hasExited(pidfd.get())) return nullptr;
  errno = 0;
  auto application = adopt(pid, std::move(pidfd));
  // An unreadable Info dictionary leaves the identifier out; without descriptors that
  // says nothing about the bundle.
  if (application && application->bundlePath_ && !application->bundleIdentifier_ && outOfDescriptors(errno)) {
    throw LaunchRunningApplicationsError::unavailable(errno);
  }
  return application;
}

bool ProcessRunningApplication::isTerminated() const { return hasExited(pidfd_.get()); }

// SIGTERM is the normal quit request of a process: it may handle it (and quit in its
// own time) or ignore it. A process that is already gone did what was asked.
bool ProcessRunningApplication::requestTermination() {
  if (pidfdSendSignal(pidfd_.get(), SIGTERM) == 0) return true;
  return errno == ESRCH;
}

// The pidfd turns readable when the process exits and stays readable, so the watch
// ends at its first call; left in place, the loop would call it on every turn.
Subscription ProcessRunningApplication::observeTermination(MainLoop& loop, std::function<void()> exited) {
  auto watch = std::make_shared<std::optional<MainLoop::WatchId>>();
  auto stop = [&loop, watch] {
    if (*watch) loop.unwatch(*std::exchange(*watch, std::nullopt));
  };
  *watch = loop.watchReadable(pidfd_.get(), [stop, exited = std::move(exited)] {
    stop();
    exited();
  });
  return Subscription(stop);
}

int ProcessRunningApplication::probe() const {
  if (pidfdSendSignal(pidfd_.get(), 0) == 0) return 0;
  return errno;
}

}  // namespace quillon
