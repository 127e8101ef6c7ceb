#include "core/capture/surface_capture_error.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

namespace quillon {

std::string launchErrorText(SurfaceCaptureError::Code code, const Error& error) {
  using Code = SurfaceCaptureError::Code;
  switch (code) {
    case Code::ambiguousWindows:
      return fmt::format("More than one top-center window matches: [{}].", fmt::join(error.windowIDs(), ", "));
    case Code::permissionMissing: return "Screen recording permission is required to capture the selected notch.";
    case Code::targetUnavailable: return "The selected application is no longer running.";
    case Code::noCandidateWindow: return "The selected application has no visible top-center window.";
    case Code::invalidGeometry: return "The capture geometry is invalid.";
    case Code::invalidPixelBuffer: return "The image pixel buffer is invalid.";
    case Code::emptyAlpha: return "The selected window has no solid visible content.";
    case Code::imageConversionFailed: return "The selected image could not be decoded.";
    case Code::ambiguousSurface: return "The captured content cannot be identified as a bounded top-center surface.";
    case Code::staleCapture: return "The selected window changed or the capture expired before it completed.";
    case Code::captureExcluded: return "The selected application excludes its window from screen capture.";
    case Code::imageCaptureFailed: return "The selected window image could not be captured.";
    case Code::captureTimedOut:
      return "Image capture is still waiting for the system. Menu switching remains available.";
  }
  return {};
}

}  // namespace quillon
