#pragma once

#include <string>

#include "core/support/error.h"

namespace quillon {

// Why a bounded wait gave up: the codes of the wait domain, and the two errors as
// `LaunchAsyncGate::run` throws them. Neither code carries a message of its own; the
// text is the platform's generic description of an error without one.
struct LaunchAsyncWaitError {
  enum class Code {
    timedOut,        // the time limit passed before the operation finished
    alreadyRunning,  // an operation started through the gate has not finished yet
  };
  static const Error timedOut;
  static const Error alreadyRunning;
};

constexpr ErrorDomain launchErrorDomain(LaunchAsyncWaitError::Code) { return ErrorDomain::asyncWait; }
// The generic "could not be completed" text, naming the type and the case's position.
std::string launchErrorText(LaunchAsyncWaitError::Code code, const Error& error);

inline const Error LaunchAsyncWaitError::timedOut{LaunchAsyncWaitError::Code::timedOut};
inline const Error LaunchAsyncWaitError::alreadyRunning{LaunchAsyncWaitError::Code::alreadyRunning};

}  // namespace quillon
