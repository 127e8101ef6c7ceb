#include "core/capture/launch_window_candidate_policy.h"

#include <algorithm>
#include <cmath>

#include "core/capture/surface_capture_error.h"

namespace quillon {

namespace {

std::vector<std::uint32_t> idsOf(const std::vector<LaunchWindowCandidate>& windows) {
  std::vector<std::uint32_t> ids;
  ids.reserve(windows.size());
  for (const auto& window : windows) ids.push_back(window.windowID);
  return ids;
}

}  // namespace

GlobalRect LaunchWindowCandidatePolicy::topCenterZone(const GlobalRect& d) {
  return {d.minX() + 0.3 * d.width, d.minY(), 0.4 * d.width, 0.2 * d.height};
}

std::vector<GlobalRect> LaunchWindowCandidatePolicy::consideredDisplays(const std::vector<GlobalRect>& displays,
                                                                        std::optional<GlobalPoint> point) {
  std::vector<GlobalRect> valid;
  std::copy_if(displays.begin(), displays.end(), std::back_inserter(valid),
               [](const GlobalRect& display) { return display.isValid(); });
  if (!point) return valid;
  if (!std::isfinite(point->x) || !std::isfinite(point->y)) {
    throw SurfaceCaptureError::of(SurfaceCaptureError::Code::noCandidateWindow);
  }
  std::vector<GlobalRect> containing;
  std::copy_if(valid.begin(), valid.end(), std::back_inserter(containing),
               [&](const GlobalRect& display) { return display.contains(*point); });
  if (containing.size() != 1) throw SurfaceCaptureError::of(SurfaceCaptureError::Code::noCandidateWindow);
  return containing;
}

bool LaunchWindowCandidatePolicy::isMatch(const LaunchWindowCandidate& candidate,
                                          const std::vector<GlobalRect>& displays) {
  if (!candidate.frame.isValid() || candidate.windowLayer < 1) return false;
  return std::any_of(displays.begin(), displays.end(),
                     [&](const GlobalRect& display) { return candidate.frame.intersects(topCenterZone(display)); });
}

LaunchWindowCandidatePolicy::Selection LaunchWindowCandidatePolicy::select(
    const std::vector<LaunchWindowCandidate>& candidates, const std::vector<GlobalRect>& displays,
    std::optional<GlobalPoint> point) {
  auto considered = consideredDisplays(displays, point);
  std::vector<LaunchWindowCandidate> matches;
  std::copy_if(candidates.begin(), candidates.end(), std::back_inserter(matches),
               [&](const LaunchWindowCandidate& candidate) { return isMatch(candidate, considered); });
  if (matches.empty()) throw SurfaceCaptureError::of(SurfaceCaptureError::Code::noCandidateWindow);
  if (matches.size() == 1) return {matches.front(), std::move(considered)};

  // One surface drawn as a stack of same-sized windows (a backing and its content) is
  // unambiguous only when exactly one of them is on top.
  const bool sameFrame = std::all_of(matches.begin(), matches.end(),
                                     [&](const LaunchWindowCandidate& c) { return c.frame == matches.front().frame; });
  const int topLayer = std::max_element(matches.begin(), matches.end(), [](const auto& a, const auto& b) {
                         return a.windowLayer < b.windowLayer;
                       })->windowLayer;
  const auto onTop = std::count_if(matches.begin(), matches.end(),
                                   [&](const LaunchWindowCandidate& c) { return c.windowLayer == topLayer; });
  if (!sameFrame || onTop != 1) throw SurfaceCaptureError::ambiguousWindows(idsOf(matches));
  const auto chosen = std::find_if(matches.begin(), matches.end(),
                                   [&](const LaunchWindowCandidate& c) { return c.windowLayer == topLayer; });
  return {*chosen, std::move(considered)};
}

}  // namespace quillon
