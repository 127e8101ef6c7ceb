#include "core/overlay/launch_presentation_record.h"

#include <algorithm>

#include "core/capture/launch_surface_snapshot.h"

namespace quillon {

bool LaunchPresentationRecord::accepts(const LaunchSurfaceSnapshot& snapshot, const Uuid& id) const {
  if (id != sourceID || !sourcePID || !sourceWindowID || !displayFrame) return false;
  if (snapshot.processID != *sourcePID) return false;
  const bool fromWindow =
      std::any_of(snapshot.sourceWindows.begin(), snapshot.sourceWindows.end(),
                  [&](const LaunchWindowCandidate& window) { return window.windowID == *sourceWindowID; });
  if (!fromWindow) return false;
  const GlobalRect& visible = snapshot.visibleQuartzRect;
  const bool onDisplay = visible.minX() >= displayFrame->minX() && visible.maxX() <= displayFrame->maxX() &&
                         visible.minY() >= displayFrame->minY() && visible.maxY() <= displayFrame->maxY();
  return onDisplay && applications.contains(id);
}

}  // namespace quillon
