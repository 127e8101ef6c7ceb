#include "core/capture/surface_capture_error.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

using Code = SurfaceCaptureError::Code;

TEST(SurfaceCaptureError, AmbiguousWindowsListsTheIdsInBrackets) {
  EXPECT_EQ("More than one top-center window matches: [12, 4000000000].",
            SurfaceCaptureError::ambiguousWindows({12, 4000000000u}).description());
  EXPECT_EQ("More than one top-center window matches: [7].", SurfaceCaptureError::ambiguousWindows({7}).description());
}

TEST(SurfaceCaptureError, EqualityComparesTheWindowListOnlyForAmbiguousWindows) {
  EXPECT_EQ(SurfaceCaptureError::ambiguousWindows({1, 2}), SurfaceCaptureError::ambiguousWindows({1, 2}));
  EXPECT_NE(SurfaceCaptureError::ambiguousWindows({1, 2}), SurfaceCaptureError::ambiguousWindows({2, 1}));
  EXPECT_NE(SurfaceCaptureError::ambiguousWindows({}), SurfaceCaptureError::of(Code::noCandidateWindow));
  EXPECT_EQ(SurfaceCaptureError::of(Code::staleCapture), SurfaceCaptureError::of(Code::staleCapture));
}

// Every case has its own fixed text; a copy-paste slip shows up as a duplicate.
TEST(SurfaceCaptureError, EveryCaseHasADistinctFixedText) {
  const std::pair<Code, const char*> table[] = {
      {Code::permissionMissing, "Screen recording permission is required to capture the selected notch."},
      {Code::targetUnavailable, "The selected application is no longer running."},
      {Code::noCandidateWindow, "The selected application has no visible top-center window."},
      {Code::invalidGeometry, "The capture geometry is invalid."},
      {Code::invalidPixelBuffer, "The image pixel buffer is invalid."},
      {Code::emptyAlpha, "The selected window has no solid visible content."},
      {Code::imageConversionFailed, "The selected image could not be decoded."},
      {Code::ambiguousSurface, "The captured content cannot be identified as a bounded top-center surface."},
      {Code::staleCapture, "The selected window changed or the capture expired before it completed."},
      {Code::captureExcluded, "The selected application excludes its window from screen capture."},
      {Code::imageCaptureFailed, "The selected window image could not be captured."},
      {Code::captureTimedOut, "Image capture is still waiting for the system. Menu switching remains available."},
  };
  for (const auto& [code, text] : table) {
    SCOPED_TRACE(text);
    EXPECT_EQ(text, SurfaceCaptureError::of(code).description());
  }
}

}  // namespace
}  // namespace quillon
