#pragma once

namespace quillon {

// How long the phases of one transition took, in seconds of uptime.
struct LaunchLifecycleTimings {
  double terminationWait = 0;  // quit request to observed exit; 0 with nothing to quit
  double openCompletion = 0;   // open request to its completion
  double total = 0;            // the whole transition

  friend bool operator==(const LaunchLifecycleTimings&, const LaunchLifecycleTimings&) = default;
};

}  // namespace quillon
