#pragma once

#include <string_view>

#include "core/capture/launch_capture_setting_knowledge.h"

namespace quillon {

// The notch apps whose own capture setting is known from their published sources.
// None is confirmed for the installed version, so every hint is given as unverified.
class LaunchCaptureGuideCatalog {
 public:
  static LaunchCaptureSettingKnowledge knowledge(std::string_view bundleIdentifier);
};

}  // namespace quillon
