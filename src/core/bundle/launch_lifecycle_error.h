#pragma once

namespace quillon {

// Why a quit-open-verify transition between notch apps failed. The words shown for
// each case belong to the switch coordinator, which is the one place that maps them.
enum class LaunchLifecycleError {
  invalidApplicationURL,        // not a local, openable application bundle
  invalidExecutable,            // its executable is missing, outside the bundle, or not runnable
  ownApplication,               // the bundle is this program
  sourceIdentityUnavailable,    // the app to quit could not be identified
  alreadySwitching,             // another transition is in flight
  terminationRefused,           // the app to quit refused the normal quit request
  terminationTimedOut,          // the app to quit was still running when the wait ended
  returnedApplicationMismatch,  // the launched process is not the registered bundle
};

}  // namespace quillon
