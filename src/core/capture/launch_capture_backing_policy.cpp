#include "core/capture/launch_capture_backing_policy.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/capture/surface_alpha_mask.h"

namespace quillon {

bool LaunchCaptureBackingPolicy::isOpaqueBlackCanvas(const Bitmap& image) {
  if (image.width < 1 || image.height < 1 || image.width > SurfaceAlphaMask::maximumSide ||
      image.height > SurfaceAlphaMask::maximumSide ||
      static_cast<std::int64_t>(image.width) * image.height > SurfaceAlphaMask::maximumPixelCount) {
    return false;
  }
  const std::size_t rowBytes = static_cast<std::size_t>(image.width) * 4;
  if (image.bytesPerRow < rowBytes ||
      image.pixels.size() / image.bytesPerRow < static_cast<std::size_t>(image.height)) {
    return false;
  }
  // Whole pixels compared as 32-bit words, in the memory order of the bytes.
  constexpr std::uint8_t opaqueBlackBytes[4] = {0, 0, 0, 255};
  std::uint32_t opaqueBlack = 0;
  std::memcpy(&opaqueBlack, opaqueBlackBytes, 4);
  for (int y = 0; y < image.height; ++y) {
    const std::uint8_t* row = image.pixel(0, y);
    // Accumulates differences instead of stopping at the first one: a branch-free loop
    // the compiler vectorises, and a canvas is almost always entirely black anyway.
    std::uint32_t difference = 0;
    for (std::size_t i = 0; i < rowBytes; i += 4) {
      std::uint32_t pixel = 0;
      std::memcpy(&pixel, row + i, 4);
      difference |= pixel ^ opaqueBlack;
    }
    if (difference != 0) return false;
  }
  return true;
}

}  // namespace quillon
