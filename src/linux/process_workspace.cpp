#include "linux/process_workspace.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/async/main_loop.h"
#include "core/bundle/bundle.h"
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
  if (!directory) throw LaunchRunningApplicationsError::unavailable(errno);
  const uid_t user = ::geteuid();
  while (true) {
    errno = 0;
    const dirent* entry = ::readdir(directory.get());
    if (entry == nullptr) {
      if (errno != 0) throw LaunchRunningApplicationsError::unavailable(errno);
      break;
    }
    const auto pid = processIdentifierOf(entry->d_name);
    if (!pid) continue;
    struct stat info {};
    if (::fstatat(::dirfd(directory.get()), entry->d_name, &info, 0) != 0 || info.st_uid != user) continue;
    visit(*pid);
  }
}

// The X display a process was started for: DISPLAY in its initial environment.
std::optional<std::string> displayOfProcess(pid_t pid) {
  std::ifstream environ("/proc/" + std::to_string(pid) + "/environ", std::ios::binary);
  if (!environ) return std::nullopt;
  for (std::string entry; std::getline(environ, entry, '\0');) {
    if (entry.rfind("DISPLAY=", 0) == 0) return entry.substr(8);
  }
  return std::string();
}

// ":1", ":1.0", "unix:1" and "localhost:1.2" as "host:number", with the local host empty
// and the screen left out: the screens of one display are one desktop.
std::string displayServer(std::string_view display) {
  const auto colon = display.rfind(':');
  if (colon == std::string_view::npos) return std::string(display);
  std::string_view host = display.substr(0, colon);
  std::string_view number = display.substr(colon + 1);
  if (host == "unix" || host == "localhost") host = {};
  number = number.substr(0, number.find('.'));
  return std::string(host) + ":" + std::string(number);
}

// Whether a notch app belongs to this desktop: the same user's app on another X display
// (a second session, a test server) is not running here, and must not be taken for the
// current app. An environment that cannot be read does not rule the process out.
bool runsOnThisDisplay(pid_t pid) {
  const char* ours = std::getenv("DISPLAY");
  if (ours == nullptr || *ours == '\0') return true;
  const auto theirs = displayOfProcess(pid);
  return !theirs || displayServer(*theirs) == displayServer(ours);
}

}  // namespace

ProcessWorkspace::ProcessWorkspace(MainLoop& loop, IconReader icons) : loop_(loop), icons_(std::move(icons)) {}

Task<std::vector<ApplicationHandle>> ProcessWorkspace::runningApplications() {
  auto scan = [memory = memory_] { return scanRemembering(*memory); };
  auto scanning = runOffMainThread<std::vector<ApplicationHandle>>(loop_, scan);
  co_return co_await std::move(scanning);
}

std::vector<ApplicationHandle> ProcessWorkspace::scanRunningApplications() {
  std::vector<ApplicationHandle> applications;
  forEachProcessOfUser([&](pid_t pid) {
    auto application = ProcessRunningApplication::forProcess(pid);
    if (application && (!application->bundlePath() || runsOnThisDisplay(pid)))
      applications.push_back(std::move(application));
  });
  return applications;
}

std::vector<ApplicationHandle> ProcessWorkspace::scanRememberingApplications() { return scanRemembering(*memory_); }

std::vector<ApplicationHandle> ProcessWorkspace::scanRemembering(Memory& memory) {
  const std::lock_guard lock(memory.mutex);
  std::vector<ApplicationHandle> applications;
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
      if (!runsOnThisDisplay(pid)) return;
      stillKnown.emplace(pid, KnownProcess{application->executablePath().value_or(""), application});
    }
    applications.push_back(std::move(application));
  });
  // Vanished processes are forgotten with the scan; a failed scan keeps what was known.
  memory.known = std::move(stillKnown);
  return applications;
}

ApplicationHandle ProcessWorkspace::launch(const std::string& bundlePath) {
  const auto bundle = Bundle::open(Url::fileUrl(bundlePath, true));
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
  auto outcome = std::make_shared<std::optional<Result<ApplicationHandle>>>();
  loop_.runDetached(
      [bundlePath, outcome] {
        outcome->emplace(resultOf<ApplicationHandle>([&bundlePath] { return launch(bundlePath); }));
      },
      [outcome, completion = std::move(completion)] {
        if (completion) completion(std::move(**outcome));
      });
}

std::optional<Bitmap> ProcessWorkspace::iconForBundle(const std::string& bundlePath, int pixelSize) const {
  std::string file;
  long long modified = 0;
  if (const auto bundle = Bundle::open(Url::fileUrl(bundlePath, true))) {
    struct stat info {};
    if (const auto icon = bundle->iconFileURL(); icon && ::stat(icon->path().c_str(), &info) == 0) {
      file = icon->path();
      modified = static_cast<long long>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    }
  }
  // Bundles without an icon file share the generic icon's entry.
  const auto key = std::make_tuple(file, modified, pixelSize);
  if (const auto kept = iconCache_.find(key); kept != iconCache_.end()) return kept->second;
  std::optional<Bitmap> icon;
  if (!file.empty() && icons_.imageFile) icon = icons_.imageFile(file, pixelSize);
  // An icon that does not decode is no icon: the generic one stands in, as for none.
  if (!icon && icons_.genericApplication) icon = icons_.genericApplication(pixelSize);
  // A bundle whose icon changes leaves its old entry behind; a few per app at most.
  if (iconCache_.size() > 64) iconCache_.clear();
  iconCache_[key] = icon;
  return icon;
}

bool ProcessWorkspace::prefersReducedMotion() const {
  const auto configHome = userConfigHome();
  return configHome && desktopPrefersReducedMotion(*configHome);
}

bool ProcessWorkspace::openUrl(const Url&) { return false; }

}  // namespace quillon
