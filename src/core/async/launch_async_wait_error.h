#pragma once

#include <string>

namespace quillon {

// Why a bounded wait gave up. Thrown by value from `LaunchAsyncGate::run`. Neither case
// carries a message of its own: a caller that must show one uses the generic
// description below.
enum class LaunchAsyncWaitError {
  timedOut,        // the time limit passed before the operation finished
  alreadyRunning,  // an operation started through the gate has not finished yet
};

// The generic "could not be completed" text, naming the type and the case's position
// the way the platform describes an error without a message of its own.
std::string genericDescription(LaunchAsyncWaitError error);

}  // namespace quillon
