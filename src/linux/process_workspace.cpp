#include "linux/process_workspace.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <memory>
#include <optional>

#include "core/async/launch_main_loop.h"
#include "core/bundle/launch_bundle.h"
#include "linux/desktop_motion_setting.h"
#include "linux/detached_process.h"
#include "linux/linux_process_executable.h"
#include "linux/process_running_application.h"

namespace quillon {

namespace {

std::optional<pid_t> processIdentifierOf(const char* name) {
  pid_t pid = 0;
  if (*name == '\0') return std::nullopt;
  for (const char* c = name; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9' || pid > 100'000'000) return std::nullopt;
    pid = pid * 10 + (*c - '0');
  }
  return pid;
}

// Calls `visit` with each process of this user listed in /proc.
void forEachProcessOfUser(const std::function<void(pid_t)>& visit) {
  struct CloseDir {
    void operator()(DIR* d) const { ::closedir(d); }
  };
  std::unique_ptr<DIR, CloseDir> directory(::opendir("/proc"));
  if (!directory) throw LaunchRunningApplicationsError{errno};
  const uid_t user = ::geteuid();
  while (true) {
    errno = 0;
    const dirent* entry = ::readdir(directory.get());
    if (entry == nullptr) {
      if (errno != 0) throw LaunchRunningApplicationsError{errno};
      break;
    }
    const auto pid = processIdentifierOf(entry->d_name);
    if (!pid) continue;
    struct stat info {};
    if (::fstatat(::dirfd(directory.get()), entry->d_name, &info, 0) != 0 || info.st_uid != user) continue;
    visit(*pid);
  }
}

}  // namespace

ProcessWorkspace::ProcessWorkspace(LaunchMainLoop& loop) : loop_(loop) {}

Task<std::vector<LaunchApplicationHandle>> ProcessWorkspace::runningApplications() {
  auto scan = [memory = memory_] { return scanRemembering(*memory); };
  auto scanning = runOffMainThread<std::vector<LaunchApplicationHandle>>(loop_, scan);
  co_return co_await std::move(scanning);
}

std::vector<LaunchApplicationHandle> ProcessWorkspace::scanRunningApplications() {
  std::vector<LaunchApplicationHandle> applications;
  forEachProcessOfUser([&](pid_t pid) {
    if (auto application = ProcessRunningApplication::forProcess(pid)) applications.push_back(std::move(application));
  });
  return applications;
}

std::vector<LaunchApplicationHandle> ProcessWorkspace::scanRememberingApplications() { return scanRemembering(*memory_); }

std::vector<LaunchApplicationHandle> ProcessWorkspace::scanRemembering(Memory& memory) {
  const std::lock_guard lock(memory.mutex);
  std::vector<LaunchApplicationHandle> applications;
  std::unordered_map<pid_t, KnownProcess> stillKnown;
  forEachProcessOfUser([&](pid_t pid) {
    if (const auto known = memory.known.find(pid); known != memory.known.end()) {
      // The pidfd is bound to the process first met under this identifier, so a live
      // one rules out a newcomer that inherited it.
      if (!known->second.application->isTerminated() && processExecutablePath(pid) == known->second.executable) {
        applications.push_back(known->second.application);
        stillKnown.emplace(pid, std::move(known->second));
        return;
      }
    }
    auto application = ProcessRunningApplication::forProcess(pid);
    if (!application) return;
    if (application->bundlePath()) {
      stillKnown.emplace(pid, KnownProcess{application->executablePath().value_or(""), application});
    }
    applications.push_back(std::move(application));
  });
  // Vanished processes are forgotten with the scan; a failed scan keeps what was known.
  memory.known = std::move(stillKnown);
  return applications;
}

LaunchApplicationHandle ProcessWorkspace::launch(const std::string& bundlePath) {
  const auto bundle = LaunchBundle::open(Url::fileUrl(bundlePath, true));
  if (!bundle) throw LaunchOpenApplicationError::of(ENOENT);
  const auto executable = bundle->executableURL();
  if (!executable) throw LaunchOpenApplicationError::of(ENOENT);
  const std::string path = executable->path();
  auto process = spawnDetachedProcess(path, {path});
  auto application = ProcessRunningApplication::adopt(process.pid, std::move(process.pidfd), path);
  if (!application) throw LaunchOpenApplicationError::of(ESRCH);
  return application;
}

void ProcessWorkspace::openApplication(const std::string& bundlePath, OpenCompletion completion) {
  auto outcome = std::make_shared<std::optional<LaunchResult<LaunchApplicationHandle>>>();
  loop_.runDetached(
      [bundlePath, outcome] {
        try {
          outcome->emplace(launch(bundlePath));
        } catch (...) {
          outcome->emplace(std::current_exception());
        }
      },
      [outcome, completion = std::move(completion)] {
        if (completion) completion(std::move(**outcome));
      });
}

std::optional<Bitmap> ProcessWorkspace::iconForBundle(const std::string&, int) const { return std::nullopt; }

bool ProcessWorkspace::prefersReducedMotion() const {
  const auto configHome = userConfigHome();
  return configHome && desktopPrefersReducedMotion(*configHome);
}

bool ProcessWorkspace::openUrl(const Url&) { return false; }

}  // namespace quillon
