#pragma once

#include <optional>
#include <span>

#include "core/support/bitmap.h"
#include "core/support/bytes.h"

namespace quillon {

class LaunchImageCodec {
 public:
  LaunchImageCodec() = default;
  LaunchImageCodec(const LaunchImageCodec&) = delete;
  LaunchImageCodec& operator=(const LaunchImageCodec&) = delete;
  virtual ~LaunchImageCodec() = default;

  // PNG of a premultiplied bitmap; none when it cannot be encoded.
  virtual std::optional<Bytes> encodePng(const Bitmap& bitmap) const = 0;
  // A premultiplied bitmap; none for anything that is not a decodable PNG.
  virtual std::optional<Bitmap> decodePng(std::span<const std::uint8_t> data) const = 0;
};

}  // namespace quillon
