#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace quillon {

// Every failure of window probing and surface capture. The descriptions are fixed
// English texts: they go to the log and to the image guidance, which chooses its own
// user-facing words from the code.
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

  Code code = Code::imageCaptureFailed;
  // Only `ambiguousWindows` carries window IDs; the factories keep it empty otherwise,
  // so equality compares the list exactly where it matters.
  std::vector<std::uint32_t> windowIDs;

  static SurfaceCaptureError ambiguousWindows(std::vector<std::uint32_t> ids) {
    return {Code::ambiguousWindows, std::move(ids)};
  }
  static SurfaceCaptureError of(Code code) { return {code, {}}; }

  std::string description() const;

  friend bool operator==(const SurfaceCaptureError&, const SurfaceCaptureError&) = default;
};

}  // namespace quillon
