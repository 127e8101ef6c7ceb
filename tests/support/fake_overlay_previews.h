#pragma once

#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "core/capture/launch_surface_snapshot.h"
#include "core/overlay/launch_overlay_previews.h"

namespace quillon {

// Images kept in a map with the bundle URL they were taken from; records what the
// overlay asked of it.
class FakeOverlayPreviews final : public LaunchOverlayPreviews {
 public:
  struct Entry {
    std::shared_ptr<const Bitmap> image;
    Url applicationURL;
  };
  std::map<Uuid, Entry> entries;
  std::map<Uuid, double> savedAtTimes;  // when each entry's image was taken
  int remembered = 0;
  std::vector<Uuid> removed;
  std::map<Uuid, Url> retained;

  // LaunchOverlayPreviews:
  std::shared_ptr<const Bitmap> image(const Uuid& id, const Url& applicationURL) override {
    const auto found = entries.find(id);
    if (found == entries.end()) return nullptr;
    if (found->second.applicationURL.standardized() != applicationURL.standardized()) {
      entries.erase(found);
      return nullptr;
    }
    return found->second.image;
  }
  std::optional<double> savedAt(const Uuid& id, const Url&) const override {
    const auto found = savedAtTimes.find(id);
    return found == savedAtTimes.end() || !entries.contains(id) ? std::nullopt : std::optional(found->second);
  }
  bool remember(const LaunchSurfaceSnapshot& snapshot, const Uuid& id, const Url& applicationURL) override {
    auto cropped = snapshot.croppedImage();
    if (!cropped) return false;
    ++remembered;
    entries[id] = {std::make_shared<const Bitmap>(std::move(*cropped)), applicationURL};
    return true;
  }
  void remove(const Uuid& id) override {
    removed.push_back(id);
    entries.erase(id);
  }
  void retainApplications(const std::map<Uuid, Url>& apps) override { retained = apps; }
};

}  // namespace quillon
