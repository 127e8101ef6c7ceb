#pragma once

#include <optional>

#include "core/platform/launch_accessibility.h"

namespace quillon {

class X11Connection;

// The window under a point, from the X server. X11 has no per-process permission to
// observe other clients, so trust means a working connection.
class X11Accessibility final : public LaunchAccessibility {
 public:
  explicit X11Accessibility(X11Connection& connection);

  // LaunchAccessibility:
  bool isTrusted(bool prompt) override;
  std::optional<LaunchAccessibilityHit> elementAtPoint(GlobalPoint quartzPoint, double messagingTimeoutSeconds) override;

 private:
  X11Connection& connection_;
};

}  // namespace quillon
