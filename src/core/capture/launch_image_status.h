#pragma once

#include <optional>

#include "core/capture/launch_capture_issue.h"
#include "core/capture/launch_image_route.h"

namespace quillon {

// How an app is switched and what stands between it and an image.
struct LaunchImageStatus {
  LaunchImageRoute route = LaunchImageRoute::iconOnly;
  bool screenCaptureAllowed = false;
  bool hostExcludesCapture = false;
  std::optional<LaunchCaptureIssue> issue;

  // `sharingState` is the window server's sharing state of the app's notch window;
  // 0 means the app hides the window from capture even before anything was captured.
  // A capture that met a missing permission overrides what the permission check said.
  static LaunchImageStatus make(LaunchImageRoute route, bool screenCaptureAllowed, std::optional<int> sharingState,
                                std::optional<LaunchCaptureIssue> issue) {
    LaunchImageStatus status;
    status.route = route;
    status.screenCaptureAllowed = screenCaptureAllowed && issue != LaunchCaptureIssue::screenPermissionMissing;
    status.hostExcludesCapture = sharingState == 0 || issue == LaunchCaptureIssue::applicationExcluded;
    status.issue = issue;
    return status;
  }

  friend bool operator==(const LaunchImageStatus&, const LaunchImageStatus&) = default;
};

}  // namespace quillon
