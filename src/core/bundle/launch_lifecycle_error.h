#pragma once

#include <string>

#include "core/support/error.h"

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
  static const Error invalidApplicationURL;
  static const Error invalidExecutable;
  static const Error ownApplication;
  static const Error sourceIdentityUnavailable;
  static const Error alreadySwitching;
  static const Error terminationRefused;
  static const Error terminationTimedOut;
  static const Error returnedApplicationMismatch;
};

constexpr ErrorDomain launchErrorDomain(LaunchLifecycleError::Code) { return ErrorDomain::lifecycle; }
// What a failed switch says about the code, in the user's language.
std::string launchErrorText(LaunchLifecycleError::Code code, const Error& error);

inline const Error LaunchLifecycleError::invalidApplicationURL{Code::invalidApplicationURL};
inline const Error LaunchLifecycleError::invalidExecutable{Code::invalidExecutable};
inline const Error LaunchLifecycleError::ownApplication{Code::ownApplication};
inline const Error LaunchLifecycleError::sourceIdentityUnavailable{Code::sourceIdentityUnavailable};
inline const Error LaunchLifecycleError::alreadySwitching{Code::alreadySwitching};
inline const Error LaunchLifecycleError::terminationRefused{Code::terminationRefused};
inline const Error LaunchLifecycleError::terminationTimedOut{Code::terminationTimedOut};
inline const Error LaunchLifecycleError::returnedApplicationMismatch{Code::returnedApplicationMismatch};

}  // namespace quillon
