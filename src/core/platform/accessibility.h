#pragma once

#include <cstdint>
#include <optional>

#include "core/async/task.h"
#include "core/support/geometry.h"

namespace quillon {

// What the accessibility hit-test found under a point.
struct AccessibilityHit {
  std::int32_t processID = 0;
  // The position and size of the window that holds the element (Quartz coordinates);
  // absent when the element has no window or the window does not report them.
  std::optional<GlobalPoint> windowPosition;
  std::optional<Size> windowSize;
  friend bool operator==(const AccessibilityHit&, const AccessibilityHit&) = default;
};

class Accessibility {
 public:
  Accessibility() = default;
  Accessibility(const Accessibility&) = delete;
  Accessibility& operator=(const Accessibility&) = delete;
  virtual ~Accessibility() = default;

  // Whether this process may observe input and query other applications' elements;
  // `prompt` asks the user to grant it when it is missing.
  virtual bool isTrusted(bool prompt) = 0;
  // The element under `quartzPoint`; none when nothing answers within
  // `messagingTimeoutSeconds`, so a hung application cannot stall the caller.
  virtual std::optional<AccessibilityHit> elementAtPoint(GlobalPoint quartzPoint, double messagingTimeoutSeconds) = 0;
  // The same without holding the main thread where the platform can; by default the
  // call above.
  virtual Task<std::optional<AccessibilityHit>> readElementAtPoint(GlobalPoint quartzPoint,
                                                                   double messagingTimeoutSeconds) {
    co_return elementAtPoint(quartzPoint, messagingTimeoutSeconds);
  }
};

}  // namespace quillon
