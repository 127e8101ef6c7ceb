#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/support/launch_error.h"

namespace quillon {

// The codes of every failure of window probing and surface capture, and the errors made
// of them. The texts are fixed English: they go to the log and to the image guidance,
// which chooses its own user-facing words from the code.
struct SurfaceCaptureError {
  enum class Code {
    ambiguousWindows,  // carries the IDs of the matching windows
    permissionMissing,
    targetUnavailable,
    noCandidateWindow,
    invalidGeometry,
    invalidPixelBuffer,
    emptyAlpha,
    imageConversionFailed,
    ambiguousSurface,
    staleCapture,
    captureExcluded,
    imageCaptureFailed,
    captureTimedOut,
  };

  // Only `ambiguousWindows` carries window IDs, so equality compares the list exactly
  // where it matters.
  static LaunchError ambiguousWindows(std::vector<std::uint32_t> ids);
  static LaunchError of(Code code);
};

constexpr LaunchErrorDomain launchErrorDomain(SurfaceCaptureError::Code) { return LaunchErrorDomain::surfaceCapture; }
std::string launchErrorText(SurfaceCaptureError::Code code, const LaunchError& error);

inline LaunchError SurfaceCaptureError::ambiguousWindows(std::vector<std::uint32_t> ids) {
  return LaunchError(Code::ambiguousWindows, 0, std::move(ids));
}
inline LaunchError SurfaceCaptureError::of(Code code) { return LaunchError(code); }

}  // namespace quillon
