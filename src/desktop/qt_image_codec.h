#pragma once

#include "core/platform/image_codec.h"

class QImage;

namespace quillon {

// A copy of `image`'s pixels as a premultiplied RGBA bitmap, whatever its format.
Bitmap qtBitmapOf(const QImage& image);

// PNG and resampling through QImage. Decoding reads the header first and refuses
// images larger than the caller's side limit or the capture limits (32768 pixels a
// side, 64,000,000 pixels) before allocating them.
class QtImageCodec final : public ImageCodec {
 public:
  // ImageCodec:
  std::optional<Bytes> encodePng(const Bitmap& bitmap) const override;
  std::optional<Bitmap> decodePng(std::span<const std::uint8_t> data, int maximumSide) const override;
  std::optional<Bitmap> downscale(const Bitmap& bitmap, int width, int height) const override;
};

}  // namespace quillon
