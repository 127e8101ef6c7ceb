#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "core/async/task.h"
#include "core/capture/launch_surface_capture.h"
#include "core/capture/launch_surface_snapshot.h"
#include "core/capture/launch_window_target.h"
#include "core/support/geometry.h"

namespace quillon {

class LogSink;
class MainLoop;
class RunningApplication;
class ScreenCaptureService;
class WindowServer;
class LaunchWindowTargetProbe;

// How the input router finds and captures a notch app's expanded surface. The router
// decides when to look and what a result means; this decides only what is on screen,
// so a gesture can be driven through every timing of its captures without a screen.
class LaunchNotchSurfaces {
 public:
  LaunchNotchSurfaces() = default;
  LaunchNotchSurfaces(const LaunchNotchSurfaces&) = delete;
  LaunchNotchSurfaces& operator=(const LaunchNotchSurfaces&) = delete;
  virtual ~LaunchNotchSurfaces() = default;

  // The probe's answers, each over a window list read without holding the main thread.
  virtual Task<std::optional<LaunchWindowTarget>> readExpandedTarget(const RunningApplication& application) = 0;
  virtual Task<std::optional<LaunchWindowTarget>> readAndRevalidate(const LaunchSurfaceSnapshot& snapshot,
                                                                    const RunningApplication& application,
                                                                    double maximumAge, bool ignoringOwnOverlay) = 0;
  // Throws what the capture throws: a Error (a capture error, or the wait's
  // alreadyRunning) or CancellationError.
  virtual Task<LaunchSurfaceSnapshot> capture(std::shared_ptr<const RunningApplication> application,
                                              std::optional<GlobalPoint> targetQuartzPoint) = 0;
};

// The real surfaces: the window probe, and the one capture instance of the process,
// which judges interaction at alpha 128 and accepts window lists up to 2.0 s old.
class ProbedNotchSurfaces final : public LaunchNotchSurfaces {
 public:
  ProbedNotchSurfaces(const LaunchWindowTargetProbe& probe, MainLoop& loop, ScreenCaptureService& service,
                      const WindowServer& windowServer, LogSink& log);

  // LaunchNotchSurfaces:
  Task<std::optional<LaunchWindowTarget>> readExpandedTarget(const RunningApplication& application) override;
  Task<std::optional<LaunchWindowTarget>> readAndRevalidate(const LaunchSurfaceSnapshot& snapshot,
                                                            const RunningApplication& application, double maximumAge,
                                                            bool ignoringOwnOverlay) override;
  Task<LaunchSurfaceSnapshot> capture(std::shared_ptr<const RunningApplication> application,
                                      std::optional<GlobalPoint> targetQuartzPoint) override;

 private:
  const LaunchWindowTargetProbe& probe_;
  LaunchSurfaceCapture capture_;
};

}  // namespace quillon
