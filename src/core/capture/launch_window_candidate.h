#pragma once

#include <cstdint>

#include "core/support/geometry.h"

namespace quillon {

// One on-screen window of a notch app that may be (part of) its notch surface.
struct LaunchWindowCandidate {
  std::uint32_t windowID = 0;  // the window server's window number
  GlobalRect frame;            // window bounds
  int windowLayer = 0;         // 0 for normal windows, higher for floating surfaces

  // Exact comparison: callers that tolerate small moves use haveSameBounds.
  friend bool operator==(const LaunchWindowCandidate&, const LaunchWindowCandidate&) = default;
};

}  // namespace quillon
