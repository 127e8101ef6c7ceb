#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quillon {

// An 8-bit RGBA image with premultiplied alpha, rows top to bottom. The one pixel
// format the core analyses, scales and encodes.
struct Bitmap {
  int width = 0;
  int height = 0;
  std::size_t bytesPerRow = 0;
  std::vector<std::uint8_t> pixels;

  static Bitmap transparent(int width, int height) {
    Bitmap bitmap;
    bitmap.width = width;
    bitmap.height = height;
    bitmap.bytesPerRow = static_cast<std::size_t>(width) * 4;
    bitmap.pixels.assign(bitmap.bytesPerRow * static_cast<std::size_t>(height), 0);
    return bitmap;
  }
  bool isEmpty() const { return width <= 0 || height <= 0; }
  const std::uint8_t* pixel(int x, int y) const {
    return pixels.data() + static_cast<std::size_t>(y) * bytesPerRow + static_cast<std::size_t>(x) * 4;
  }
  std::uint8_t* pixel(int x, int y) {
    return pixels.data() + static_cast<std::size_t>(y) * bytesPerRow + static_cast<std::size_t>(x) * 4;
  }
  std::uint8_t alphaAt(int x, int y) const { return pixel(x, y)[3]; }
};

}  // namespace quillon
