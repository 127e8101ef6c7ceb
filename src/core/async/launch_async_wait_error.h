#pragma once

#include <string>

#include "core/support/launch_error.h"

namespace quillon {

// Why a bounded wait gave up: the codes of the wait domain, and the two errors as
// `LaunchAsyncGate::run` throws them. Neither code carries a message of its own; the
// text is the platform's generic description of an error without one.
struct LaunchAsyncWaitError {
  enum class Code {
    timedOut,        // the time limit passed before the operation finished
    alreadyRunning,  // an operation started through the gate has not finished yet
  };
  static const LaunchError timedOut;
  static const LaunchError alreadyRunning;
};

constexpr LaunchErrorDomain launchErrorDomain(LaunchAsyncWaitError::Code) { return LaunchErrorDomain::asyncWait; }
// The generic "could not be completed" text, naming the type and the case's position.
std::string launchErrorText(LaunchAsyncWaitError::Code code, const LaunchError& error);

inline const LaunchError LaunchAsyncWaitError::timedOut{LaunchAsyncWaitError::Code::timedOut};
inline const LaunchError LaunchAsyncWaitError::alreadyRunning{LaunchAsyncWaitError::Code::alreadyRunning};

}  // namespace quillon
