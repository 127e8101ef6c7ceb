#pragma once

#include <cstdint>
#include <memory>

#include "core/async/task.h"
#include "core/bundle/launch_lifecycle_error.h"
#include "core/bundle/own_application.h"
#include "core/bundle/validated_launch_application.h"
#include "core/platform/workspace.h"
#include "core/switching/launch_lifecycle_result.h"

namespace quillon {

class MainLoop;

// Replaces one running notch app with another: asks the source to quit normally, waits
// until it has gone (polling every 100 ms, at most `terminationTimeout` seconds from the
// quit request; an exit the workspace reports ends the wait at once), validates the
// target bundle again, opens it through the workspace and checks that the launched
// process is the one at that location. One switch at a time per object; every step
// runs on the main loop and time comes from the loop's clock. "This program" is the
// given own application and process, which is never quit or opened.
class LaunchAppLifecycle {
 public:
  static constexpr double terminationTimeout = 10.0;
  static constexpr double pollInterval = 0.1;

  LaunchAppLifecycle(Workspace& workspace, MainLoop& loop, OwnApplication own, std::int32_t ownProcessIdentifier,
                     double quitLimit = terminationTimeout);

  bool isSwitching() const { return *switching_; }

  // Quits `source` (null: nothing to quit) and opens the bundle at `url`. Throws
  // a lifecycle or open error (Error) or CancellationError.
  Task<LaunchLifecycleResult> switchApplication(ApplicationHandle source, Url url);
  // Quits `application` as a switch quits its source: normally, within the same limit,
  // never forced. Throws a lifecycle error (Error) or CancellationError.
  Task<void> quitApplication(ApplicationHandle application);

  // The target is our own bundle, or a bundle that claims our identifier.
  bool isOwnTarget(const ValidatedLaunchApplication& target) const;
  // Our process, an application claiming our identifier, or one running from our bundle.
  bool isOwnApplication(const RunningApplication& application) const;

 private:
  // Clears the flag on every exit, including a task dropped while suspended; it holds
  // the flag itself, so it never writes into a lifecycle that is gone.
  struct SwitchingGuard {
    std::shared_ptr<bool> flag;
    ~SwitchingGuard() { *flag = false; }
  };

  double uptime() const;
  Task<ApplicationHandle> open(ValidatedLaunchApplication target);  // by value: the task is lazy
  // Asks `application` to quit normally and waits until it has gone; the seconds waited.
  Task<double> quit(ApplicationHandle application);

  Workspace& workspace_;
  MainLoop& loop_;
  OwnApplication own_;
  std::int32_t ownProcessIdentifier_;
  double quitLimit_;
  std::shared_ptr<bool> switching_ = std::make_shared<bool>(false);
};

}  // namespace quillon
