#include "desktop/qt_image_codec.h"

#include <cstring>
#include <limits>

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

namespace quillon {
namespace {

constexpr int kMaximumSide = 32768;
constexpr long long kMaximumPixels = 64'000'000;

bool acceptableSize(long long width, long long height, long long maximumSide = kMaximumSide) {
  return width >= 1 && height >= 1 && width <= maximumSide && height <= maximumSide && width <= kMaximumSide &&
         height <= kMaximumSide && width * height <= kMaximumPixels;
}

bool describable(const Bitmap& bitmap) {
  return acceptableSize(bitmap.width, bitmap.height) &&
         bitmap.bytesPerRow >= static_cast<std::size_t>(bitmap.width) * 4 &&
         bitmap.bytesPerRow <= static_cast<std::size_t>(std::numeric_limits<qsizetype>::max()) &&
         bitmap.pixels.size() >= bitmap.bytesPerRow * static_cast<std::size_t>(bitmap.height);
}

// Wraps the pixels without copying; the bitmap must outlive the image.
QImage wrap(const Bitmap& bitmap) {
  return QImage(bitmap.pixels.data(), bitmap.width, bitmap.height, static_cast<qsizetype>(bitmap.bytesPerRow),
                QImage::Format_RGBA8888_Premultiplied);
}

}  // namespace

Bitmap qtBitmapOf(const QImage& image) {
  if (image.format() != QImage::Format_RGBA8888_Premultiplied) {
    return qtBitmapOf(image.convertToFormat(QImage::Format_RGBA8888_Premultiplied));
  }
  Bitmap bitmap = Bitmap::transparent(image.width(), image.height());
  for (int y = 0; y < image.height(); ++y) {
    std::memcpy(bitmap.pixel(0, y), image.constScanLine(y), bitmap.bytesPerRow);
  }
  return bitmap;
}

std::optional<Bytes> QtImageCodec::encodePng(const Bitmap& bitmap) const {
  if (!describable(bitmap)) return std::nullopt;
  // PNG stores straight alpha, which QImage derives from the premultiplied pixels.
  const QImage image = wrap(bitmap);
  QByteArray encoded;
  QBuffer buffer(&encoded);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) return std::nullopt;
  return Bytes(encoded.begin(), encoded.end());
}

std::optional<Bitmap> QtImageCodec::decodePng(std::span<const std::uint8_t> data, int maximumSide) const {
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
  if (!acceptableSize(size.width(), size.height(), maximumSide)) return std::nullopt;
  QImage image;
  if (!reader.read(&image) || image.isNull() || image.size() != size) return std::nullopt;
  image.convertTo(QImage::Format_RGBA8888_Premultiplied);
  return qtBitmapOf(image);
}

std::optional<Bitmap> QtImageCodec::downscale(const Bitmap& bitmap, int width, int height) const {
  if (!describable(bitmap) || !acceptableSize(width, height)) return std::nullopt;
  // Smooth scaling averages the premultiplied pixels of each target's footprint (an
  // area filter when reducing), so transparent corners do not bleed dark fringes.
  const QImage scaled = wrap(bitmap).scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  if (scaled.isNull() || scaled.width() != width || scaled.height() != height) return std::nullopt;
  return qtBitmapOf(scaled);
}

}  // namespace quillon
