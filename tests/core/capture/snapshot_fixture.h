#pragma once

#include "core/capture/launch_surface_snapshot.h"

namespace quillon::testing_snapshots {

// Who a test snapshot claims to show; one piece, its own window.
struct Source {
  std::int32_t processID = 42;
  std::uint32_t windowID = 7;
  std::int32_t windowLayer = 25;
  double sampledAtUptime = 0;
};

// `image` shown over `rect`; its presented pixels are the whole image unless given.
inline LaunchSurfaceSnapshot snapshotOf(Bitmap image, GlobalRect rect, Source source = {},
                                        std::optional<Rect> pixels = std::nullopt) {
  SurfaceAlphaMask mask(image, 128);
  const Rect presented =
      pixels.value_or(Rect{0, 0, static_cast<double>(image.width), static_cast<double>(image.height)});
  return {.image = std::move(image),
          .alphaMask = std::move(mask),
          .sourceQuartzRect = rect,
          .visibleQuartzRect = rect,
          .interactionQuartzRect = rect,
          .sampledAt = 0,
          .sampledAtUptime = source.sampledAtUptime,
          .windowID = source.windowID,
          .processID = source.processID,
          .windowLayer = source.windowLayer,
          .sourceWindows = {{source.windowID, rect, source.windowLayer}},
          .presentationPixelBounds = presented};
}

}  // namespace quillon::testing_snapshots
