#pragma once

#include <optional>
#include <vector>

#include "core/capture/launch_window_candidate.h"
#include "core/support/geometry.h"

namespace quillon {

// Which of an app's windows is its notch surface: a window above the normal layer that
// reaches into the top-centre zone of a display. Pure; throws capture errors.
struct LaunchWindowCandidatePolicy {
  LaunchWindowCandidatePolicy() = delete;

  struct Selection {
    LaunchWindowCandidate window;
    std::vector<GlobalRect> displays;  // the displays that were considered
  };

  // `candidates` front to back; `displays` as Quartz frames in screen order. Several
  // matches are accepted only as one frame stacked on several layers with a single
  // top-most window, which is then chosen; anything else is `ambiguousWindows`.
  static Selection select(const std::vector<LaunchWindowCandidate>& candidates, const std::vector<GlobalRect>& displays,
                          std::optional<GlobalPoint> targetQuartzPoint);

  // The usable displays, in order; with a point, only the one display that contains it
  // (half-open), or `noCandidateWindow` when not exactly one does.
  static std::vector<GlobalRect> consideredDisplays(const std::vector<GlobalRect>& displays,
                                                    std::optional<GlobalPoint> targetQuartzPoint);
  // The middle 40 % of a display's width and the top 20 % of its height.
  static GlobalRect topCenterZone(const GlobalRect& display);
  // A valid frame above the normal layer reaching into the zone of one of `displays`.
  static bool isMatch(const LaunchWindowCandidate& candidate, const std::vector<GlobalRect>& displays);
};

}  // namespace quillon
