#include "core/capture/surface_alpha_mask.h"

#include <gtest/gtest.h>

#include "core/capture/surface_capture_error.h"
#include "support/surface_images.h"

namespace quillon {
namespace {

using Code = SurfaceCaptureError::Code;

Code codeOf(auto&& make) {
  try {
    make();
  } catch (const Error& error) {
    return error.code<Code>().value();
  }
  ADD_FAILURE() << "no error";
  return Code::captureTimedOut;
}

TEST(SurfaceAlphaMask, BoundsAndCountFollowTheThresholdAndIgnorePadding) {
  // 6 × 4 pixels with 8 bytes of padding per row; the padding is opaque garbage that
  // must never count.
  Bitmap image = Bitmap::transparent(6, 4);
  image.bytesPerRow = 6 * 4 + 8;
  image.pixels.assign(image.bytesPerRow * 4, 0);
  for (std::size_t y = 0; y < 4; ++y)
    std::fill_n(image.pixels.begin() + static_cast<long>(y * image.bytesPerRow + 24), 8, 255);
  image.pixel(1, 1)[3] = 128;  // solid at 128
  image.pixel(4, 2)[3] = 127;  // solid only at the lower threshold
  image.pixel(0, 3)[3] = 7;    // never solid at 8

  const auto both = SurfaceAlphaMask::withBoundsAt(image, 128, 8);
  EXPECT_EQ((Rect{1, 1, 1, 1}), both.mask.solidPixelBounds());
  EXPECT_EQ(1, both.mask.solidPixelCount());
  EXPECT_EQ((Rect{1, 1, 4, 2}), both.boundsAtLowerThreshold);
  EXPECT_EQ(1, both.mask.solidPixels()[1 * 6 + 1]);
  EXPECT_EQ(0, both.mask.solidPixels()[2 * 6 + 4]);

  const SurfaceAlphaMask low(image, 7);
  EXPECT_EQ((Rect{0, 1, 5, 3}), low.solidPixelBounds());
  EXPECT_EQ(3, low.solidPixelCount());
  EXPECT_EQ(low, SurfaceAlphaMask(image.width, image.height, image.pixels, image.bytesPerRow, 7));
}

TEST(SurfaceAlphaMask, RefusesBuffersItCannotReadAndImagesWithoutContent) {
  const std::vector<std::uint8_t> pixels(4 * 4 * 4, 255);
  const std::vector<std::uint8_t> clear(4 * 4 * 4, 0);
  const struct {
    const char* name;
    int width, height;
    const std::vector<std::uint8_t>* pixels;
    std::optional<std::size_t> stride;
    std::uint8_t threshold;
    Code expected;
  } rows[] = {
      {"zero width", 0, 4, &pixels, {}, 128, Code::invalidPixelBuffer},
      {"too wide", 32769, 1, &pixels, {}, 128, Code::invalidPixelBuffer},
      {"too many pixels", 32768, 1954, &pixels, {}, 128, Code::invalidPixelBuffer},
      {"zero threshold", 4, 4, &pixels, {}, 0, Code::invalidPixelBuffer},
      {"stride below a row", 4, 4, &pixels, 15, 128, Code::invalidPixelBuffer},
      {"buffer one row short", 4, 5, &pixels, {}, 128, Code::invalidPixelBuffer},
      {"stride overflows", 4, 4, &pixels, SIZE_MAX / 2, 128, Code::invalidPixelBuffer},
      {"fully transparent", 4, 4, &clear, {}, 1, Code::emptyAlpha},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(row.expected,
              codeOf([&] { SurfaceAlphaMask(row.width, row.height, *row.pixels, row.stride, row.threshold); }));
  }
  Bitmap broken = filledImage(4, 4, 0, 0, 0, 255);
  broken.pixels.resize(20);
  EXPECT_EQ(Code::imageConversionFailed, codeOf([&] { SurfaceAlphaMask(broken, 128); }));
  EXPECT_EQ(Code::imageConversionFailed, codeOf([&] { SurfaceAlphaMask(Bitmap{}, 128); }));
}

TEST(SurfaceAlphaMask, MapsPixelsToTheSourceRectangleAtAnyScale) {
  // A 2x image: 200 × 80 pixels over a 100 × 40 point rectangle; the body leaves a
  // 20-pixel transparent margin on the left.
  Bitmap image = filledImage(200, 80, 0, 0, 0, 255);
  for (int y = 0; y < 80; ++y) {
    for (int x = 0; x < 20; ++x) image.pixel(x, y)[3] = 0;
  }
  const SurfaceAlphaMask mask(image, 128);
  const GlobalRect source{500, -10, 100, 40};
  EXPECT_EQ((GlobalRect{510, -10, 90, 40}), mask.visibleQuartzRect(source));

  EXPECT_FALSE(mask.hitTest({509.9, 0}, source));
  EXPECT_TRUE(mask.hitTest({510, 0}, source));
  EXPECT_TRUE(mask.hitTest({599.9, 29.9}, source));
  EXPECT_FALSE(mask.hitTest({600, 0}, source));   // right edge is outside
  EXPECT_FALSE(mask.hitTest({550, 30}, source));  // bottom edge is outside
  EXPECT_FALSE(mask.hitTest({NAN, 0}, source));
  EXPECT_FALSE(mask.hitTest({550, 0}, GlobalRect{500, -10, 0, 40}));

  EXPECT_EQ(Code::invalidGeometry, codeOf([&] { (void)mask.visibleQuartzRect({0, 0, -1, 10}); }));
  EXPECT_EQ(Code::invalidGeometry, codeOf([&] { (void)mask.visibleQuartzRect({INFINITY, 0, 1, 10}); }));
  EXPECT_EQ(Code::invalidGeometry, codeOf([&] { (void)mask.visibleQuartzRect({1e308, 0, 1e308, 10}); }));
}

}  // namespace
}  // namespace quillon
