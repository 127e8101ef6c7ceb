#pragma once

#include <optional>

#include "core/platform/accessibility.h"

namespace quillon {

// The Accessibility API: this process's trust, and the window under a point through the
// system-wide element. Every request to another application is bounded by the messaging
// timeout given, so a hung application costs at most that long per request.
class MacAccessibility final : public Accessibility {
 public:
  // Accessibility:
  // With `prompt`, the system shows its Accessibility prompt (asynchronously) when the
  // process is not trusted yet.
  bool isTrusted(bool prompt) override;
  std::optional<AccessibilityHit> elementAtPoint(GlobalPoint quartzPoint, double messagingTimeoutSeconds) override;
};

}  // namespace quillon
