#include "core/capture/launch_capture_group.h"

#include <algorithm>
#include <set>

#include "core/capture/launch_window_candidate_policy.h"
#include "core/capture/surface_capture_error.h"
#include "core/display/surface_geometry_policy.h"

namespace quillon {

namespace {

// How far apart two windows of one surface may be: grown by this on every side, their
// frames must intersect.
constexpr double neighbourOutset = 16.0;

bool isConnected(const std::vector<LaunchWindowCandidate>& windows) {
  std::vector<bool> reached(windows.size(), false);
  std::vector<std::size_t> pending{0};
  reached[0] = true;
  while (!pending.empty()) {
    const std::size_t current = pending.back();
    pending.pop_back();
    const GlobalRect grown = windows[current].frame.insetBy(-neighbourOutset, -neighbourOutset);
    for (std::size_t other = 0; other < windows.size(); ++other) {
      if (reached[other]) continue;
      if (grown.intersects(windows[other].frame.insetBy(-neighbourOutset, -neighbourOutset))) {
        reached[other] = true;
        pending.push_back(other);
      }
    }
  }
  return std::all_of(reached.begin(), reached.end(), [](bool r) { return r; });
}

}  // namespace

LaunchCaptureGroup LaunchCaptureGroup::select(const std::vector<LaunchWindowCandidate>& candidates,
                                              const std::vector<GlobalRect>& displays,
                                              std::optional<GlobalPoint> point) {
  using Policy = LaunchWindowCandidatePolicy;
  const auto considered = Policy::consideredDisplays(displays, point);
  std::vector<LaunchWindowCandidate> matches;
  std::copy_if(candidates.begin(), candidates.end(), std::back_inserter(matches),
               [&](const LaunchWindowCandidate& candidate) { return Policy::isMatch(candidate, considered); });
  if (matches.empty()) throw SurfaceCaptureError::of(SurfaceCaptureError::Code::noCandidateWindow);

  std::vector<std::uint32_t> ids;
  ids.reserve(matches.size());
  for (const auto& match : matches) ids.push_back(match.windowID);
  const auto ambiguous = [&] { return SurfaceCaptureError::ambiguousWindows(ids); };

  std::vector<GlobalRect> hosts;
  std::copy_if(considered.begin(), considered.end(), std::back_inserter(hosts), [&](const GlobalRect& frame) {
    const GlobalRect zone = Policy::topCenterZone(frame);
    return std::all_of(matches.begin(), matches.end(), [&](const auto& m) { return m.frame.intersects(zone); });
  });
  if (hosts.size() != 1) throw ambiguous();
  const GlobalRect host = hosts.front();
  if (matches.size() > maximumWindowCount || std::set<std::uint32_t>(ids.begin(), ids.end()).size() != ids.size()) {
    throw ambiguous();
  }

  const bool sameFrame =
      std::all_of(matches.begin(), matches.end(), [&](const auto& m) { return m.frame == matches.front().frame; });
  if (matches.size() == 1 || sameFrame) return {std::move(matches), host};

  GlobalRect united = matches.front().frame;
  for (const auto& match : matches) united = united.unionWith(match.frame);
  const auto [lowest, highest] = std::minmax_element(
      matches.begin(), matches.end(), [](const auto& a, const auto& b) { return a.windowLayer < b.windowLayer; });
  // Pieces of one surface sit on neighbouring layers and next to each other; windows
  // far apart or layers apart are separate surfaces, and guessing would capture the
  // wrong one.
  if (!SurfaceGeometryPolicy::isBoundedTopCenterSurface(united, host) ||
      highest->windowLayer - lowest->windowLayer >= 2 || !isConnected(matches)) {
    throw ambiguous();
  }
  return {std::move(matches), host};
}

}  // namespace quillon
