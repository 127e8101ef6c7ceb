#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "core/async/main_loop.h"
#include "core/async/subscription.h"
#include "core/async/task.h"
#include "core/capture/launch_capture_issue.h"
#include "core/capture/launch_image_route.h"
#include "core/capture/launch_surface_snapshot.h"
#include "core/capture/launch_window_target.h"
#include "core/display/launch_display_target.h"
#include "core/input/launch_notch_surfaces.h"
#include "core/platform/workspace.h"
#include "core/support/error.h"
#include "core/support/uuid.h"
#include "core/switching/launch_switch_session.h"

namespace quillon {

class AppRegistry;
class LaunchInputTrace;
class LogSink;
class ScreenCaptureService;
class Screens;
class LaunchStatusModel;
class LaunchSwitchCoordinator;

// What the notch-surface service asks of the gesture under way whenever it decides
// something: the input router answers.
class LaunchGestureView {
 public:
  virtual ~LaunchGestureView() = default;
  virtual const LaunchSwitchSession& session() const = 0;
  virtual bool sourceMatchesCurrent() const = 0;
  virtual bool overlayVisible() const = 0;
  // When the press of the gesture under way was admitted (uptime).
  virtual double edgeAtUptime() const = 0;
  // The pointer lies in a top-centre zone where a notch can be.
  virtual bool pointerNearCandidate() const = 0;
};

// What is known of the current notch app's expanded surface: the kept capture and the
// one before it, the background captures that keep it fresh (at most one at a time,
// never while a switch or a readiness check runs), the bounded wait for the new app's
// surface after a switch, and the image status the menu shows when no image can be had.
// A capture that still validates is kept and announced; what it means for the gesture
// is the router's business.
//
// Main thread only. Each capture carries a generation and the session token at its
// start; only the latest generation may clear the running task, so a late completion
// never acts for a newer request.
class LaunchNotchSurfaceService {
 public:
  static constexpr double revalidationMaximumAge = 1.25;
  static constexpr double readinessBudget = 4.0;
  static constexpr double readinessRetryDelay = 0.15;
  static constexpr double snapshotFreshness = 2.0;
  // After the pointer comes onto a notch, a refused capture is tried again this often,
  // for this long: the app expands its surface a moment after the pointer arrives.
  static constexpr double arrivalRetryInterval = 0.015;
  static constexpr double arrivalRetryWindow = 0.3;

  struct Services {
    LaunchSwitchCoordinator& coordinator;
    const AppRegistry& registry;
    LaunchStatusModel& status;
    const Screens& screens;
    ScreenCaptureService& screenCapture;  // asked only whether capture is allowed
    MainLoop& loop;
    LogSink& log;
    LaunchInputTrace& trace;
  };

  // A capture that was kept: it validated as the current app's expanded surface.
  struct AcceptedCapture {
    ApplicationHandle application;
    LaunchWindowTarget target;
    LaunchSurfaceSnapshot snapshot;
    double duration = 0;      // seconds the capture took
    double age = 0;           // seconds since its image was sampled
    bool tokenMatch = false;  // the session is the one the capture began in
  };

  LaunchNotchSurfaceService(Services services, std::unique_ptr<LaunchNotchSurfaces> surfaces);
  ~LaunchNotchSurfaceService();
  LaunchNotchSurfaceService(const LaunchNotchSurfaceService&) = delete;
  LaunchNotchSurfaceService& operator=(const LaunchNotchSurfaceService&) = delete;

  // The gesture whose state decides what a capture means; none stops every task and
  // starts no new one.
  void attach(const LaunchGestureView* gesture);
  Subscription subscribeToAcceptedCaptures(std::function<void(const AcceptedCapture&)> observer) {
    return accepted_.subscribe(std::move(observer));
  }

  const std::optional<LaunchSurfaceSnapshot>& snapshot() const { return snapshot_; }
  const std::optional<LaunchSurfaceSnapshot>& previousSnapshot() const { return previousSnapshot_; }
  // The kept captures no longer describe the screen.
  void forgetSnapshots();
  // The app's expanded surface, over a window list read without holding the main thread.
  Task<std::optional<LaunchWindowTarget>> readExpandedTarget(const RunningApplication& application);
  // The window `kept` (a copy of the kept capture) shows, while it still does (outside
  // the own switcher), over a window list read the same way.
  Task<std::optional<LaunchWindowTarget>> readKeptTarget(const LaunchSurfaceSnapshot& kept,
                                                         const RunningApplication& application);

  // The pointer moved outside a gesture (a refused capture soon after is tried again).
  void pointerMoved();
  // Starts a background capture of the current app unless one would be pointless.
  void prefetch();
  bool isRetryingArrival() const { return arrivalRetryPending_; }
  bool isCapturing() const { return captureTask_.isValid(); }
  void cancelCapture();

  // After a switch: waits, bounded, for the new app's surface on `display`, and says in
  // the menu why there will be no image when none comes.
  void startReadinessCheck(ApplicationHandle application, Uuid selectedID, LaunchDisplayTarget display);
  bool isCheckingReadiness() const { return readinessTask_.isValid(); }
  void cancelReadiness();

  // Tells the menu how switching runs for the current app and why. `sharingState` is
  // the sharing state of the app's notch window, where one was seen.
  void reportImageStatus(const RunningApplication& application, LaunchImageRoute route,
                         std::optional<LaunchCaptureIssue> issue, std::optional<int> sharingState);
  // Permissions changed: every image judgement starts over.
  void forgetImages();
  bool screenCaptureAllowed() const;

 private:
  struct SurfaceReadiness {
    bool ready = false;
    std::optional<LaunchCaptureIssue> issue;
  };
  Task<void> runCapture(Uuid generation, ApplicationHandle application, Uuid token);
  // Whether the capture should be tried again soon.
  Task<bool> completeCapture(std::optional<LaunchSurfaceSnapshot> captured, std::optional<Error> failure,
                             ApplicationHandle application, Uuid token, double startedAt, bool cancelled);
  Task<void> runReadiness(ApplicationHandle application, Uuid selectedID, LaunchDisplayTarget display, Uuid generation);
  Task<SurfaceReadiness> waitForSurface(ApplicationHandle application, LaunchDisplayTarget display);
  std::vector<LaunchDisplayTarget> displayTargets() const;
  void record(std::string_view message);
  void log(std::string_view line);

  Services services_;
  std::unique_ptr<LaunchNotchSurfaces> surfaces_;
  const LaunchGestureView* gesture_ = nullptr;
  ObserverList<const AcceptedCapture&> accepted_;
  std::optional<LaunchSurfaceSnapshot> snapshot_;
  std::optional<LaunchSurfaceSnapshot> previousSnapshot_;
  TaskHandle captureTask_;
  Uuid captureGeneration_ = Uuid::random();
  // A pointer that has just come onto a notch starts a capture before the app has
  // expanded its surface; that capture is refused, and the tick would try again only
  // 0.6 s later, too late for a quick press. Refusals soon after a move are retried.
  double lastMoveAt_ = -1;
  Timer arrivalRetry_;
  bool arrivalRetryPending_ = false;
  TaskHandle readinessTask_;
  Uuid readinessGeneration_ = Uuid::random();
};

}  // namespace quillon
