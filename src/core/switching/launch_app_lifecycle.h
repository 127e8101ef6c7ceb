#pragma once

#include <cstdint>

#include "core/switching/launch_lifecycle_result.h"
#include "core/switching/launch_lifecycle_transition.h"
#include "core/switching/workspace_launch_lifecycle_backend.h"

namespace quillon {

// The switch as the coordinator sees it: the transition over the workspace, with the
// 10-second quit limit, its outcome repackaged as a LaunchLifecycleResult.
class LaunchAppLifecycle {
 public:
  static constexpr double terminationTimeout = 10.0;

  LaunchAppLifecycle(LaunchWorkspace& workspace, LaunchMainLoop& loop, LaunchOwnApplication own,
                     std::int32_t ownProcessIdentifier, double quitLimit = terminationTimeout);

  bool isSwitching() const { return transition_.isSwitching(); }

  // Quits `source` (null: nothing to quit) and opens the bundle at `url`. Throws
  // a lifecycle or open error (LaunchError) or CancellationError.
  Task<LaunchLifecycleResult> switchApplication(LaunchApplicationHandle source, Url url);

 private:
  LaunchLifecycleTransition<WorkspaceLaunchLifecycleBackend> transition_;
};

}  // namespace quillon
