#pragma once

#include <map>
#include <memory>
#include <optional>

#include "core/support/bitmap.h"
#include "core/support/url.h"
#include "core/support/uuid.h"

namespace quillon {

struct LaunchSurfaceSnapshot;

// The overlay's view of the preview images kept between gestures: the last image of
// each app, taken from the bundle it was registered with.
class LaunchOverlayPreviews {
 public:
  LaunchOverlayPreviews() = default;
  LaunchOverlayPreviews(const LaunchOverlayPreviews&) = delete;
  LaunchOverlayPreviews& operator=(const LaunchOverlayPreviews&) = delete;
  virtual ~LaunchOverlayPreviews() = default;

  // The image of `id` when it was taken from the bundle at `applicationURL` (compared
  // in canonical form). An image of `id` taken from another bundle is dropped: the app
  // was registered again from elsewhere and the old picture would mislead.
  virtual std::shared_ptr<const Bitmap> image(const Uuid& id, const Url& applicationURL) = 0;
  // When that image was taken (the clock's wall time); none without one.
  virtual std::optional<double> savedAt(const Uuid& id, const Url& applicationURL) const = 0;
  // Keeps the snapshot's shown part as the image of `id`; false when it is unusable.
  virtual bool remember(const LaunchSurfaceSnapshot& snapshot, const Uuid& id, const Url& applicationURL) = 0;
  virtual void remove(const Uuid& id) = 0;
  // Keeps only the images of these apps taken from these bundles.
  virtual void retainApplications(const std::map<Uuid, Url>& apps) = 0;
};

}  // namespace quillon
