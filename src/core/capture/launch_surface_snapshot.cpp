#include "core/capture/launch_surface_snapshot.h"

#include <cmath>
#include <cstring>

namespace quillon {

bool LaunchSurfaceSnapshot::isFresh(double nowUptime, double maximumAge, std::int32_t pid,
                                    std::optional<std::uint32_t> window) const {
  if (!std::isfinite(nowUptime) || !std::isfinite(maximumAge) || maximumAge < 0) return false;
  const double age = nowUptime - sampledAtUptime;
  if (!(age >= 0 && age <= maximumAge)) return false;
  return pid == processID && (!window || *window == windowID);
}

bool LaunchSurfaceSnapshot::hitTest(GlobalPoint quartzPoint, double nowUptime, double maximumAge, std::int32_t pid,
                                    std::optional<std::uint32_t> window) const {
  return isFresh(nowUptime, maximumAge, pid, window) && alphaMask.hitTest(quartzPoint, sourceQuartzRect);
}

std::optional<Bitmap> LaunchSurfaceSnapshot::croppedImage() const {
  const Rect& b = presentationPixelBounds;
  if (!b.isValid() || b.minX() < 0 || b.minY() < 0 || b.maxX() > image.width || b.maxY() > image.height ||
      image.bytesPerRow < static_cast<std::size_t>(image.width) * 4 ||
      image.pixels.size() / std::max<std::size_t>(image.bytesPerRow, 1) < static_cast<std::size_t>(image.height)) {
    return std::nullopt;
  }
  const auto left = static_cast<int>(b.minX());
  const auto top = static_cast<int>(b.minY());
  Bitmap cropped = Bitmap::transparent(static_cast<int>(b.width), static_cast<int>(b.height));
  for (int y = 0; y < cropped.height; ++y) {
    std::memcpy(cropped.pixel(0, y), image.pixel(left, top + y), cropped.bytesPerRow);
  }
  return cropped;
}

}  // namespace quillon
