#include "core/input/launch_notch_surfaces.h"

#include "core/capture/launch_window_target_probe.h"

namespace quillon {

ProbedNotchSurfaces::ProbedNotchSurfaces(const LaunchWindowTargetProbe& probe, MainLoop& loop,
                                         ScreenCaptureService& service, const WindowServer& windowServer, LogSink& log)
    : probe_(probe), capture_(loop, service, windowServer, log, 128, 2.0) {}

Task<std::optional<LaunchWindowTarget>> ProbedNotchSurfaces::readExpandedTarget(const RunningApplication& application) {
  return probe_.readExpandedTarget(application);
}

Task<std::optional<LaunchWindowTarget>> ProbedNotchSurfaces::readAndRevalidate(const LaunchSurfaceSnapshot& snapshot,
                                                                               const RunningApplication& application,
                                                                               double maximumAge,
                                                                               bool ignoringOwnOverlay) {
  return probe_.readAndRevalidate(snapshot, application, maximumAge, ignoringOwnOverlay);
}

Task<LaunchSurfaceSnapshot> ProbedNotchSurfaces::capture(std::shared_ptr<const RunningApplication> application,
                                                         std::optional<GlobalPoint> targetQuartzPoint) {
  return capture_.capture(std::move(application), targetQuartzPoint);
}

}  // namespace quillon
