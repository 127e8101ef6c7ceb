#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/support/error.h"

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
  static Error ambiguousWindows(std::vector<std::uint32_t> ids);
  static Error of(Code code);
};

constexpr ErrorDomain launchErrorDomain(SurfaceCaptureError::Code) { return ErrorDomain::surfaceCapture; }
std::string launchErrorText(SurfaceCaptureError::Code code, const Error& error);

inline Error SurfaceCaptureError::ambiguousWindows(std::vector<std::uint32_t> ids) {
  return Error(Code::ambiguousWindows, 0, std::move(ids));
}
inline Error SurfaceCaptureError::of(Code code) { return Error(code); }

}  // namespace quillon
