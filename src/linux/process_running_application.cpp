#include "linux/process_running_application.h"

#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include "linux/linux_pidfd.h"
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "core/bundle/launch_process_identity.h"

namespace quillon {

namespace {

// The kernel's view of a process's executable: absolute, links resolved. A file
// deleted or replaced since the start reads as "<path> (deleted)"; the process still
// runs what was installed at that path.
std::optional<std::string> executableOf(pid_t pid) {
  const std::string link = "/proc/" + std::to_string(pid) + "/exe";
  std::string buffer(4096, '\0');
  const ssize_t length = ::readlink(link.c_str(), buffer.data(), buffer.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) return std::nullopt;
  buffer.resize(static_cast<std::size_t>(length));
  constexpr std::string_view deleted = " (deleted)";
  if (buffer.size() > deleted.size() && buffer.ends_with(deleted)) buffer.resize(buffer.size() - deleted.size());
  return buffer;
}

bool hasExited(int pidfd) {
  pollfd entry{pidfd, POLLIN, 0};
  int ready;
  do {
    ready = ::poll(&entry, 1, 0);
  } while (ready < 0 && errno == EINTR);
  return ready > 0;
}

std::optional<std::string> resolved(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
  if (!real) return std::nullopt;
  return std::string(real.get());
}

}  // namespace

ProcessRunningApplication::ProcessRunningApplication(pid_t pid, UniqueFd pidfd, std::string executablePath)
    : pid_(pid), pidfd_(std::move(pidfd)), executablePath_(std::move(executablePath)) {
  auto identity = LaunchProcessIdentity::forExecutable(*executablePath_);
  bundlePath_ = std::move(identity.bundlePath);
  bundleIdentifier_ = std::move(identity.bundleIdentifier);
}

std::shared_ptr<ProcessRunningApplication> ProcessRunningApplication::adopt(
    pid_t pid, UniqueFd pidfd, const std::optional<std::string>& launchedExecutable) {
  if (!pidfd || pid < 1) return nullptr;
  auto executable = executableOf(pid);
  // The /proc entry read above belongs to the pidfd's process only if that process is
  // still alive now: had it exited, the identifier could already name another one. An
  // exiting process loses its executable link a moment before its pidfd reports the
  // exit, so a failed read means "exiting" as much as "exited".
  if (!executable || hasExited(pidfd.get())) {
    executable = launchedExecutable ? resolved(*launchedExecutable) : std::nullopt;
  }
  if (!executable) return nullptr;
  return std::shared_ptr<ProcessRunningApplication>(
      new ProcessRunningApplication(pid, std::move(pidfd), std::move(*executable)));
}

std::shared_ptr<ProcessRunningApplication> ProcessRunningApplication::forProcess(pid_t pid) {
  UniqueFd pidfd(pidfdOpen(pid));
  if (!pidfd || hasExited(pidfd.get())) return nullptr;
  return adopt(pid, std::move(pidfd));
}

bool ProcessRunningApplication::isTerminated() const { return hasExited(pidfd_.get()); }

// SIGTERM is the normal quit request of a process: it may handle it (and quit in its
// own time) or ignore it. A process that is already gone did what was asked.
bool ProcessRunningApplication::requestTermination() {
  if (pidfdSendSignal(pidfd_.get(), SIGTERM) == 0) return true;
  return errno == ESRCH;
}

int ProcessRunningApplication::probe() const {
  if (pidfdSendSignal(pidfd_.get(), 0) == 0) return 0;
  return errno;
}

}  // namespace quillon
