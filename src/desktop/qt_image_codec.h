#pragma once

#include "core/platform/launch_image_codec.h"

namespace quillon {

// PNG through QImage. Decoding reads the header first and refuses images larger than
// the capture limits (32768 pixels a side, 64,000,000 pixels) before allocating them.
class QtImageCodec final : public LaunchImageCodec {
 public:
  // LaunchImageCodec:
  std::optional<Bytes> encodePng(const Bitmap& bitmap) const override;
  std::optional<Bitmap> decodePng(std::span<const std::uint8_t> data) const override;
};

}  // namespace quillon
