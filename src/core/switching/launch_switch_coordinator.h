#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/async/launch_async_gate.h"
#include "core/async/launch_main_loop.h"
#include "core/async/launch_task.h"
#include "core/localization/localized_text.h"
#include "core/platform/launch_workspace.h"
#include "core/storage/registry/app_registry.h"
#include "core/support/launch_uuid.h"
#include "core/support/url.h"
#include "core/switching/launch_lifecycle_result.h"
#include "core/switching/launch_status_model.h"

namespace quillon {

class LaunchLogSink;

// Knows which registered notch app is the current one and carries out one switch at a
// time: the current app is asked to quit and the selected one is opened, inside a 15 s
// bounded wait whose late outcome is still applied when it arrives. Writes the status
// line of the status model, which says what was left unchanged when something fails.
// Main thread only.
class LaunchSwitchCoordinator {
 public:
  using PerformSwitch = std::function<Task<LaunchLifecycleResult>(LaunchApplicationHandle source, Url url)>;
  static constexpr double defaultSwitchTimeout = 15.0;

  LaunchSwitchCoordinator(AppRegistry& registry, LaunchWorkspace& workspace, LaunchMainLoop& loop, LaunchLogSink& log,
                          LaunchStatusModel& status, PerformSwitch performSwitch,
                          double switchTimeout = defaultSwitchTimeout);
  LaunchSwitchCoordinator(const LaunchSwitchCoordinator&) = delete;
  LaunchSwitchCoordinator& operator=(const LaunchSwitchCoordinator&) = delete;
  ~LaunchSwitchCoordinator();

  // Switches to the registered app `id`; true when it is the current app afterwards.
  // A gesture passes the app it began on (both values), the menu passes neither.
  Task<bool> select(LaunchUuid id, std::optional<LaunchUuid> expectedSourceID = std::nullopt,
                    std::optional<std::int32_t> expectedSourcePID = std::nullopt);
  // Re-derives the current app from the running applications. Reading them happens off
  // the main thread, so the result is applied when the returned task completes; a
  // caller that does not need to wait for it may drop the task with `refreshSoon`.
  Task<void> refreshRunningSelection();
  void refreshSoon();
  // After a switch outlived its wait: tells whether the launched app can already be seen.
  Task<void> recheckPending();
  void recheckSoon();

  const std::optional<LaunchUuid>& currentID() const { return currentID_; }
  const LaunchApplicationHandle& currentApplication() const { return currentApplication_; }
  bool isSwitching() const { return isSwitching_; }
  bool isAwaitingOutcome() const { return isAwaitingOutcome_; }

  // Called after every published change; the menu rebuilds itself from it.
  std::function<void()> onChange;

  // The registered apps the last refresh found running together (two or more, as after
  // a crash or a start elsewhere); empty otherwise.
  std::vector<ManagedNotchApp> severalRunning() const;
  // Keeps the running app `id` of those and quits the others as a switch quits its
  // source: normally, within the same limit, never forced. A quit that is refused or
  // runs out of time is reported in the status; then what is left is adopted.
  Task<void> keepOnly(LaunchUuid id);
  // How keepOnly quits an app (the lifecycle's quit); without it keepOnly does nothing.
  std::function<Task<void>(LaunchApplicationHandle)> quitApplication;

  // The text a failed switch shows for how it failed.
  static std::string failureDescription(const LaunchResult<LaunchLifecycleResult>& result);

 private:
  struct PendingTarget {
    LaunchUuid id;
    Url url;
  };
  struct RunningMatch {
    ManagedNotchApp app;
    LaunchApplicationHandle application;
  };

  bool accept(const LaunchLifecycleResult& result, const LaunchUuid& selectedID, const Url& expectedURL);
  void recordSwitchFailure(const std::string& description);
  void applyLateResult(const LaunchUuid& token, const LaunchUuid& id, const Url& url,
                       LaunchResult<LaunchLifecycleResult> result);
  std::optional<ManagedNotchApp> launchableApp(const LaunchUuid& id) const;
  // The running applications, or none (logged) when they cannot be read completely.
  Task<std::optional<std::vector<LaunchApplicationHandle>>> runningApplications();
  bool isCurrent(const LaunchUuid& id) const;
  void changed() const;

  AppRegistry& registry_;
  LaunchWorkspace& workspace_;
  LaunchMainLoop& loop_;
  LaunchLogSink& log_;
  PerformSwitch performSwitch_;
  double switchTimeout_;
  LaunchAsyncGate<LaunchLifecycleResult> switchGate_;
  LaunchUuid switchGeneration_ = LaunchUuid::random();
  std::optional<LaunchUuid> settledSwitchGeneration_;
  std::optional<PendingTarget> pendingTarget_;
  LaunchStatusModel& status_;
  std::optional<LaunchUuid> currentID_;
  LaunchApplicationHandle currentApplication_;
  bool isSwitching_ = false;
  bool isAwaitingOutcome_ = false;
  std::vector<RunningMatch> severalRunning_;
  LaunchTaskHandle refreshTask_;
  LaunchTaskHandle recheckTask_;
  // The late-result handler outlives a wait and may outlive the coordinator; it holds
  // this weakly and does nothing once the coordinator is gone.
  std::shared_ptr<LaunchSwitchCoordinator*> self_ = std::make_shared<LaunchSwitchCoordinator*>(this);
};

}  // namespace quillon
