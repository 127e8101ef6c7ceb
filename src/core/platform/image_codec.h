#pragma once

#include <optional>
#include <span>

#include "core/support/bitmap.h"
#include "core/support/bytes.h"

namespace quillon {

class ImageCodec {
 public:
  ImageCodec() = default;
  ImageCodec(const ImageCodec&) = delete;
  ImageCodec& operator=(const ImageCodec&) = delete;
  virtual ~ImageCodec() = default;

  // PNG of a premultiplied bitmap; none when it cannot be encoded.
  virtual std::optional<Bytes> encodePng(const Bitmap& bitmap) const = 0;
  // A premultiplied bitmap; none for anything that is not a decodable PNG, and none
  // for a PNG wider or taller than `maximumSide`, which is judged from the header
  // before any pixel is allocated (a few hostile bytes can declare gigabytes).
  virtual std::optional<Bitmap> decodePng(std::span<const std::uint8_t> data, int maximumSide) const = 0;
  // `bitmap` resampled to exactly `width` x `height` with a filter that averages every
  // source pixel (no point sampling, so thin lines and text survive a 2:1 reduction);
  // none for an empty bitmap or a size below 1.
  virtual std::optional<Bitmap> downscale(const Bitmap& bitmap, int width, int height) const = 0;
};

}  // namespace quillon
