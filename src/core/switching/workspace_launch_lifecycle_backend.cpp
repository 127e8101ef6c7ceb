#include "core/switching/workspace_launch_lifecycle_backend.h"

#include "core/bundle/launch_bundle.h"
#include "core/switching/launch_lifecycle_backend.h"
#include "core/bundle/launch_bundle_location.h"

namespace quillon {

static_assert(LaunchLifecycleBackend<WorkspaceLaunchLifecycleBackend>);

WorkspaceLaunchLifecycleBackend::WorkspaceLaunchLifecycleBackend(LaunchWorkspace& workspace, LaunchMainLoop& loop,
                                                                 LaunchOwnApplication own,
                                                                 std::int32_t ownProcessIdentifier)
    : workspace_(&workspace), loop_(&loop), own_(std::move(own)), ownProcessIdentifier_(ownProcessIdentifier) {}

bool WorkspaceLaunchLifecycleBackend::isOwnTarget(const ValidatedLaunchApplication& target) const {
  if (own_.bundleURL && canonicalLocation(*own_.bundleURL) == target.url) return true;
  if (own_.bundleIdentifier.empty()) return false;
  const auto bundle = LaunchBundle::open(target.url);
  return bundle && bundle->bundleIdentifier() == own_.bundleIdentifier;
}

bool WorkspaceLaunchLifecycleBackend::isOwnApplication(const Application& application) const {
  if (application->processIdentifier() == ownProcessIdentifier_) return true;
  if (!own_.bundleIdentifier.empty() && application->bundleIdentifier() == own_.bundleIdentifier) return true;
  const auto bundle = bundleURL(application);
  return bundle && own_.bundleURL && canonicalLocation(*bundle) == canonicalLocation(*own_.bundleURL);
}

Task<WorkspaceLaunchLifecycleBackend::Application> WorkspaceLaunchLifecycleBackend::open(
    ValidatedLaunchApplication target) {
  co_await checkCancellation();
  LaunchWorkspace* workspace = workspace_;
  const std::string path = target.url.path();
  // Named rather than written inside the co_await: GCC 12 destroys a lambda temporary
  // of a co_await operand twice.
  std::function<void(LaunchCompletion<Application>)> start = [workspace, path](LaunchCompletion<Application> done) {
    workspace->openApplication(path, [done](LaunchResult<Application> result) { done(std::move(result)); });
  };
  auto opening = awaitCallback<Application>(*loop_, std::move(start));
  co_return co_await opening;
}

std::optional<Url> WorkspaceLaunchLifecycleBackend::bundleURL(const Application& application) const {
  const auto path = application->bundlePath();
  if (!path || path->empty() || path->front() != '/') return std::nullopt;
  return Url::fileUrl(*path, true);
}

std::optional<Url> WorkspaceLaunchLifecycleBackend::executableURL(const Application& application) const {
  const auto path = application->executablePath();
  if (!path || path->empty() || path->front() != '/') return std::nullopt;
  return Url::fileUrl(*path, false);
}

}  // namespace quillon
