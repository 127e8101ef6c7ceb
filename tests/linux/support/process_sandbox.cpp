#include "support/process_sandbox.h"

#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "linux/linux_pidfd.h"
#include "support/storage_test_files.h"
#include "support/test_app_bundle.h"

namespace quillon {

namespace {

std::string executableOf(pid_t pid) { return linkTarget("/proc/" + std::to_string(pid) + "/exe"); }

// The signal mask line "SigIgn:\t0000000000004000" as a number.
unsigned long long maskLine(const std::string& status, const std::string& name) {
  const auto at = status.find(name + ":");
  if (at == std::string::npos) return 0;
  return std::stoull(status.substr(at + name.size() + 1), nullptr, 16);
}

}  // namespace

std::string linkTarget(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::read_symlink(path, error).string();
}

std::string processStatus(pid_t pid) { return testing_files::readText("/proc/" + std::to_string(pid) + "/status"); }

bool processRuns(pid_t pid) {
  const std::string status = processStatus(pid);
  return !status.empty() && status.find("State:\tZ") == std::string::npos;
}

ProcessSandbox::ProcessSandbox() { ::prctl(PR_SET_CHILD_SUBREAPER, 1); }

// Everything still running from the sandbox, whoever started it: launched apps are
// re-parented to this process (the subreaper), so they are reaped here too.
ProcessSandbox::~ProcessSandbox() {
  const std::string root = std::filesystem::canonical(root_.path()).string() + "/";
  std::vector<UniqueFd> running;
  if (DIR* proc = ::opendir("/proc")) {
    while (const dirent* entry = ::readdir(proc)) {
      const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
      if (pid <= 0 || executableOf(pid).rfind(root, 0) != 0) continue;
      UniqueFd pidfd(pidfdOpen(pid));
      // Checked again through the pidfd's process, in case the identifier was reused.
      if (pidfd && executableOf(pid).rfind(root, 0) == 0) running.push_back(std::move(pidfd));
    }
    ::closedir(proc);
  }
  for (const auto& pidfd : running) pidfdSendSignal(pidfd.get(), SIGKILL);
  for (const auto& pidfd : running) {
    siginfo_t info{};
    if (::waitid(P_PIDFD, static_cast<id_t>(pidfd.get()), &info, WEXITED) != 0) {
      pollfd entry{pidfd.get(), POLLIN, 0};
      ::poll(&entry, 1, 5000);  // not our child: wait for its exit all the same
    }
  }
}

std::filesystem::path ProcessSandbox::makeApp(const std::string& name, const std::string& behaviour,
                                              const std::string& identifier) const {
  TestAppBundle bundle;
  bundle.identifier = identifier.empty() ? "com.example." + name : identifier;
  bundle.executable = name;
  bundle.writeExecutable = false;
  bundle.extraInfo["QuillonSampleBehavior"] = PropertyListValue{behaviour};
  const auto path = bundle.writeTo(root_.path() / (name + ".app"));
  const auto executable = path / "Contents" / "MacOS" / name;
  std::filesystem::copy_file(QUILLON_PROCESS_SAMPLE_APP, executable, std::filesystem::copy_options::overwrite_existing);
  std::filesystem::permissions(executable, std::filesystem::perms(0755));
  return path;
}

bool ProcessSandbox::waitFor(const std::function<bool()>& done, double timeoutSeconds) {
  Timer tick(loop, 0.002, true, [] {});
  return loop.runUntil(done, timeoutSeconds);
}

bool ProcessSandbox::waitUntilReady(pid_t pid, double timeoutSeconds) {
  constexpr unsigned long long term = 1ULL << (SIGTERM - 1);
  return waitFor(
      [pid] {
        const std::string status = processStatus(pid);
        return ((maskLine(status, "SigIgn") | maskLine(status, "SigCgt")) & term) != 0;
      },
      timeoutSeconds);
}

}  // namespace quillon
