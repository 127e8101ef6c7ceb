#pragma once

#include <string>

#include "core/capture/launch_capture_setting_knowledge.h"
#include "core/capture/launch_image_status.h"

namespace quillon {

// Plain words on why an app has or lacks an image and what the user may, but need
// not, change: a short summary (lines) and details (paragraphs), both localised.
struct LaunchImageGuidance {
  std::string summary;  // lines separated by one line break
  std::string details;  // paragraphs separated by an empty line

  LaunchImageGuidance(const LaunchImageStatus& status, const LaunchCaptureSettingKnowledge& setting);

  friend bool operator==(const LaunchImageGuidance&, const LaunchImageGuidance&) = default;
};

}  // namespace quillon
