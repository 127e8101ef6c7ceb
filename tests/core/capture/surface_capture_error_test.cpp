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

}  // namespace
}  // namespace quillon
