#pragma once

#include <cerrno>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/bundle/validated_launch_application.h"
#include "core/async/launch_task.h"
#include "manual_main_loop.h"

namespace quillon {

// A scripted process for the fake backend. Time is the manual clock's: after a quit
// request it reports terminated once `exitsAfter` seconds have passed.
struct FakeProcess {
  std::int32_t pid = 4242;
  std::optional<Url> bundleURL;
  std::optional<Url> executableURL;
  bool terminated = false;
  int probeError = 0;  // what signal 0 reports while the process is not terminated
  bool acceptsTermination = true;
  std::optional<double> exitsAfter = 0.0;  // none: never exits
  std::optional<double> quitRequestedAt;
  int terminationRequests = 0;
  int probes = 0;

  static std::shared_ptr<FakeProcess> at(const Url& bundle, const Url& executable, std::int32_t pid = 4242) {
    auto process = std::make_shared<FakeProcess>();
    process->bundleURL = bundle;
    process->executableURL = executable;
    process->pid = pid;
    return process;
  }
};

// A lifecycle backend answering from a script shared by its copies; it records what
// it opened.
class FakeLifecycleBackend {
 public:
  using Application = std::shared_ptr<FakeProcess>;

  struct Script {
    std::function<bool(const ValidatedLaunchApplication&)> isOwnTarget;
    std::function<bool(const Application&)> isOwnApplication;
    // How long open takes on the manual loop, and what it returns: by default a new
    // running process at the target's location. An error is thrown instead if set.
    double openDuration = 0.25;
    std::function<Application(const ValidatedLaunchApplication&)> launch;
    std::exception_ptr openError;
    // Runs inside the quit request, while the source is quitting.
    std::function<void()> onTerminationRequest;
    // Moves the clock during the own-application check, as if it were slow.
    double ownApplicationCheckDuration = 0;

    std::vector<ValidatedLaunchApplication> opened;
  };

  FakeLifecycleBackend(ManualMainLoop& loop, ManualClock& clock)
      : loop_(&loop), clock_(&clock), script_(std::make_shared<Script>()) {}

  Script& script() { return *script_; }

  bool isOwnTarget(const ValidatedLaunchApplication& target) {
    return script_->isOwnTarget && script_->isOwnTarget(target);
  }
  bool isOwnApplication(const Application& application) {
    clock_->advance(script_->ownApplicationCheckDuration);
    return script_->isOwnApplication && script_->isOwnApplication(application);
  }
  Task<Application> open(ValidatedLaunchApplication target) {  // by value: the task is lazy
    script_->opened.push_back(target);
    auto script = script_;
    co_await sleepFor(*loop_, script->openDuration);
    if (script->openError) std::rethrow_exception(script->openError);
    if (script->launch) co_return script->launch(target);
    co_return FakeProcess::at(target.url, target.executableURL, 5151);
  }

  bool isTerminated(const Application& application) const {
    if (!application->terminated && application->quitRequestedAt && application->exitsAfter &&
        clock_->uptime() - *application->quitRequestedAt >= *application->exitsAfter) {
      application->terminated = true;
    }
    return application->terminated;
  }
  std::int32_t processIdentifier(const Application& application) const { return application->pid; }
  std::optional<Url> bundleURL(const Application& application) const { return application->bundleURL; }
  std::optional<Url> executableURL(const Application& application) const { return application->executableURL; }
  bool requestTermination(const Application& application) {
    ++application->terminationRequests;
    if (!application->acceptsTermination) return false;
    if (!application->quitRequestedAt) application->quitRequestedAt = clock_->uptime();
    if (script_->onTerminationRequest) script_->onTerminationRequest();
    return true;
  }
  int probe(const Application& application) const {
    ++application->probes;
    return isTerminated(application) ? ESRCH : application->probeError;
  }

 private:
  ManualMainLoop* loop_;
  ManualClock* clock_;
  std::shared_ptr<Script> script_;
};

}  // namespace quillon
