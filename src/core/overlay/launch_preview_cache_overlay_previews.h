#pragma once

#include "core/overlay/launch_overlay_previews.h"

namespace quillon {

class LaunchPreviewCache;

// The overlay's previews, kept by the preview cache (and through it on disk). Images are
// handed out as copies: the cache may replace or drop its own at any time, while the
// carousel keeps showing what it was given until the next presentation.
class LaunchPreviewCacheOverlayPreviews final : public LaunchOverlayPreviews {
 public:
  explicit LaunchPreviewCacheOverlayPreviews(LaunchPreviewCache& cache) : cache_(cache) {}

  // LaunchOverlayPreviews:
  std::shared_ptr<const Bitmap> image(const Uuid& id, const Url& applicationURL) override;
  std::optional<double> savedAt(const Uuid& id, const Url& applicationURL) const override;
  bool remember(const LaunchSurfaceSnapshot& snapshot, const Uuid& id, const Url& applicationURL) override;
  void remove(const Uuid& id) override;
  void retainApplications(const std::map<Uuid, Url>& apps) override;

 private:
  LaunchPreviewCache& cache_;
};

}  // namespace quillon
