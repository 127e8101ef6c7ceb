#pragma once

#include <cstdint>
#include <optional>
#include <unordered_set>
#include <vector>

#include "core/async/task.h"
#include "core/capture/launch_surface_snapshot.h"
#include "core/capture/launch_window_candidate.h"
#include "core/capture/launch_window_target.h"
#include "core/platform/accessibility.h"
#include "core/platform/window_server.h"
#include "core/support/geometry.h"

namespace quillon {

class Clock;
class RunningApplication;
class Screens;

// Finds which on-screen window of a notch app is its expanded notch surface, and
// re-checks an earlier snapshot against what is on screen now. Keeps nothing between
// calls: every call reads the window list once, so a caller polling it on a timer
// always judges the current screen. Failures are not errors here: every doubt (no
// trust, a terminated app, no screens, no or several candidates, a failed geometry or
// accessibility check, a stale or covered snapshot) yields no target, and the caller
// decides how to go on.
class LaunchWindowTargetProbe {
 public:
  // Each accessibility request is bounded, so a hung notch app cannot stall input
  // handling for more than a few of these.
  static constexpr double accessibilityTimeout = 0.03;
  // A notch surface that is shorter than this is the collapsed notch, not the expanded one.
  static constexpr double minimumSurfaceHeight = 64;

  // `ownProcessID` identifies the program's own windows (the switcher overlay) for
  // `revalidate`.
  LaunchWindowTargetProbe(const WindowServer& windowServer, Accessibility& accessibility, const Screens& screens,
                          const Clock& clock, std::int32_t ownProcessID);

  // The surface under the pointer: `edge` is where the pointer entered the notch and
  // `cursor` where it is now (Quartz points); both must lie on the window, and the
  // accessibility hit-test at both must find that window of the app.
  std::optional<LaunchWindowTarget> sample(const RunningApplication& application, GlobalPoint edge,
                                           GlobalPoint cursor) const;
  // The surface without a pointer position (a gesture started from the menu or a timer):
  // probed at a point well inside the window.
  std::optional<LaunchWindowTarget> expandedTarget(const RunningApplication& application) const;
  // The same with the window list read without holding the main thread (the input
  // router's probes at the start of a gesture and while it waits for the surface).
  Task<std::optional<LaunchWindowTarget>> readExpandedTarget(const RunningApplication& application) const;
  // A fresh target when `snapshot` still describes the screen: same windows at the same
  // places (within 2 points), not covered by another window, at most `maximumAge`
  // seconds old. With `ignoringOwnOverlay`, the program's own windows do not count as
  // covering (the overlay shows in front of the notch while a gesture runs).
  std::optional<LaunchWindowTarget> revalidate(const LaunchSurfaceSnapshot& snapshot,
                                               const RunningApplication& application, double maximumAge,
                                               bool ignoringOwnOverlay) const;
  // The same check over a window list read without holding the main thread: for the
  // check that follows a capture, which must not undo the capture's own care.
  Task<std::optional<LaunchWindowTarget>> readAndRevalidate(const LaunchSurfaceSnapshot& snapshot,
                                                            const RunningApplication& application, double maximumAge,
                                                            bool ignoringOwnOverlay) const;
  // Whether the accessibility element under `point` belongs to one of the snapshot's
  // windows.
  bool ownsCompositePoint(const RunningApplication& application, const LaunchSurfaceSnapshot& snapshot,
                          GlobalPoint point) const;

  // The app's windows in the window list that may be notch surfaces, front to back:
  // owned by `processID`, fully described and nearly opaque.
  static std::vector<LaunchWindowCandidate> candidatesOf(const std::vector<WindowRow>& rows, std::int32_t processID);
  // Whether windows in front of the first source window cover more than a fifth of
  // `visibleRect`.
  static bool substantiallyOccluded(const std::vector<WindowRow>& rows,
                                    const std::unordered_set<std::uint32_t>& sourceIDs, const GlobalRect& visibleRect);

 private:
  struct WindowContext {
    std::vector<WindowRow> rows;
    std::vector<LaunchWindowCandidate> candidates;
    std::vector<GlobalRect> displays;
  };
  std::optional<WindowContext> windowContext(std::int32_t processID) const;
  std::optional<WindowContext> windowContext(std::int32_t processID, std::vector<WindowRow> rows) const;
  // The app's one candidate window under both points, before the hit-tests confirm it.
  struct Sampled {
    std::int32_t processID;
    LaunchWindowCandidate window;
    GlobalRect display;
  };
  std::optional<LaunchWindowTarget> sampleIn(const RunningApplication& application, GlobalPoint edge,
                                             GlobalPoint cursor, const std::optional<WindowContext>& context) const;
  std::optional<Sampled> sampledWindow(const RunningApplication& application, GlobalPoint edge, GlobalPoint cursor,
                                       const std::optional<WindowContext>& context) const;
  LaunchWindowTarget targetFor(const Sampled& sampled, const WindowContext& context) const;
  // Where the expanded surface is hit-tested: inside the window, below the housing.
  static std::optional<GlobalPoint> expandedProbePoint(const std::optional<WindowContext>& context);
  static bool hitMatches(const std::optional<AccessibilityHit>& hit, std::int32_t processID, const GlobalRect& frame);
  std::optional<LaunchWindowTarget> revalidateIn(const std::optional<WindowContext>& context,
                                                 const LaunchSurfaceSnapshot& snapshot, double maximumAge,
                                                 bool ignoringOwnOverlay) const;
  bool matchesAccessibility(std::int32_t processID, GlobalPoint point, const GlobalRect& frame) const;

  const WindowServer& windowServer_;
  Accessibility& accessibility_;
  const Screens& screens_;
  const Clock& clock_;
  std::int32_t ownProcessID_;
};

}  // namespace quillon
