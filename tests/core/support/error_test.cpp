#include "core/support/error.h"

#include <gtest/gtest.h>

#include "core/async/launch_async_wait_error.h"
#include "core/capture/launch_capture_issue.h"
#include "core/capture/surface_capture_error.h"

namespace quillon {
namespace {

// Codes of different domains share their numbers; only the domain tells them apart.
TEST(Error, AnErrorAnswersOnlyAsItsOwnDomain) {
  const Error busy = LaunchAsyncWaitError::alreadyRunning;  // code 1, as permissionMissing
  EXPECT_EQ(busy.domain(), ErrorDomain::asyncWait);
  EXPECT_EQ(busy.code<LaunchAsyncWaitError::Code>(), LaunchAsyncWaitError::Code::alreadyRunning);
  EXPECT_FALSE(busy.code<SurfaceCaptureError::Code>());
  EXPECT_FALSE(captureIssue(busy)) << "a busy gate says nothing about images";
  EXPECT_NE(busy, SurfaceCaptureError::of(SurfaceCaptureError::Code::permissionMissing));
  EXPECT_EQ(captureIssue(SurfaceCaptureError::of(SurfaceCaptureError::Code::permissionMissing)),
            LaunchCaptureIssue::screenPermissionMissing);

  EXPECT_EQ(SurfaceCaptureError::ambiguousWindows({3, 4}).description(),
            "More than one top-center window matches: [3, 4].");
  EXPECT_NE(SurfaceCaptureError::ambiguousWindows({3, 4}), SurfaceCaptureError::ambiguousWindows({3}));
  EXPECT_EQ(busy.description(), "The operation couldn't be completed. (Quillon.LaunchAsyncWaitError error 1.)");
}

}  // namespace
}  // namespace quillon
