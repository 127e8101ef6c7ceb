#pragma once

#include <string>

#include "core/support/launch_error.h"

namespace quillon {

// Why a quit-open-verify transition between notch apps failed: the codes of the
// lifecycle domain, and the errors made of them as the transition throws them.
struct LaunchLifecycleError {
  enum class Code {
    invalidApplicationURL,        // not a local, openable application bundle
    invalidExecutable,            // its executable is missing, outside the bundle, or not runnable
    ownApplication,               // the bundle is this program
    sourceIdentityUnavailable,    // the app to quit could not be identified
    alreadySwitching,             // another transition is in flight
    terminationRefused,           // the app to quit refused the normal quit request
    terminationTimedOut,          // the app to quit was still running when the wait ended
    returnedApplicationMismatch,  // the launched process is not the registered bundle
  };
  static const LaunchError invalidApplicationURL;
  static const LaunchError invalidExecutable;
  static const LaunchError ownApplication;
  static const LaunchError sourceIdentityUnavailable;
  static const LaunchError alreadySwitching;
  static const LaunchError terminationRefused;
  static const LaunchError terminationTimedOut;
  static const LaunchError returnedApplicationMismatch;
};

constexpr LaunchErrorDomain launchErrorDomain(LaunchLifecycleError::Code) { return LaunchErrorDomain::lifecycle; }
// What a failed switch says about the code, in the user's language.
std::string launchErrorText(LaunchLifecycleError::Code code, const LaunchError& error);

inline const LaunchError LaunchLifecycleError::invalidApplicationURL{Code::invalidApplicationURL};
inline const LaunchError LaunchLifecycleError::invalidExecutable{Code::invalidExecutable};
inline const LaunchError LaunchLifecycleError::ownApplication{Code::ownApplication};
inline const LaunchError LaunchLifecycleError::sourceIdentityUnavailable{Code::sourceIdentityUnavailable};
inline const LaunchError LaunchLifecycleError::alreadySwitching{Code::alreadySwitching};
inline const LaunchError LaunchLifecycleError::terminationRefused{Code::terminationRefused};
inline const LaunchError LaunchLifecycleError::terminationTimedOut{Code::terminationTimedOut};
inline const LaunchError LaunchLifecycleError::returnedApplicationMismatch{Code::returnedApplicationMismatch};

}  // namespace quillon
