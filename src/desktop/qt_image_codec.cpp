#include "desktop/qt_image_codec.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <cstring>
#include <limits>

namespace quillon {
namespace {

constexpr int kMaximumSide = 32768;
constexpr long long kMaximumPixels = 64'000'000;

bool acceptableSize(long long width, long long height) {
  return width >= 1 && height >= 1 && width <= kMaximumSide && height <= kMaximumSide &&
         width * height <= kMaximumPixels;
}

}  // namespace

std::optional<Bytes> QtImageCodec::encodePng(const Bitmap& bitmap) const {
  if (!acceptableSize(bitmap.width, bitmap.height) || bitmap.bytesPerRow < static_cast<std::size_t>(bitmap.width) * 4 ||
      bitmap.bytesPerRow > static_cast<std::size_t>(std::numeric_limits<qsizetype>::max()) ||
      bitmap.pixels.size() < bitmap.bytesPerRow * static_cast<std::size_t>(bitmap.height)) {
    return std::nullopt;
  }
  // Wraps the pixels without copying; PNG stores straight alpha, which QImage derives.
  const QImage image(bitmap.pixels.data(), bitmap.width, bitmap.height, static_cast<qsizetype>(bitmap.bytesPerRow),
                     QImage::Format_RGBA8888_Premultiplied);
  QByteArray encoded;
  QBuffer buffer(&encoded);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) return std::nullopt;
  return Bytes(encoded.begin(), encoded.end());
}

std::optional<Bitmap> QtImageCodec::decodePng(std::span<const std::uint8_t> data) const {
  static constexpr std::uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  if (data.size() < sizeof kSignature || std::memcmp(data.data(), kSignature, sizeof kSignature) != 0 ||
      data.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    return std::nullopt;
  }
  QByteArray bytes =
      QByteArray::fromRawData(reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(data.size()));
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "PNG");
  const QSize size = reader.size();
  if (!acceptableSize(size.width(), size.height())) return std::nullopt;
  QImage image;
  if (!reader.read(&image) || image.isNull()) return std::nullopt;
  image.convertTo(QImage::Format_RGBA8888_Premultiplied);
  Bitmap bitmap = Bitmap::transparent(image.width(), image.height());
  for (int y = 0; y < image.height(); ++y) {
    std::memcpy(bitmap.pixel(0, y), image.constScanLine(y), bitmap.bytesPerRow);
  }
  return bitmap;
}

}  // namespace quillon
