#include "core/capture/surface_capture_error.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

// The one text built from data: window identifiers are full 32-bit values.
TEST(SurfaceCaptureError, AmbiguousWindowsListsTheIdsInBrackets) {
  EXPECT_EQ("More than one top-center window matches: [12, 4000000000].",
            SurfaceCaptureError::ambiguousWindows({12, 4000000000u}).description());
  EXPECT_EQ("More than one top-center window matches: [7].", SurfaceCaptureError::ambiguousWindows({7}).description());
}

}  // namespace
}  // namespace quillon
