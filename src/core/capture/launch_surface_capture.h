#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "core/async/launch_async_gate.h"
#include "core/async/task.h"
#include "core/capture/launch_capture_group.h"
#include "core/capture/launch_surface_snapshot.h"
#include "core/support/geometry.h"

namespace quillon {

class LogSink;
class MainLoop;
class RunningApplication;
class ScreenCaptureService;
class WindowServer;
struct ShareableContent;
struct WindowRow;

// Takes a still image of a notch app's expanded notch surface and turns it into a
// snapshot: the image, its solid mask, the screen rectangles it covers, and the identity
// later checks compare against. Refuses rather than guesses whenever the window set,
// the display, the timing or the geometry is in doubt; each refusal is a Error with
// its own SurfaceCaptureError code. At most one capture runs at a time, bounded by `timeout`; the
// pixel analysis runs off the main thread and stops with the capture.
class LaunchSurfaceCapture {
 public:
  static constexpr double timeout = 2.5;
  // Pixels at or above this alpha belong to the drawn surface, whatever the threshold
  // for interaction is.
  static constexpr std::uint8_t visibleAlphaThreshold = 8;

  LaunchSurfaceCapture(MainLoop& loop, ScreenCaptureService& service, const WindowServer& windowServer, LogSink& log,
                       std::uint8_t alphaThreshold = 128, double maximumCaptureAge = 2.0);
  LaunchSurfaceCapture(const LaunchSurfaceCapture&) = delete;
  LaunchSurfaceCapture& operator=(const LaunchSurfaceCapture&) = delete;

  std::uint8_t alphaThreshold() const { return alphaThreshold_; }
  double maximumCaptureAge() const { return maximumCaptureAge_; }
  bool isRunning() const { return requestGate_.isRunning(); }

  // Captures `application`'s notch surface; with `targetQuartzPoint`, the surface must
  // be on the display holding that point. Throws a capture error,
  // LaunchAsyncWaitError::alreadyRunning while another capture runs (unchanged, so the
  // caller can tell a deferred capture from a failed one), or CancellationError.
  Task<LaunchSurfaceSnapshot> capture(std::shared_ptr<const RunningApplication> application,
                                      std::optional<GlobalPoint> targetQuartzPoint);

 private:
  struct Selection;
  Task<LaunchSurfaceSnapshot> performCapture(std::shared_ptr<const RunningApplication> application,
                                             std::optional<GlobalPoint> point);
  Task<ShareableContent> loadContent();
  Selection select(const ShareableContent& content, const std::vector<WindowRow>& rows, std::int32_t processID,
                   std::optional<GlobalPoint> point) const;
  Task<std::shared_ptr<const Bitmap>> frontOnlyImage(const LaunchCaptureGroup& group, int width, int height,
                                                     std::int32_t processID, std::shared_ptr<std::atomic<bool>> stop);

  MainLoop& loop_;
  ScreenCaptureService& service_;
  const WindowServer& windowServer_;
  LogSink& log_;
  std::uint8_t alphaThreshold_;
  double maximumCaptureAge_;
  LaunchAsyncGate<LaunchSurfaceSnapshot> requestGate_;
};

}  // namespace quillon
