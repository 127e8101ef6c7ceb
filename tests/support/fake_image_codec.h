#pragma once

#include <optional>
#include <string>

#include "core/platform/launch_image_codec.h"

namespace quillon {

// A stand-in PNG format: "FAKEPNG", width, height, then the raw pixels. Round trips are
// exact, anything else fails to decode, and encoding can be made to fail.
class FakeImageCodec final : public LaunchImageCodec {
 public:
  void setEncodeFails(bool fails) { encodeFails_ = fails; }
  int encodeCount() const { return encodes_; }
  int decodeCount() const { return decodes_; }

  // LaunchImageCodec:
  std::optional<Bytes> encodePng(const Bitmap& bitmap) const override {
    ++encodes_;
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
  std::optional<Bitmap> decodePng(std::span<const std::uint8_t> data) const override {
    ++decodes_;
    const std::size_t header = kMagic.size() + 8;
    if (data.size() < header || std::string(data.begin(), data.begin() + static_cast<long>(kMagic.size())) != kMagic) {
      return std::nullopt;
    }
    const int width = readInt(data, kMagic.size());
    const int height = readInt(data, kMagic.size() + 4);
    if (width <= 0 || height <= 0 ||
        data.size() != header + static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4) {
      return std::nullopt;
    }
    Bitmap bitmap = Bitmap::transparent(width, height);
    std::copy(data.begin() + static_cast<long>(header), data.end(), bitmap.pixels.begin());
    return bitmap;
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
  mutable int encodes_ = 0;
  mutable int decodes_ = 0;
};

}  // namespace quillon
