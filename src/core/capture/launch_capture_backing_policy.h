#pragma once

#include "core/support/bitmap.h"

namespace quillon {

// Recognises the opaque black window some notch apps keep behind their real notch
// surface (same frame, one layer lower) so that the transparent corners of the surface
// stay black on screen. Captured together, the backing would fill those corners.
struct LaunchCaptureBackingPolicy {
  LaunchCaptureBackingPolicy() = delete;

  // True only for a readable image within the analysis bounds whose every pixel is
  // exactly opaque black.
  static bool isOpaqueBlackCanvas(const Bitmap& image);
};

}  // namespace quillon
