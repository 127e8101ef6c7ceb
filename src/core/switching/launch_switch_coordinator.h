#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/async/launch_async_gate.h"
#include "core/async/main_loop.h"
#include "core/async/task.h"
#include "core/localization/localized_text.h"
#include "core/platform/workspace.h"
#include "core/records/registry/app_registry.h"
#include "core/support/url.h"
#include "core/support/uuid.h"
#include "core/switching/launch_lifecycle_result.h"
#include "core/switching/launch_status_model.h"

namespace quillon {

class LogSink;

// Knows which registered notch app is the current one and carries out one switch at a
// time: the current app is asked to quit and the selected one is opened, inside a 15 s
// bounded wait whose late outcome is still applied when it arrives. Writes the status
// line of the status model, which says what was left unchanged when something fails.
// Main thread only.
class LaunchSwitchCoordinator {
 public:
  using PerformSwitch = std::function<Task<LaunchLifecycleResult>(ApplicationHandle source, Url url)>;
  static constexpr double defaultSwitchTimeout = 15.0;

  LaunchSwitchCoordinator(AppRegistry& registry, Workspace& workspace, MainLoop& loop, LogSink& log,
                          LaunchStatusModel& status, PerformSwitch performSwitch,
                          double switchTimeout = defaultSwitchTimeout);
  LaunchSwitchCoordinator(const LaunchSwitchCoordinator&) = delete;
  LaunchSwitchCoordinator& operator=(const LaunchSwitchCoordinator&) = delete;
  ~LaunchSwitchCoordinator();

  // Switches to the registered app `id`; true when it is the current app afterwards.
  // A gesture passes the app it began on (both values), the menu passes neither.
  Task<bool> select(Uuid id, std::optional<Uuid> expectedSourceID = std::nullopt,
                    std::optional<std::int32_t> expectedSourcePID = std::nullopt);
  // Re-derives the current app from the running applications. Reading them happens off
  // the main thread, so the result is applied when the returned task completes; a
  // caller that does not need to wait for it may drop the task with `refreshSoon`.
  Task<void> refreshRunningSelection();
  void refreshSoon();
  // After a switch outlived its wait: tells whether the launched app can already be seen.
  Task<void> recheckPending();
  void recheckSoon();

  const std::optional<Uuid>& currentID() const { return currentID_; }
  const ApplicationHandle& currentApplication() const { return currentApplication_; }
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
  Task<void> keepOnly(Uuid id);
  // How keepOnly quits an app (the lifecycle's quit); without it keepOnly does nothing.
  std::function<Task<void>(ApplicationHandle)> quitApplication;

  // The text a failed switch shows for how it failed.
  static std::string failureDescription(const Result<LaunchLifecycleResult>& result);

 private:
  struct PendingTarget {
    Uuid id;
    Url url;
  };
  struct RunningMatch {
    ManagedNotchApp app;
    ApplicationHandle application;
  };

  bool accept(const LaunchLifecycleResult& result, const Uuid& selectedID, const Url& expectedURL);
  void recordSwitchFailure(const std::string& description);
  void applyLateResult(const Uuid& token, const Uuid& id, const Url& url, Result<LaunchLifecycleResult> result);
  std::optional<ManagedNotchApp> launchableApp(const Uuid& id) const;
  // The running applications, or none (logged) when they cannot be read completely.
  Task<std::optional<std::vector<ApplicationHandle>>> runningApplications();
  bool isCurrent(const Uuid& id) const;
  void changed() const;

  AppRegistry& registry_;
  Workspace& workspace_;
  MainLoop& loop_;
  LogSink& log_;
  PerformSwitch performSwitch_;
  double switchTimeout_;
  LaunchAsyncGate<LaunchLifecycleResult> switchGate_;
  Uuid switchGeneration_ = Uuid::random();
  std::optional<Uuid> settledSwitchGeneration_;
  std::optional<PendingTarget> pendingTarget_;
  LaunchStatusModel& status_;
  std::optional<Uuid> currentID_;
  ApplicationHandle currentApplication_;
  bool isSwitching_ = false;
  bool isAwaitingOutcome_ = false;
  std::vector<RunningMatch> severalRunning_;
  TaskHandle refreshTask_;
  TaskHandle recheckTask_;
  // The late-result handler outlives a wait and may outlive the coordinator; it holds
  // this weakly and does nothing once the coordinator is gone.
  std::shared_ptr<LaunchSwitchCoordinator*> self_ = std::make_shared<LaunchSwitchCoordinator*>(this);
};

}  // namespace quillon
