#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/async/main_loop.h"
#include "core/async/subscription.h"
#include "core/async/task.h"
#include "core/capture/launch_surface_snapshot.h"
#include "core/capture/launch_window_target.h"
#include "core/display/launch_display_target.h"
#include "core/input/input_router.h"
#include "core/input/launch_notch_surface_service.h"
#include "core/input/scroll_accumulator.h"
#include "core/platform/workspace.h"
#include "core/records/preferences/launch_shortcut_state.h"
#include "core/support/geometry.h"
#include "core/support/uuid.h"
#include "core/switching/launch_switch_session.h"

namespace quillon {

class AppRegistry;
class LaunchEscapeTap;
class InputSystem;
class LaunchInputTrace;
class LogSink;
class Screens;
class LaunchStatusModel;
class LaunchSwitchCoordinator;
class LaunchSwitcherOverlay;
class UserDefaults;

// The switch gesture's state machine: chord pressed over the running notch app, switcher
// shown once that app's expanded surface is confirmed, horizontal scrolls page through
// the carousel, release commits. It decides which scrolls and Escape presses are
// swallowed, traces why each press was admitted or refused, and cancels on every
// disturbance (another modifier, a lost source app, Escape, a lost panel, a changed
// screen or permission). The notch-surface service keeps the captures: the router tells
// it when to look (pointer moves, ticks, the preparation, a finished switch) and decides
// what an accepted capture means for the gesture (show the switcher, or upgrade its
// first card).
//
// Main thread only. Every asynchronous step belongs to the router (dropped with it) and
// carries the session token, re-checked after each suspension, so a step begun for one
// gesture never acts on a later one.
class LaunchInputRouter final : public ModifierInputRouter, private LaunchGestureView {
 public:
  static constexpr double tickInterval = 0.6;
  static constexpr double preparationDeadline = 4.0;
  static constexpr double uncoverWatchdog = 15.0;
  static constexpr double failureMessageHold = 1.5;

  struct Services {
    LaunchSwitchCoordinator& coordinator;
    const AppRegistry& registry;
    const LaunchStatusModel& status;  // the failure text a failed switch shows
    LaunchNotchSurfaceService& surfaces;
    LaunchSwitcherOverlay& overlay;
    InputSystem& input;
    const Screens& screens;
    const UserDefaults& defaults;  // the scroll tuning
    MainLoop& loop;
    LogSink& log;
    LaunchInputTrace& trace;
  };

  // Reads the modifiers down now, so a chord already held at start must be released
  // before it can press, and starts the 0.6 s tick.
  LaunchInputRouter(Services services, LaunchModifierShortcut shortcut);
  ~LaunchInputRouter() override;
  LaunchInputRouter(const LaunchInputRouter&) = delete;
  LaunchInputRouter& operator=(const LaunchInputRouter&) = delete;

  // ModifierInputRouter:
  void modifiersChanged(EventFlags flags, ScreenPoint cursor) override;
  void inputObservationInterrupted(EventFlags currentFlags) override;
  void commandChanged(bool isDown, ScreenPoint cursor) override;
  void cursorMoved(ScreenPoint to) override;
  bool shouldConsumeScroll(const ScrollEvent& event, ScreenPoint cursor) override;

  // Ends the gesture unless a switch is being committed.
  void cancel(std::string_view reason);
  // The permissions changed: the gesture ends and every image judgement starts over.
  void permissionsChanged();
  // The screen configuration changed: the gesture ends and kept captures no longer
  // describe the screen.
  void screensChanged();
  void updateShortcut(LaunchModifierShortcut shortcut);
  // Stops the tick and every task, ends the gesture and takes the switcher down.
  void stop();

  const LaunchSwitchSession& session() const override { return session_; }
  bool isCommandHeld() const { return commandHeld_; }
  const LaunchShortcutState& shortcutState() const { return shortcutState_; }
  const std::optional<LaunchSurfaceSnapshot>& snapshot() const { return services_.surfaces.snapshot(); }
  bool isCapturing() const { return services_.surfaces.isCapturing(); }
  bool isCheckingReadiness() const { return services_.surfaces.isCheckingReadiness(); }
  bool hasEscapeTap() const { return escapeTap_ != nullptr; }
  bool isCommitting() const { return commitTask_.isValid(); }
  bool isTicking() const { return timer_.isActive(); }
  // A capture refused just after the pointer came onto a notch is waiting to be retried.
  bool isRetryingArrival() const { return services_.surfaces.isRetryingArrival(); }
  const ScreenRect& originFrame() const { return originFrame_; }

  // The switcher is up: a panel that is shown and kept above every window.
  bool overlayVisible() const override;
  bool sourceMatchesCurrent() const override;

 private:
  void press(ScreenPoint cursor);
  void release(ScreenPoint cursor);
  void edgeStep(Uuid token, const ApplicationHandle& application);
  Task<void> probeAtEdge(Uuid token, ApplicationHandle application);
  Task<void> probeWhilePreparing(Uuid token, ApplicationHandle application);
  bool activateInitial(const Uuid& token, const ApplicationHandle& application, const LaunchWindowTarget& target,
                       const LaunchSurfaceSnapshot* snapshot);
  void tick();
  void captureAccepted(const LaunchNotchSurfaceService::AcceptedCapture& capture);
  void commit(const Uuid& target);
  Task<void> runCommit(Uuid target, Uuid sourceID, std::int32_t sourcePID, std::optional<LaunchDisplayTarget> display);
  Task<void> runWatchdog(Uuid token);
  void clearCommitState();
  void installEscapeHandling();
  void removeEscapeHandling();
  void resetChordState(LaunchModifierShortcut shortcut, EventFlags flags);
  bool nearCandidate(ScreenPoint point) const;
  // LaunchGestureView:
  double edgeAtUptime() const override { return edgeAtUptime_; }
  bool pointerNearCandidate() const override { return nearCandidate(cursor_); }
  // The displays as last asked, kept until they change: the idle tick asks where the
  // pointer is on every tick, and each question would be a round trip to the server.
  const std::vector<Screen>& knownScreens() const;
  std::vector<LaunchDisplayTarget> displayTargets() const;
  void record(std::string_view message);
  void log(std::string_view line);

  Services services_;
  InputTuning tuning_;
  LaunchSwitchSession session_;
  ScrollAccumulator accumulator_;
  LaunchShortcutState shortcutState_;
  bool commandHeld_ = false;
  ScreenPoint cursor_;
  mutable std::optional<std::vector<Screen>> knownScreens_;
  ScreenRect originFrame_;
  TaskHandle commitTask_;
  TaskHandle watchdogTask_;
  TaskHandle probeTask_;  // the probe for the notch surface in flight, if any
  Timer timer_;
  std::unique_ptr<LaunchEscapeTap> escapeTap_;
  double activeSince_ = 0;
  double edgeAtUptime_ = 0;
  ApplicationHandle sourceApplication_;
  std::optional<Uuid> sourceID_;
  std::optional<LaunchWindowTarget> fallbackEdgeTarget_;
  Subscription acceptedCaptures_;
  // Posted steps (the edge step, a retired Escape tap) hold this weakly and do nothing
  // once the router is gone.
  std::shared_ptr<LaunchInputRouter*> self_ = std::make_shared<LaunchInputRouter*>(this);
};

}  // namespace quillon
