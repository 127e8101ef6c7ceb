#pragma once

#include <cerrno>
#include <memory>
#include <optional>
#include <utility>

#include "core/async/launch_main_loop.h"
#include "core/bundle/launch_bundle_location.h"
#include "core/bundle/validated_launch_application.h"
#include "core/async/launch_clock.h"
#include "core/async/launch_task.h"
#include "core/switching/launch_lifecycle_backend.h"
#include "core/bundle/launch_lifecycle_error.h"
#include "core/switching/launch_lifecycle_timings.h"

namespace quillon {

// Replaces one running notch app with another: asks the source to quit normally,
// waits until it has gone (polling every 100 ms, at most `terminationTimeout` seconds
// from the quit request; an exit the platform reports ends the wait at once), validates the target bundle again, opens it and checks that
// the launched process is the one at that location. One transition at a time per
// object; every step runs on the main loop and time comes from the loop's clock.
template <LaunchLifecycleBackend Backend>
class LaunchLifecycleTransition {
 public:
  using Application = typename Backend::Application;
  static constexpr double pollInterval = 0.1;

  struct Outcome {
    Application application;
    LaunchLifecycleTimings timings;
    bool wasAlreadySelected = false;
  };

  LaunchLifecycleTransition(Backend backend, LaunchMainLoop& loop, double terminationTimeout = 10.0)
      : backend_(std::move(backend)), loop_(loop), terminationTimeout_(terminationTimeout) {}

  bool isSwitching() const { return *switching_; }
  double terminationTimeout() const { return terminationTimeout_; }
  Backend& backend() { return backend_; }

  // Throws LaunchLifecycleError, CancellationError or the backend's open error.
  Task<Outcome> perform(std::optional<Application> source, Url url);
  // The quit of a switch on its own: asks `application` to quit normally and waits until
  // it has gone; returns the seconds waited. Nothing is ever forced. Throws
  // LaunchLifecycleError (terminationRefused, terminationTimedOut) or CancellationError.
  Task<double> quit(Application application);

 private:
  // Clears the flag on every exit, including a task dropped while suspended; it holds
  // the flag itself, so it never writes into a transition that is gone.
  struct SwitchingGuard {
    std::shared_ptr<bool> flag;
    ~SwitchingGuard() { *flag = false; }
  };

  double uptime() const { return loop_.clock().uptime(); }
  // Terminated, or a real identifier that signal 0 says no longer exists. Any other
  // probe failure (EPERM) means the process is still there.
  bool hasGone(const Application& application) {
    return backend_.isTerminated(application) ||
           (backend_.processIdentifier(application) >= 1 && backend_.probe(application) == ESRCH);
  }

  Backend backend_;
  LaunchMainLoop& loop_;
  double terminationTimeout_;
  std::shared_ptr<bool> switching_ = std::make_shared<bool>(false);
};

template <LaunchLifecycleBackend Backend>
Task<typename LaunchLifecycleTransition<Backend>::Outcome> LaunchLifecycleTransition<Backend>::perform(
    std::optional<Application> source, Url url) {
  if (*switching_) throw LaunchLifecycleError::alreadySwitching;
  *switching_ = true;
  const SwitchingGuard guard{switching_};
  co_await checkCancellation();
  const double start = uptime();
  const auto target = ValidatedLaunchApplication::validate(url);
  if (backend_.isOwnTarget(target)) throw LaunchLifecycleError::ownApplication;

  double terminationWait = 0;
  if (source && !hasGone(*source)) {
    if (backend_.isOwnApplication(*source)) throw LaunchLifecycleError::ownApplication;
    const auto bundle = backend_.bundleURL(*source);
    if (!bundle) throw LaunchLifecycleError::sourceIdentityUnavailable;
    if (canonicalLocation(*bundle) == target.url) {
      // The same bundle: already selected, unless it runs another executable, which
      // makes the source's identity doubtful rather than a reason to relaunch.
      const auto executable = backend_.executableURL(*source);
      if (!executable || canonicalLocation(*executable) != target.executableURL) {
        throw LaunchLifecycleError::sourceIdentityUnavailable;
      }
      co_return Outcome{*source, {0, 0, uptime() - start}, true};
    }

    co_await checkCancellation();
    terminationWait = co_await quit(*source);
  }

  co_await checkCancellation();
  // The bundle may have been replaced or moved while the old app quit.
  const auto again = ValidatedLaunchApplication::validate(url);
  if (again.url != target.url || again.executableURL != target.executableURL) {
    throw LaunchLifecycleError::invalidApplicationURL;
  }

  const double openTime = uptime();
  auto opening = backend_.open(target);
  Application launched = co_await std::move(opening);
  const auto launchedBundle = backend_.bundleURL(launched);
  const auto launchedExecutable = backend_.executableURL(launched);
  if (!launchedBundle || !launchedExecutable || canonicalLocation(*launchedBundle) != target.url ||
      canonicalLocation(*launchedExecutable) != target.executableURL) {
    throw LaunchLifecycleError::returnedApplicationMismatch;
  }
  const double end = uptime();
  co_return Outcome{std::move(launched), {terminationWait, end - openTime, end - start}, false};
}

template <LaunchLifecycleBackend Backend>
Task<double> LaunchLifecycleTransition<Backend>::quit(Application application) {
  // The first poll comes right after the request, before any app could have quit, so
  // without this every switch would wait a whole poll interval. The poll stays for
  // processes the platform cannot watch, and for the limit.
  const LaunchWakeup exited;
  const auto exitObserver = backend_.observeTermination(application, [exited] { exited.signal(); });
  const double quitTime = uptime();
  if (!backend_.requestTermination(application)) throw LaunchLifecycleError::terminationRefused;
  // Exit is tested before the limit, so an app that is gone by the first poll after
  // the limit still counts.
  while (true) {
    if (hasGone(application)) co_return uptime() - quitTime;
    co_await checkCancellation();
    if (uptime() - quitTime >= terminationTimeout_) throw LaunchLifecycleError::terminationTimedOut;
    co_await sleepFor(loop_, pollInterval, exited);
  }
}

}  // namespace quillon
