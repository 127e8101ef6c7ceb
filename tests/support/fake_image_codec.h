#pragma once

#include <algorithm>
#include <optional>
#include <string>

#include "core/platform/image_codec.h"

namespace quillon {

// A stand-in PNG format: "FAKEPNG", width, height, then the raw pixels. Round trips are
// exact, anything else fails to decode, and encoding can be made to fail. Downscaling
// averages each target pixel's block of source pixels.
class FakeImageCodec final : public ImageCodec {
 public:
  void setEncodeFails(bool fails) { encodeFails_ = fails; }

  // ImageCodec:
  std::optional<Bytes> encodePng(const Bitmap& bitmap) const override {
    if (encodeFails_ || bitmap.isEmpty()) return std::nullopt;
    Bytes out = bytesOf(kMagic);
    appendInt(out, bitmap.width);
    appendInt(out, bitmap.height);
    for (int y = 0; y < bitmap.height; ++y) {
      const auto* row = bitmap.pixel(0, y);
      out.insert(out.end(), row, row + bitmap.width * 4);
    }
    return out;
  }
  std::optional<Bitmap> decodePng(std::span<const std::uint8_t> data, int maximumSide) const override {
    const std::size_t header = kMagic.size() + 8;
    if (data.size() < header || std::string(data.begin(), data.begin() + static_cast<long>(kMagic.size())) != kMagic) {
      return std::nullopt;
    }
    const int width = readInt(data, kMagic.size());
    const int height = readInt(data, kMagic.size() + 4);
    if (width <= 0 || height <= 0 || width > maximumSide || height > maximumSide ||
        data.size() != header + static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4) {
      return std::nullopt;
    }
    Bitmap bitmap = Bitmap::transparent(width, height);
    std::copy(data.begin() + static_cast<long>(header), data.end(), bitmap.pixels.begin());
    return bitmap;
  }
  std::optional<Bitmap> downscale(const Bitmap& bitmap, int width, int height) const override {
    if (bitmap.isEmpty() || width < 1 || height < 1) return std::nullopt;
    Bitmap out = Bitmap::transparent(width, height);
    for (int y = 0; y < height; ++y) {
      const int y0 = y * bitmap.height / height;
      const int y1 = std::max(y0 + 1, (y + 1) * bitmap.height / height);
      for (int x = 0; x < width; ++x) {
        const int x0 = x * bitmap.width / width;
        const int x1 = std::max(x0 + 1, (x + 1) * bitmap.width / width);
        for (int c = 0; c < 4; ++c) {
          int sum = 0;
          for (int sy = y0; sy < y1; ++sy)
            for (int sx = x0; sx < x1; ++sx) sum += bitmap.pixel(sx, sy)[c];
          out.pixel(x, y)[c] = static_cast<std::uint8_t>(sum / ((y1 - y0) * (x1 - x0)));
        }
      }
    }
    return out;
  }

 private:
  static inline const std::string kMagic = "FAKEPNG";
  static void appendInt(Bytes& out, int value) {
    for (int shift = 24; shift >= 0; shift -= 8)
      out.push_back(static_cast<std::uint8_t>((static_cast<unsigned>(value) >> shift) & 0xffU));
  }
  static int readInt(std::span<const std::uint8_t> data, std::size_t at) {
    unsigned value = 0;
    for (std::size_t i = 0; i < 4; ++i) value = (value << 8U) | data[at + i];
    return static_cast<int>(value);
  }

  bool encodeFails_ = false;
};

}  // namespace quillon
