#include "core/switching/launch_app_lifecycle.h"

#include <cerrno>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "core/async/clock.h"
#include "core/async/main_loop.h"
#include "core/bundle/bundle.h"
#include "core/bundle/launch_bundle_location.h"

namespace quillon {

namespace {

std::optional<Url> bundleURL(const RunningApplication& application) {
  const auto path = application.bundlePath();
  if (!path || path->empty() || path->front() != '/') return std::nullopt;
  return Url::fileUrl(*path, true);
}

std::optional<Url> executableURL(const RunningApplication& application) {
  const auto path = application.executablePath();
  if (!path || path->empty() || path->front() != '/') return std::nullopt;
  return Url::fileUrl(*path, false);
}

// Terminated, or a real identifier that signal 0 says no longer exists. Any other probe
// failure (EPERM) means the process is still there.
bool hasGone(const RunningApplication& application) {
  return application.isTerminated() || (application.processIdentifier() >= 1 && application.probe() == ESRCH);
}

}  // namespace

LaunchAppLifecycle::LaunchAppLifecycle(Workspace& workspace, MainLoop& loop, OwnApplication own,
                                       std::int32_t ownProcessIdentifier, double quitLimit)
    : workspace_(workspace),
      loop_(loop),
      own_(std::move(own)),
      ownProcessIdentifier_(ownProcessIdentifier),
      quitLimit_(quitLimit) {}

double LaunchAppLifecycle::uptime() const { return loop_.clock().uptime(); }

bool LaunchAppLifecycle::isOwnTarget(const ValidatedLaunchApplication& target) const {
  if (own_.bundleURL && canonicalLocation(*own_.bundleURL) == target.url) return true;
  if (own_.bundleIdentifier.empty()) return false;
  const auto bundle = Bundle::open(target.url);
  return bundle && bundle->bundleIdentifier() == own_.bundleIdentifier;
}

bool LaunchAppLifecycle::isOwnApplication(const RunningApplication& application) const {
  if (application.processIdentifier() == ownProcessIdentifier_) return true;
  if (!own_.bundleIdentifier.empty() && application.bundleIdentifier() == own_.bundleIdentifier) return true;
  const auto bundle = bundleURL(application);
  return bundle && own_.bundleURL && canonicalLocation(*bundle) == canonicalLocation(*own_.bundleURL);
}

Task<ApplicationHandle> LaunchAppLifecycle::open(ValidatedLaunchApplication target) {
  co_await checkCancellation();
  Workspace* workspace = &workspace_;
  const std::string path = target.url.path();
  // Named rather than written inside the co_await: GCC 12 destroys a lambda temporary
  // of a co_await operand twice.
  std::function<void(Completion<ApplicationHandle>)> start = [workspace,
                                                              path](const Completion<ApplicationHandle>& done) {
    workspace->openApplication(path, [done](Result<ApplicationHandle> result) { done(std::move(result)); });
  };
  auto opening = awaitCallback<ApplicationHandle>(loop_, std::move(start));
  co_return co_await opening;
}

Task<LaunchLifecycleResult> LaunchAppLifecycle::switchApplication(ApplicationHandle source, Url url) {
  if (*switching_) throw LaunchLifecycleError::alreadySwitching;
  *switching_ = true;
  const SwitchingGuard guard{switching_};
  co_await checkCancellation();
  const double start = uptime();
  const auto target = ValidatedLaunchApplication::validate(url);
  if (isOwnTarget(target)) throw LaunchLifecycleError::ownApplication;

  double terminationWait = 0;
  if (source && !hasGone(*source)) {
    if (isOwnApplication(*source)) throw LaunchLifecycleError::ownApplication;
    const auto bundle = bundleURL(*source);
    if (!bundle) throw LaunchLifecycleError::sourceIdentityUnavailable;
    if (canonicalLocation(*bundle) == target.url) {
      // The same bundle: already selected, unless it runs another executable, which
      // makes the source's identity doubtful rather than a reason to relaunch.
      const auto executable = executableURL(*source);
      if (!executable || canonicalLocation(*executable) != target.executableURL) {
        throw LaunchLifecycleError::sourceIdentityUnavailable;
      }
      co_return LaunchLifecycleResult{source, {0, 0, uptime() - start}, true};
    }

    co_await checkCancellation();
    auto quitting = quit(source);
    terminationWait = co_await std::move(quitting);
  }

  co_await checkCancellation();
  // The bundle may have been replaced or moved while the old app quit.
  const auto again = ValidatedLaunchApplication::validate(url);
  if (again.url != target.url || again.executableURL != target.executableURL) {
    throw LaunchLifecycleError::invalidApplicationURL;
  }

  const double openTime = uptime();
  auto opening = open(target);
  ApplicationHandle launched = co_await std::move(opening);
  const auto launchedBundle = launched ? bundleURL(*launched) : std::nullopt;
  const auto launchedExecutable = launched ? executableURL(*launched) : std::nullopt;
  if (!launchedBundle || !launchedExecutable || canonicalLocation(*launchedBundle) != target.url ||
      canonicalLocation(*launchedExecutable) != target.executableURL) {
    throw LaunchLifecycleError::returnedApplicationMismatch;
  }
  const double end = uptime();
  co_return LaunchLifecycleResult{std::move(launched), {terminationWait, end - openTime, end - start}, false};
}

Task<double> LaunchAppLifecycle::quit(ApplicationHandle application) {
  // The first poll comes right after the request, before any app could have quit, so
  // without this every switch would wait a whole poll interval. The poll stays for
  // processes the platform cannot watch, and for the limit.
  const Wakeup exited;
  const auto exitObserver = application->observeTermination(loop_, [exited] { exited.signal(); });
  const double quitTime = uptime();
  if (!application->requestTermination()) throw LaunchLifecycleError::terminationRefused;
  // Exit is tested before the limit, so an app that is gone by the first poll after
  // the limit still counts.
  while (true) {
    if (hasGone(*application)) co_return uptime() - quitTime;
    co_await checkCancellation();
    if (uptime() - quitTime >= quitLimit_) throw LaunchLifecycleError::terminationTimedOut;
    co_await sleepFor(loop_, pollInterval, exited);
  }
}

Task<void> LaunchAppLifecycle::quitApplication(ApplicationHandle application) {
  if (!application || hasGone(*application)) co_return;
  if (isOwnApplication(*application)) throw LaunchLifecycleError::ownApplication;
  auto quitting = quit(std::move(application));
  co_await std::move(quitting);
}

}  // namespace quillon
