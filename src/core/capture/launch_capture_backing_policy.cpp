#include "core/capture/launch_capture_backing_policy.h"

#include <algorithm>
#include <cstdint>

#include "core/capture/surface_alpha_mask.h"

namespace quillon {

bool LaunchCaptureBackingPolicy::isOpaqueBlackCanvas(const Bitmap& image) {
  if (image.width < 1 || image.height < 1 || image.width > SurfaceAlphaMask::maximumSide ||
      image.height > SurfaceAlphaMask::maximumSide ||
      static_cast<std::int64_t>(image.width) * image.height > SurfaceAlphaMask::maximumPixelCount) {
    return false;
  }
  const std::size_t rowBytes = static_cast<std::size_t>(image.width) * 4;
  if (image.bytesPerRow < rowBytes || image.pixels.size() / image.bytesPerRow < static_cast<std::size_t>(image.height)) {
    return false;
  }
  for (int y = 0; y < image.height; ++y) {
    const std::uint8_t* row = image.pixel(0, y);
    // Accumulates differences instead of stopping at the first one: a branch-free loop
    // the compiler vectorises, and a canvas is almost always entirely black anyway.
    std::uint8_t difference = 0;
    for (std::size_t i = 0; i < rowBytes; i += 4) {
      difference |= static_cast<std::uint8_t>(row[i] | row[i + 1] | row[i + 2] | (row[i + 3] ^ 0xFF));
    }
    if (difference != 0) return false;
  }
  return true;
}

}  // namespace quillon
