#pragma once

#include <cstdint>

#include "core/support/bitmap.h"

namespace quillon {

// Premultiplied images of notch surfaces for capture tests.
inline Bitmap filledImage(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) {
  Bitmap image = Bitmap::transparent(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      auto* p = image.pixel(x, y);
      p[0] = r;
      p[1] = g;
      p[2] = b;
      p[3] = a;
    }
  }
  return image;
}

// An opaque dark body with its two lower corners rounded off (transparent), as a notch
// surface hangs from the top edge; the corner pixels on the curve are half covered.
inline Bitmap roundedSurfaceImage(int width, int height, int radius) {
  Bitmap image = filledImage(width, height, 20, 20, 24, 255);
  for (int y = height - radius; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int cx = x < radius ? radius : (x >= width - radius ? width - radius - 1 : x);
      const int cy = height - radius - 1;
      const long dx = x - cx;
      const long dy = y - cy;
      const long d2 = dx * dx + dy * dy;
      const long r2 = static_cast<long>(radius) * radius;
      if (d2 <= r2) continue;
      auto* p = image.pixel(x, y);
      const std::uint8_t alpha = d2 <= r2 + 2L * radius ? 100 : 0;
      p[0] = p[1] = p[2] = static_cast<std::uint8_t>(alpha == 0 ? 0 : 8);
      p[3] = alpha;
    }
  }
  return image;
}

// A rounded surface inside a window `margin` pixels wider on each side and taller at
// the bottom, the way notch apps leave room for their expansion animation.
inline Bitmap surfaceWithMargin(int width, int height, int margin) {
  const Bitmap body = roundedSurfaceImage(width - 2 * margin, height - margin, margin);
  Bitmap image = Bitmap::transparent(width, height);
  for (int y = 0; y < body.height; ++y) {
    for (int x = 0; x < body.width; ++x) {
      for (int c = 0; c < 4; ++c) image.pixel(x + margin, y)[c] = body.pixel(x, y)[c];
    }
  }
  return image;
}

}  // namespace quillon
