#include "core/overlay/launch_preview_cache_overlay_previews.h"

#include <algorithm>

#include "core/capture/launch_preview_cache.h"

namespace quillon {

std::shared_ptr<const Bitmap> LaunchPreviewCacheOverlayPreviews::image(const Uuid& id, const Url& applicationURL) {
  if (const Bitmap* kept = cache_.image(id, applicationURL)) return std::make_shared<const Bitmap>(*kept);
  // Kept for this id but taken from another bundle: the app was registered again from
  // elsewhere, and the old picture would mislead.
  const auto& order = cache_.order();
  if (std::find(order.begin(), order.end(), id) != order.end()) cache_.remove(id);
  return nullptr;
}

std::optional<double> LaunchPreviewCacheOverlayPreviews::savedAt(const Uuid& id, const Url& applicationURL) const {
  const LaunchAppPreview* kept = cache_.preview(id, applicationURL);
  return kept != nullptr ? std::optional(kept->savedAt) : std::nullopt;
}

bool LaunchPreviewCacheOverlayPreviews::remember(const LaunchSurfaceSnapshot& snapshot, const Uuid& id,
                                                 const Url& applicationURL) {
  return cache_.remember(snapshot, id, applicationURL);
}

void LaunchPreviewCacheOverlayPreviews::remove(const Uuid& id) { cache_.remove(id); }

void LaunchPreviewCacheOverlayPreviews::retainApplications(const std::map<Uuid, Url>& apps) {
  cache_.retainApplications(apps);
}

}  // namespace quillon
