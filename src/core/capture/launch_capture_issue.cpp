#include "core/capture/launch_capture_issue.h"

#include "core/capture/surface_capture_error.h"

namespace quillon {

std::optional<LaunchCaptureIssue> captureIssue(const SurfaceCaptureError& error) {
  using Code = SurfaceCaptureError::Code;
  switch (error.code) {
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

std::optional<LaunchCaptureIssue> captureIssue(const std::exception_ptr& error) {
  if (!error) return std::nullopt;
  try {
    std::rethrow_exception(error);
  } catch (const SurfaceCaptureError& captureError) {
    return captureIssue(captureError);
  } catch (...) {
    return std::nullopt;
  }
}

}  // namespace quillon
