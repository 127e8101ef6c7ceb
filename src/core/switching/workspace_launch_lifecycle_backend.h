#pragma once

#include <cstdint>
#include <optional>

#include "core/bundle/launch_own_application.h"
#include "core/platform/launch_workspace.h"
#include "core/bundle/validated_launch_application.h"
#include "core/async/launch_task.h"

namespace quillon {

class LaunchMainLoop;

// The lifecycle backend over the workspace port: running applications are the
// workspace's handles, and "this program" is the given own application and process.
class WorkspaceLaunchLifecycleBackend {
 public:
  using Application = LaunchApplicationHandle;

  WorkspaceLaunchLifecycleBackend(LaunchWorkspace& workspace, LaunchMainLoop& loop, LaunchOwnApplication own,
                                  std::int32_t ownProcessIdentifier);

  // The target is our own bundle, or a bundle that claims our identifier.
  bool isOwnTarget(const ValidatedLaunchApplication& target) const;
  // Our process, an application claiming our identifier, or one running from our bundle.
  bool isOwnApplication(const Application& application) const;
  // Opens the target through the workspace; rethrows the workspace's error unchanged.
  Task<Application> open(ValidatedLaunchApplication target);  // by value: the task is lazy

  bool isTerminated(const Application& application) const { return application->isTerminated(); }
  std::int32_t processIdentifier(const Application& application) const { return application->processIdentifier(); }
  std::optional<Url> bundleURL(const Application& application) const;
  std::optional<Url> executableURL(const Application& application) const;
  bool requestTermination(const Application& application) const { return application->requestTermination(); }
  int probe(const Application& application) const { return application->probe(); }
  LaunchSubscription observeTermination(const Application& application, std::function<void()> exited) const {
    return application->observeTermination(*loop_, std::move(exited));
  }

 private:
  LaunchWorkspace* workspace_;
  LaunchMainLoop* loop_;
  LaunchOwnApplication own_;
  std::int32_t ownProcessIdentifier_;
};

}  // namespace quillon
