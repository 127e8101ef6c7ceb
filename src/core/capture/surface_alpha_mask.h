#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/support/bitmap.h"
#include "core/support/geometry.h"

namespace quillon {

// Which pixels of an image are solid: alpha at or above a threshold. Maps between the
// image's pixels and the screen rectangle the image was taken from. Every mask holds at
// least one solid pixel; construction throws a capture error otherwise.
class SurfaceAlphaMask {
 public:
  // Bounds on any analysed image, so a hostile or broken size cannot exhaust memory.
  static constexpr int maximumSide = 32768;
  static constexpr std::int64_t maximumPixelCount = 64'000'000;

  // Throws `imageConversionFailed` when the image cannot be read as 8-bit RGBA (its
  // buffer is shorter than its size claims) and `invalidPixelBuffer`, `emptyAlpha` as
  // the raw form does.
  SurfaceAlphaMask(const Bitmap& image, std::uint8_t alphaThreshold);
  // Premultiplied RGBA, 4 bytes per pixel with alpha last; `bytesPerRow` defaults to
  // width × 4. Throws `invalidPixelBuffer` for a size out of bounds, a zero threshold
  // or a buffer too short, and `emptyAlpha` when no pixel is solid.
  SurfaceAlphaMask(int width, int height, std::span<const std::uint8_t> pixels, std::optional<std::size_t> bytesPerRow,
                   std::uint8_t alphaThreshold);

  // The mask at `alphaThreshold` and, from the same pass over the pixels, the solid
  // bounds at `boundsThreshold` (which must not exceed `alphaThreshold`). A snapshot
  // needs exactly this pair, and one pass costs half of two.
  struct WithBounds;
  static WithBounds withBoundsAt(const Bitmap& image, std::uint8_t alphaThreshold, std::uint8_t boundsThreshold);

  int width() const { return width_; }
  int height() const { return height_; }
  // The smallest pixel rectangle (origin top-left) holding every solid pixel.
  const Rect& solidPixelBounds() const { return solidPixelBounds_; }
  std::int64_t solidPixelCount() const { return solidPixelCount_; }
  std::uint8_t alphaThreshold() const { return alphaThreshold_; }
  // width × height bytes, rows from the top: 1 solid, 0 not.
  const std::vector<std::uint8_t>& solidPixels() const { return solidPixels_; }

  // The part of `sourceQuartzRect` (the screen rectangle the image covers) that the
  // solid bounds cover. Throws `invalidGeometry` for an invalid source rectangle.
  GlobalRect visibleQuartzRect(const GlobalRect& sourceQuartzRect) const;
  // Whether the pixel under `quartzPoint` is solid; false outside the source rectangle
  // (half-open) or for invalid input.
  bool hitTest(GlobalPoint quartzPoint, const GlobalRect& sourceQuartzRect) const;
  // Throws `invalidGeometry` unless the rectangle is finite with a positive size.
  static void validate(const GlobalRect& rect);

  friend bool operator==(const SurfaceAlphaMask&, const SurfaceAlphaMask&) = default;

 private:
  SurfaceAlphaMask() = default;

  int width_ = 0;
  int height_ = 0;
  Rect solidPixelBounds_;
  std::int64_t solidPixelCount_ = 0;
  std::uint8_t alphaThreshold_ = 1;
  std::vector<std::uint8_t> solidPixels_;
};

struct SurfaceAlphaMask::WithBounds {
  SurfaceAlphaMask mask;
  Rect boundsAtLowerThreshold;
};

}  // namespace quillon
