#include "mac/mac_bitmap.h"

#include "mac/mac_cf_ref.h"

namespace quillon {

std::optional<Bitmap> macBitmapFromImage(CGImageRef image, int width, int height) {
  if (image == nullptr || width <= 0 || height <= 0) return std::nullopt;
  Bitmap bitmap = Bitmap::transparent(width, height);
  auto space = MacCFRef<CGColorSpaceRef>::adopt(CGColorSpaceCreateWithName(kCGColorSpaceSRGB));
  // Premultiplied alpha last in big-endian 32-bit words: bytes R, G, B, A in memory.
  const CGBitmapInfo info =
      static_cast<CGBitmapInfo>(kCGImageAlphaPremultipliedLast) | static_cast<CGBitmapInfo>(kCGBitmapByteOrder32Big);
  auto context = MacCFRef<CGContextRef>::adopt(CGBitmapContextCreate(bitmap.pixels.data(), static_cast<size_t>(width),
                                                                     static_cast<size_t>(height), 8, bitmap.bytesPerRow,
                                                                     space.get(), info));
  if (!context) return std::nullopt;
  // Copy, not source-over: the image's own alpha is kept, nothing is blended into it.
  CGContextSetBlendMode(context.get(), kCGBlendModeCopy);
  CGContextSetInterpolationQuality(context.get(), kCGInterpolationHigh);
  CGContextDrawImage(context.get(), CGRectMake(0, 0, width, height), image);
  return bitmap;
}

}  // namespace quillon
