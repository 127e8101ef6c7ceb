#include "core/capture/surface_alpha_mask.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/capture/surface_capture_error.h"

namespace quillon {

namespace {

[[noreturn]] void fail(SurfaceCaptureError::Code code) { throw SurfaceCaptureError::of(code); }

struct PixelBounds {
  int minX = std::numeric_limits<int>::max();
  int minY = std::numeric_limits<int>::max();
  int maxX = -1;
  int maxY = -1;

  bool isEmpty() const { return maxX < 0; }
  void addRow(int y, int first, int last) {
    minX = std::min(minX, first);
    maxX = std::max(maxX, last);
    minY = std::min(minY, y);
    maxY = y;
  }
  Rect rect() const {
    return {static_cast<double>(minX), static_cast<double>(minY), static_cast<double>(maxX - minX + 1),
            static_cast<double>(maxY - minY + 1)};
  }
};

// Validates a raw buffer; returns its row stride.
std::size_t checkedStride(int width, int height, std::size_t pixelCount, std::optional<std::size_t> bytesPerRow,
                          std::uint8_t threshold) {
  using Code = SurfaceCaptureError::Code;
  if (width < 1 || height < 1 || width > SurfaceAlphaMask::maximumSide || height > SurfaceAlphaMask::maximumSide ||
      static_cast<std::int64_t>(width) * height > SurfaceAlphaMask::maximumPixelCount || threshold == 0) {
    fail(Code::invalidPixelBuffer);
  }
  const std::size_t minimumStride = static_cast<std::size_t>(width) * 4;
  const std::size_t stride = bytesPerRow.value_or(minimumStride);
  const auto rows = static_cast<std::size_t>(height);
  if (stride < minimumStride || stride > std::numeric_limits<std::size_t>::max() / rows || pixelCount < stride * rows) {
    fail(Code::invalidPixelBuffer);
  }
  return stride;
}

// The one pass over the pixels. Each row is first classified without branches (the
// loop the compiler vectorises: one compare, one store and one sum per pixel), then
// only rows holding something are searched from both ends for their first and last
// solid pixel, which on a rounded surface stops after the corner.
void scan(const std::uint8_t* pixels, std::size_t stride, int width, int height, std::uint8_t threshold,
          std::uint8_t lowerThreshold, std::uint8_t* out, std::int64_t& count, PixelBounds& bounds,
          PixelBounds& lowerBounds) {
  const auto w = static_cast<std::size_t>(width);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = pixels + static_cast<std::size_t>(y) * stride;
    std::uint8_t* solid = out + static_cast<std::size_t>(y) * w;
    unsigned rowCount = 0;
    std::uint8_t rowMaxAlpha = 0;
    for (std::size_t x = 0; x < w; ++x) {
      const std::uint8_t alpha = row[4 * x + 3];
      const auto isSolid = static_cast<std::uint8_t>(alpha >= threshold);
      solid[x] = isSolid;
      rowCount += isSolid;
      rowMaxAlpha = std::max(rowMaxAlpha, alpha);
    }
    if (rowCount > 0) {
      const auto first = std::find(solid, solid + w, std::uint8_t{1}) - solid;
      std::size_t last = w - 1;
      while (solid[last] == 0) --last;
      bounds.addRow(y, static_cast<int>(first), static_cast<int>(last));
      count += rowCount;
    }
    if (rowMaxAlpha >= lowerThreshold) {
      std::size_t first = 0;
      while (row[4 * first + 3] < lowerThreshold) ++first;
      std::size_t last = w - 1;
      while (row[4 * last + 3] < lowerThreshold) --last;
      lowerBounds.addRow(y, static_cast<int>(first), static_cast<int>(last));
    }
  }
}

}  // namespace

SurfaceAlphaMask::SurfaceAlphaMask(const Bitmap& image, std::uint8_t alphaThreshold)
    : SurfaceAlphaMask(withBoundsAt(image, alphaThreshold, alphaThreshold).mask) {}

SurfaceAlphaMask::SurfaceAlphaMask(int width, int height, std::span<const std::uint8_t> pixels,
                                   std::optional<std::size_t> bytesPerRow, std::uint8_t alphaThreshold) {
  const std::size_t stride = checkedStride(width, height, pixels.size(), bytesPerRow, alphaThreshold);
  width_ = width;
  height_ = height;
  alphaThreshold_ = alphaThreshold;
  solidPixels_.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  PixelBounds bounds;
  PixelBounds unused;
  scan(pixels.data(), stride, width, height, alphaThreshold, alphaThreshold, solidPixels_.data(), solidPixelCount_,
       bounds, unused);
  if (bounds.isEmpty()) fail(SurfaceCaptureError::Code::emptyAlpha);
  solidPixelBounds_ = bounds.rect();
}

SurfaceAlphaMask::WithBounds SurfaceAlphaMask::withBoundsAt(const Bitmap& image, std::uint8_t alphaThreshold,
                                                            std::uint8_t boundsThreshold) {
  using Code = SurfaceCaptureError::Code;
  if (image.width >= 1 && image.height >= 1 &&
      static_cast<std::int64_t>(image.width) * image.height > maximumPixelCount) {
    fail(Code::invalidPixelBuffer);
  }
  // An image whose buffer does not hold what its size claims cannot be read at all.
  if (image.width < 1 || image.height < 1 || image.bytesPerRow < static_cast<std::size_t>(image.width) * 4 ||
      image.pixels.size() / image.bytesPerRow < static_cast<std::size_t>(image.height)) {
    fail(Code::imageConversionFailed);
  }
  const std::size_t stride =
      checkedStride(image.width, image.height, image.pixels.size(), image.bytesPerRow, alphaThreshold);
  const std::uint8_t lower = std::min(alphaThreshold, boundsThreshold == 0 ? alphaThreshold : boundsThreshold);

  SurfaceAlphaMask mask;
  mask.width_ = image.width;
  mask.height_ = image.height;
  mask.alphaThreshold_ = alphaThreshold;
  mask.solidPixels_.resize(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height));
  PixelBounds bounds;
  PixelBounds lowerBounds;
  scan(image.pixels.data(), stride, image.width, image.height, alphaThreshold, lower, mask.solidPixels_.data(),
       mask.solidPixelCount_, bounds, lowerBounds);
  if (bounds.isEmpty()) fail(Code::emptyAlpha);
  mask.solidPixelBounds_ = bounds.rect();
  return {std::move(mask), lowerBounds.rect()};
}

void SurfaceAlphaMask::validate(const GlobalRect& rect) {
  if (!rect.isValid()) fail(SurfaceCaptureError::Code::invalidGeometry);
}

GlobalRect SurfaceAlphaMask::visibleQuartzRect(const GlobalRect& source) const {
  validate(source);
  const double sx = source.width / width_;
  const double sy = source.height / height_;
  const Rect& b = solidPixelBounds_;
  return {source.minX() + b.minX() * sx, source.minY() + b.minY() * sy, b.width * sx, b.height * sy};
}

bool SurfaceAlphaMask::hitTest(GlobalPoint p, const GlobalRect& source) const {
  if (!source.isValid() || !std::isfinite(p.x) || !std::isfinite(p.y) || !source.contains(p)) return false;
  const double column = std::trunc((p.x - source.minX()) * width_ / source.width);
  const double row = std::trunc((p.y - source.minY()) * height_ / source.height);
  if (column < 0 || row < 0 || column >= width_ || row >= height_) return false;
  const auto index =
      static_cast<std::size_t>(row) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(column);
  return solidPixels_[index] != 0;
}

}  // namespace quillon
