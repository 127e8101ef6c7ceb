#include "core/capture/launch_window_target_probe.h"

#include <algorithm>
#include <cmath>

#include "core/async/clock.h"
#include "core/capture/launch_window_candidate_policy.h"
#include "core/capture/surface_capture_error.h"
#include "core/display/launch_display_target.h"
#include "core/display/surface_geometry_policy.h"
#include "core/platform/accessibility.h"
#include "core/platform/screens.h"
#include "core/platform/workspace.h"

namespace quillon {

namespace {

// A window more transparent than this is a fading or invisible helper, never the notch.
constexpr double minimumOpacity = 0.95;
// Another window covering more than this share of the surface hides it.
constexpr double occlusionShare = 0.2;

std::optional<int> sharingStateOf(const std::vector<WindowRow>& rows, std::uint32_t windowID) {
  const auto row =
      std::find_if(rows.begin(), rows.end(), [&](const WindowRow& r) { return r.windowNumber == windowID; });
  return row == rows.end() ? std::nullopt : row->sharingState;
}

// The platform hit-test takes single-precision coordinates.
GlobalPoint hitTestPoint(GlobalPoint point) { return {static_cast<float>(point.x), static_cast<float>(point.y)}; }

bool isTallEnoughSurface(const GlobalRect& frame, const GlobalRect& display) {
  return frame.height >= LaunchWindowTargetProbe::minimumSurfaceHeight &&
         SurfaceGeometryPolicy::isBoundedTopCenterSurface(frame, display);
}

}  // namespace

LaunchWindowTargetProbe::LaunchWindowTargetProbe(const WindowServer& windowServer, Accessibility& accessibility,
                                                 const Screens& screens, const Clock& clock, std::int32_t ownProcessID)
    : windowServer_(windowServer),
      accessibility_(accessibility),
      screens_(screens),
      clock_(clock),
      ownProcessID_(ownProcessID) {}

std::vector<LaunchWindowCandidate> LaunchWindowTargetProbe::candidatesOf(const std::vector<WindowRow>& rows,
                                                                         std::int32_t processID) {
  std::vector<LaunchWindowCandidate> candidates;
  for (const auto& row : rows) {
    if (row.ownerPID != processID || !row.windowNumber || !row.bounds || !row.layer) continue;
    if (!row.alpha || !(*row.alpha > minimumOpacity)) continue;
    candidates.push_back({*row.windowNumber, *row.bounds, *row.layer});
  }
  return candidates;
}

std::optional<LaunchWindowTargetProbe::WindowContext> LaunchWindowTargetProbe::windowContext(
    std::int32_t processID) const {
  if (screens_.screens().empty()) return std::nullopt;
  return windowContext(processID, windowServer_.onScreenWindows(true));
}

std::optional<LaunchWindowTargetProbe::WindowContext> LaunchWindowTargetProbe::windowContext(
    std::int32_t processID, std::vector<WindowRow> rows) const {
  const auto screens = screens_.screens();
  if (screens.empty()) return std::nullopt;
  WindowContext context;
  for (const auto& display : currentDisplayTargets(screens)) context.displays.push_back(display.frame);
  context.rows = std::move(rows);
  context.candidates = candidatesOf(context.rows, processID);
  return context;
}

bool LaunchWindowTargetProbe::matchesAccessibility(std::int32_t processID, GlobalPoint point,
                                                   const GlobalRect& frame) const {
  return hitMatches(accessibility_.elementAtPoint(hitTestPoint(point), accessibilityTimeout), processID, frame);
}

bool LaunchWindowTargetProbe::hitMatches(const std::optional<AccessibilityHit>& hit, std::int32_t processID,
                                         const GlobalRect& frame) {
  if (!hit || hit->processID != processID || !hit->windowPosition || !hit->windowSize) return false;
  return haveSameBounds(GlobalRect::fromOriginAndSize(*hit->windowPosition, *hit->windowSize), frame);
}

std::optional<LaunchWindowTarget> LaunchWindowTargetProbe::sample(const RunningApplication& application,
                                                                  GlobalPoint edge, GlobalPoint cursor) const {
  if (!accessibility_.isTrusted(false) || application.isTerminated()) return std::nullopt;
  return sampleIn(application, edge, cursor, windowContext(application.processIdentifier()));
}

std::optional<LaunchWindowTarget> LaunchWindowTargetProbe::sampleIn(const RunningApplication& application,
                                                                    GlobalPoint edge, GlobalPoint cursor,
                                                                    const std::optional<WindowContext>& context) const {
  const auto sampled = sampledWindow(application, edge, cursor, context);
  if (!sampled || !matchesAccessibility(sampled->processID, edge, sampled->window.frame) ||
      !matchesAccessibility(sampled->processID, cursor, sampled->window.frame)) {
    return std::nullopt;
  }
  return targetFor(*sampled, *context);
}

std::optional<LaunchWindowTargetProbe::Sampled> LaunchWindowTargetProbe::sampledWindow(
    const RunningApplication& application, GlobalPoint edge, GlobalPoint cursor,
    const std::optional<WindowContext>& context) const {
  if (!context || !accessibility_.isTrusted(false) || application.isTerminated()) return std::nullopt;
  std::optional<LaunchWindowCandidatePolicy::Selection> selection;
  try {
    selection = LaunchWindowCandidatePolicy::select(context->candidates, context->displays, edge);
  } catch (const Error&) {
    return std::nullopt;
  }
  const GlobalRect display = selection->displays.front();
  const LaunchWindowCandidate& window = selection->window;
  if (!display.contains(cursor) || !isTallEnoughSurface(window.frame, display) || !window.frame.contains(edge) ||
      !window.frame.contains(cursor)) {
    return std::nullopt;
  }
  return Sampled{application.processIdentifier(), window, display};
}

LaunchWindowTarget LaunchWindowTargetProbe::targetFor(const Sampled& sampled, const WindowContext& context) const {
  return LaunchWindowTarget{sampled.processID,         sampled.window.windowID,
                            sampled.window.frame,      sampled.display,
                            clock_.uptime(),           sharingStateOf(context.rows, sampled.window.windowID),
                            sampled.window.windowLayer};
}

std::optional<LaunchWindowTarget> LaunchWindowTargetProbe::expandedTarget(const RunningApplication& application) const {
  const auto context = windowContext(application.processIdentifier());
  const auto point = expandedProbePoint(context);
  return point ? sampleIn(application, *point, *point, context) : std::nullopt;
}

Task<std::optional<LaunchWindowTarget>> LaunchWindowTargetProbe::readExpandedTarget(
    const RunningApplication& application) const {
  if (application.isTerminated()) co_return std::nullopt;
  auto reading = windowServer_.readOnScreenWindows(true);
  std::vector<WindowRow> rows = co_await std::move(reading);
  // The app may have quit while the list was read.
  if (application.isTerminated()) co_return std::nullopt;
  const auto context = windowContext(application.processIdentifier(), std::move(rows));
  const auto point = expandedProbePoint(context);
  if (!point) co_return std::nullopt;
  const auto sampled = sampledWindow(application, *point, *point, context);
  if (!sampled) co_return std::nullopt;
  auto asking = accessibility_.readElementAtPoint(hitTestPoint(*point), accessibilityTimeout);
  const auto hit = co_await std::move(asking);
  if (!hitMatches(hit, sampled->processID, sampled->window.frame)) co_return std::nullopt;
  co_return targetFor(*sampled, *context);
}

std::optional<GlobalPoint> LaunchWindowTargetProbe::expandedProbePoint(const std::optional<WindowContext>& context) {
  if (!context) return std::nullopt;
  std::optional<LaunchWindowCandidatePolicy::Selection> selection;
  try {
    selection = LaunchWindowCandidatePolicy::select(context->candidates, context->displays, std::nullopt);
  } catch (const Error&) {
    return std::nullopt;
  }
  if (selection->displays.empty()) return std::nullopt;
  const GlobalRect display = selection->displays.front();
  const GlobalRect frame = selection->window.frame;
  if (!isTallEnoughSurface(frame, display)) return std::nullopt;
  // Below the camera housing, where the expanded surface has content to hit-test, but
  // never closer than 8 points to the window's edge, where a rounded corner may be.
  const GlobalPoint probe{frame.midX(), std::max(display.minY() + 65, frame.midY())};
  if (!frame.insetBy(8, 8).contains(probe)) return std::nullopt;
  return probe;
}

std::optional<LaunchWindowTarget> LaunchWindowTargetProbe::revalidate(const LaunchSurfaceSnapshot& snapshot,
                                                                      const RunningApplication& application,
                                                                      double maximumAge,
                                                                      bool ignoringOwnOverlay) const {
  if (snapshot.processID != application.processIdentifier() || application.isTerminated()) return std::nullopt;
  return revalidateIn(windowContext(snapshot.processID), snapshot, maximumAge, ignoringOwnOverlay);
}

Task<std::optional<LaunchWindowTarget>> LaunchWindowTargetProbe::readAndRevalidate(
    const LaunchSurfaceSnapshot& snapshot, const RunningApplication& application, double maximumAge,
    bool ignoringOwnOverlay) const {
  if (snapshot.processID != application.processIdentifier() || application.isTerminated()) co_return std::nullopt;
  auto reading = windowServer_.readOnScreenWindows(true);
  std::vector<WindowRow> rows = co_await std::move(reading);
  // The app may have quit while the list was read.
  if (application.isTerminated()) co_return std::nullopt;
  co_return revalidateIn(windowContext(snapshot.processID, std::move(rows)), snapshot, maximumAge, ignoringOwnOverlay);
}

std::optional<LaunchWindowTarget> LaunchWindowTargetProbe::revalidateIn(const std::optional<WindowContext>& context,
                                                                        const LaunchSurfaceSnapshot& snapshot,
                                                                        double maximumAge,
                                                                        bool ignoringOwnOverlay) const {
  if (!context) return std::nullopt;

  std::vector<GlobalRect> hosts;
  std::copy_if(context->displays.begin(), context->displays.end(), std::back_inserter(hosts), [&](const GlobalRect& d) {
    return SurfaceGeometryPolicy::isBoundedTopCenterSurface(snapshot.visibleQuartzRect, d);
  });
  if (hosts.size() != 1 || snapshot.interactionQuartzRect.height < minimumSurfaceHeight) return std::nullopt;
  const GlobalRect display = hosts.front();

  std::unordered_set<std::uint32_t> sourceIDs;
  for (const auto& window : snapshot.sourceWindows) sourceIDs.insert(window.windowID);
  std::vector<LaunchWindowCandidate> current;
  std::copy_if(context->candidates.begin(), context->candidates.end(), std::back_inserter(current),
               [&](const LaunchWindowCandidate& c) { return LaunchWindowCandidatePolicy::isMatch(c, {display}); });
  std::unordered_set<std::uint32_t> currentIDs;
  for (const auto& window : current) currentIDs.insert(window.windowID);
  if (currentIDs != sourceIDs) return std::nullopt;

  std::vector<WindowRow> rows = context->rows;
  if (ignoringOwnOverlay) {
    std::erase_if(rows, [&](const WindowRow& row) { return row.ownerPID == ownProcessID_; });
  }
  const double now = clock_.uptime();
  const double age = now - snapshot.sampledAtUptime;
  if (snapshot.processID < 1 || substantiallyOccluded(rows, sourceIDs, snapshot.visibleQuartzRect) ||
      !std::isfinite(now) || !std::isfinite(snapshot.sampledAtUptime) || !std::isfinite(maximumAge) || maximumAge < 0 ||
      !(age >= 0 && age <= maximumAge)) {
    return std::nullopt;
  }
  if (!isTallEnoughSurface(snapshot.visibleQuartzRect, display)) return std::nullopt;

  // Same windows, each where it was (within the usual tolerance) and on the same layer.
  if (snapshot.sourceWindows.empty() || snapshot.sourceWindows.size() != current.size() ||
      sourceIDs.size() != snapshot.sourceWindows.size() || currentIDs.size() != current.size()) {
    return std::nullopt;
  }
  for (const auto& window : current) {
    const auto source = std::find_if(snapshot.sourceWindows.begin(), snapshot.sourceWindows.end(),
                                     [&](const LaunchWindowCandidate& s) { return s.windowID == window.windowID; });
    if (source == snapshot.sourceWindows.end() || source->windowLayer != window.windowLayer ||
        !haveSameBounds(source->frame, window.frame)) {
      return std::nullopt;
    }
  }
  return LaunchWindowTarget{snapshot.processID,
                            snapshot.windowID,
                            snapshot.visibleQuartzRect,
                            display,
                            now,
                            sharingStateOf(context->rows, snapshot.windowID),
                            snapshot.windowLayer};
}

bool LaunchWindowTargetProbe::substantiallyOccluded(const std::vector<WindowRow>& rows,
                                                    const std::unordered_set<std::uint32_t>& sourceIDs,
                                                    const GlobalRect& visibleRect) {
  if (!(visibleRect.width > 0) || !(visibleRect.height > 0) || rows.empty()) return true;
  const auto isSource = [&](const WindowRow& row) { return row.windowNumber && sourceIDs.contains(*row.windowNumber); };
  const auto firstSource = std::find_if(rows.begin(), rows.end(), isSource);
  if (firstSource == rows.end()) return true;
  const double limit = occlusionShare * visibleRect.width * visibleRect.height;
  return std::any_of(rows.begin(), firstSource, [&](const WindowRow& row) {
    if (isSource(row) || !row.alpha || !(*row.alpha > minimumOpacity) || !row.bounds) return false;
    const GlobalRect overlap = row.bounds->intersection(visibleRect);
    return !overlap.isEmpty() && overlap.width * overlap.height > limit;
  });
}

bool LaunchWindowTargetProbe::ownsCompositePoint(const RunningApplication& application,
                                                 const LaunchSurfaceSnapshot& snapshot, GlobalPoint point) const {
  if (snapshot.processID != application.processIdentifier()) return false;
  return std::any_of(snapshot.sourceWindows.begin(), snapshot.sourceWindows.end(),
                     [&](const auto& window) { return matchesAccessibility(snapshot.processID, point, window.frame); });
}

}  // namespace quillon
