#pragma once

#include <optional>

#include "core/support/error.h"

namespace quillon {

// Why the last capture of an app gave no image, as far as the user can act on it.
enum class LaunchCaptureIssue {
  applicationExcluded,      // the app keeps its window out of screen capture
  screenPermissionMissing,  // the program may not capture the screen
  unavailable,              // the system did not deliver an image, cause unknown
};

// The issue an error stands for; none for errors that say nothing about images (a
// vanished app, a moved window, any error that is not a capture error).
std::optional<LaunchCaptureIssue> captureIssue(const Error& error);

}  // namespace quillon
