#pragma once

#include <cstdint>
#include <map>
#include <optional>

#include "core/records/registry/managed_notch_app.h"
#include "core/support/geometry.h"
#include "core/support/uuid.h"

namespace quillon {

struct LaunchSurfaceSnapshot;

// What the switcher is showing: whose notch it opened over (app, process, window), on
// which display, and which apps it offers. A live image arriving later is shown only when
// it belongs to this very presentation; a late capture of an earlier gesture, another
// process of the same app or a window that moved to another display is refused.
struct LaunchPresentationRecord {
  Uuid sourceID;
  std::optional<std::int32_t> sourcePID;
  std::optional<std::uint32_t> sourceWindowID;
  std::optional<GlobalRect> displayFrame;
  std::map<Uuid, ManagedNotchApp> applications;

  // The identity checks for a live image of `id`; the caller still checks that the
  // panel is up, capture is permitted and the image can be cropped.
  bool accepts(const LaunchSurfaceSnapshot& snapshot, const Uuid& id) const;
};

}  // namespace quillon
