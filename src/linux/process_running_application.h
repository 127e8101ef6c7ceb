#pragma once

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>

#include "core/platform/workspace.h"
#include "core/support/unique_fd.h"

namespace quillon {

// A running process held through a pidfd. Process identifiers are reused; the pidfd is
// not, so a termination request or a probe can never reach a process that merely
// inherited the identifier after ours exited.
class ProcessRunningApplication final : public RunningApplication {
 public:
  // Takes the process `pidfd` refers to. Its identity comes from /proc; when the
  // process has already exited (so /proc no longer tells), from `launchedExecutable`,
  // the file that was started, if given. None when the identity cannot be read.
  static std::shared_ptr<ProcessRunningApplication> adopt(pid_t pid, UniqueFd pidfd,
                                                          const std::optional<std::string>& launchedExecutable = {});
  // Opens a pidfd for `pid` first; none for a process that is gone, a zombie, a kernel
  // thread or one whose executable cannot be read. Throws LaunchRunningApplicationsError
  // when descriptors ran out, since the process would then be missed for our lack, not
  // its own.
  static std::shared_ptr<ProcessRunningApplication> forProcess(pid_t pid);

  // RunningApplication:
  std::int32_t processIdentifier() const override { return pid_; }
  std::optional<std::string> bundlePath() const override { return bundlePath_; }
  std::optional<std::string> executablePath() const override { return executablePath_; }
  std::optional<std::string> bundleIdentifier() const override { return bundleIdentifier_; }
  bool isTerminated() const override;
  bool requestTermination() override;
  int probe() const override;
  Subscription observeTermination(MainLoop& loop, std::function<void()> exited) override;

  int pidfd() const { return pidfd_.get(); }

 private:
  ProcessRunningApplication(pid_t pid, UniqueFd pidfd, std::string executablePath);

  pid_t pid_;
  UniqueFd pidfd_;
  std::optional<std::string> executablePath_;
  std::optional<std::string> bundlePath_;
  std::optional<std::string> bundleIdentifier_;
};

}  // namespace quillon
