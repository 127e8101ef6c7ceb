#pragma once

#include "core/platform/workspace.h"
#include "core/switching/launch_lifecycle_timings.h"

namespace quillon {

// The outcome of a successful switch.
struct LaunchLifecycleResult {
  ApplicationHandle application;  // the running application now selected
  LaunchLifecycleTimings timings;
  // The requested app already was the running source: nothing was quit or opened.
  bool wasAlreadySelected = false;
};

}  // namespace quillon
