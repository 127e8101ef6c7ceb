#include "desktop/qt_image_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace quillon {
namespace {

Bitmap sample() {
  // Opaque, clear and half-transparent premultiplied pixels, plus a stride with padding.
  Bitmap bitmap;
  bitmap.width = 3;
  bitmap.height = 2;
  bitmap.bytesPerRow = 16;
  bitmap.pixels = {
      255, 0,   0, 255, 0, 0, 0,   0,   64,  32,  0,   128, 9, 9, 9, 9,  //
      0,   255, 0, 255, 0, 0, 255, 255, 100, 100, 100, 200, 9, 9, 9, 9,
  };
  return bitmap;
}

TEST(QtImageCodec, RoundTripKeepsPremultipliedPixels) {
  QtImageCodec codec;
  const auto png = codec.encodePng(sample());
  ASSERT_TRUE(png.has_value());
  const auto decoded = codec.decodePng(*png, 32768);
  ASSERT_TRUE(decoded.has_value());
  ASSERT_EQ(decoded->width, 3);
  ASSERT_EQ(decoded->height, 2);
  const Bitmap original = sample();
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      for (int c = 0; c < 4; ++c) {
        SCOPED_TRACE(testing::Message() << "pixel " << x << "," << y << " channel " << c);
        // Straight alpha in the file rounds partially transparent colours by one step.
        EXPECT_LE(std::abs(decoded->pixel(x, y)[c] - original.pixel(x, y)[c]), 1);
      }
    }
  }
}

TEST(QtImageCodec, RefusesWhatIsNotAWholePng) {
  QtImageCodec codec;
  const auto png = *codec.encodePng(sample());
  struct Case {
    const char* name;
    Bytes data;
  };
  const Case cases[] = {
      {"empty", {}},
      {"text", bytesOf("not an image at all")},
      {"signature only", Bytes(png.begin(), png.begin() + 8)},
      {"truncated", Bytes(png.begin(), png.begin() + static_cast<long>(png.size() / 2))},
      {"JPEG magic", Bytes{0xff, 0xd8, 0xff, 0xe0, 0, 0x10, 'J', 'F', 'I', 'F', 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(codec.decodePng(c.data, 32768).has_value());
  }
  EXPECT_TRUE(codec.decodePng(png, 3).has_value());
  EXPECT_FALSE(codec.decodePng(png, 2).has_value()) << "wider than the caller's limit";
}

TEST(QtImageCodec, DownscaleAveragesAndKeepsTransparentCornersClean) {
  QtImageCodec codec;
  // Opaque white body with a fully transparent left column pair: a 2:1 reduction
  // must give a clear pixel there, not a dark fringe from unpremultiplied black.
  Bitmap source = Bitmap::transparent(8, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 2; x < 8; ++x) std::fill_n(source.pixel(x, y), 4, std::uint8_t{255});
  const auto scaled = codec.downscale(source, 4, 2);
  ASSERT_TRUE(scaled.has_value());
  ASSERT_EQ(4, scaled->width);
  ASSERT_EQ(2, scaled->height);
  EXPECT_LE(scaled->pixel(0, 0)[3], 8);
  for (int c = 0; c < 4; ++c) EXPECT_GE(scaled->pixel(2, 1)[c], 250);
  // Colour never exceeds alpha in a premultiplied result.
  for (int x = 0; x < 4; ++x) EXPECT_LE(scaled->pixel(x, 0)[0], scaled->pixel(x, 0)[3]);
  EXPECT_FALSE(codec.downscale(source, 0, 2).has_value());
  EXPECT_FALSE(codec.downscale(Bitmap{}, 4, 2).has_value());
}

TEST(QtImageCodec, RefusesBitmapsItCannotDescribe) {
  QtImageCodec codec;
  Bitmap shortPixels = sample();
  shortPixels.pixels.resize(10);
  Bitmap narrowStride = sample();
  narrowStride.bytesPerRow = 8;
  EXPECT_FALSE(codec.encodePng(Bitmap{}).has_value());
  EXPECT_FALSE(codec.encodePng(shortPixels).has_value());
  EXPECT_FALSE(codec.encodePng(narrowStride).has_value());
}

}  // namespace
}  // namespace quillon
