#include "core/capture/launch_capture_issue.h"

#include "core/capture/surface_capture_error.h"

namespace quillon {

std::optional<LaunchCaptureIssue> captureIssue(const Error& error) {
  using Code = SurfaceCaptureError::Code;
  const auto code = error.code<Code>();
  if (!code) return std::nullopt;
  switch (*code) {
    case Code::captureExcluded: return LaunchCaptureIssue::applicationExcluded;
    case Code::permissionMissing: return LaunchCaptureIssue::screenPermissionMissing;
    case Code::imageCaptureFailed:
    case Code::captureTimedOut: return LaunchCaptureIssue::unavailable;
    case Code::ambiguousWindows:
    case Code::targetUnavailable:
    case Code::noCandidateWindow:
    case Code::invalidGeometry:
    case Code::invalidPixelBuffer:
    case Code::emptyAlpha:
    case Code::imageConversionFailed:
    case Code::ambiguousSurface:
    case Code::staleCapture: return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace quillon
