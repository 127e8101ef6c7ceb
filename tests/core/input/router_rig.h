#pragma once

#include <deque>
#include <fstream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/capture/snapshot_fixture.h"
#include "core/input/launch_input_router.h"
#include "core/input/launch_input_trace.h"
#include "core/overlay/launch_switcher_overlay.h"
#include "core/switching/launch_switch_coordinator.h"
#include "support/fake_input_system.h"
#include "support/fake_log_sink.h"
#include "support/fake_notch_surfaces.h"
#include "support/fake_overlay_previews.h"
#include "support/fake_screen_capture_service.h"
#include "support/fake_screens.h"
#include "support/fake_switcher_panel_host.h"
#include "support/fake_window_server.h"
#include "support/fake_workspace.h"
#include "support/manual_main_loop.h"
#include "support/registry_test_support.h"
#include "support/surface_images.h"

namespace quillon::router_testing {

constexpr EventFlags kCommand = LaunchModifierShortcut::commandFlag;
constexpr EventFlags kShift = LaunchModifierShortcut::shiftFlag;
constexpr GlobalRect kNotch{556, 0, 400, 100};
constexpr GlobalRect kDisplay{0, 0, 1512, 982};
constexpr ScreenPoint kOverNotch{756, 950};

// The router on fakes: three registered apps on disk with Aurora running (pid 101), the
// real coordinator and overlay, switches that wait for the test, captures that wait for
// the test, and a trace file when asked for one.
struct RouterRig : registry_testing::RegistryFixture {
  struct Switch {
    ApplicationHandle source;
    Url url;
    Completion<LaunchLifecycleResult> complete;
  };

  explicit RouterRig(bool traced = false) {
    screens.setScreens({{1, {0, 0, 1512, 982}}});
    running = run(aurora, 101);
    runTask(loop, coordinator.refreshRunningSelection());
    surfaces->expanded = target(101);
    trace.emplace(traced ? std::optional((root / "trace.log").string()) : std::nullopt, clock);
    service.emplace(
        LaunchNotchSurfaceService::Services{coordinator, registry, status, screens, screenCapture, loop, log, *trace},
        std::move(ownedSurfaces));
    router = std::make_unique<LaunchInputRouter>(
        LaunchInputRouter::Services{coordinator, registry, status, *service, overlay, input, screens, defaults, loop,
                                    log, *trace},
        LaunchModifierShortcut::command());
  }

  // A switch a test left hanging is answered, so that its suspended frames finish.
  ~RouterRig() {
    while (!switches.empty()) finishSwitch(std::nullopt);
  }

  std::shared_ptr<FakeRunningApplication> run(const ManagedNotchApp& app, std::int32_t pid) {
    auto process = FakeRunningApplication::make(pid, app.bundleURL.path(), app.bundleIdentifier);
    workspace.applications.push_back(process);
    return process;
  }
  static LaunchWindowTarget target(std::int32_t pid) {
    LaunchWindowTarget target;
    target.processID = pid;
    target.windowID = 77;
    target.frame = kNotch;
    target.displayFrame = kDisplay;
    return target;
  }
  LaunchSurfaceSnapshot snapshot(std::int32_t pid, double age = 0.1) const {
    return testing_snapshots::snapshotOf(
        filledImage(40, 10, 30, 30, 30, 255), kNotch,
        {.processID = pid, .windowID = 77, .windowLayer = 0, .sampledAtUptime = clock.uptime() - age});
  }
  void modifiers(EventFlags flags) {
    input.flags = flags;
    router->modifiersChanged(flags, kOverNotch);
    loop.runUntilIdle();
  }
  bool scroll(double dx, EventFlags flags = kCommand, std::int64_t phase = 0, std::int64_t momentum = 0) {
    ScrollEvent event{.flags = flags, .scrollPhase = phase, .momentumPhase = momentum, .lineDeltaAxis2 = dx};
    const bool swallowed = router->shouldConsumeScroll(event, kOverNotch);
    loop.runUntilIdle();
    return swallowed;
  }
  // Press, show the switcher, and page `steps` cards to the right.
  void gesture(int steps) {
    modifiers(kCommand);
    for (int i = 0; i < steps; ++i) {
      clock.advance(0.5);
      scroll(-10);
    }
  }
  void finishSwitch(std::optional<std::int32_t> launchedPID) {
    auto call = std::move(switches.front());
    switches.pop_front();
    if (!launchedPID) {
      call.complete(Result<LaunchLifecycleResult>(std::make_exception_ptr(std::runtime_error("refused"))));
    } else {
      std::static_pointer_cast<FakeRunningApplication>(call.source)->terminated = true;
      for (const auto& app : registry.launchableApps()) {
        if (*registry.resolvedURL(app) == call.url) running = run(app, *launchedPID);
      }
      call.complete(Result<LaunchLifecycleResult>(LaunchLifecycleResult{running, {}}));
    }
    loop.runUntilIdle();
  }
  std::vector<std::string> traceLines() {
    trace->flush();
    std::vector<std::string> lines;
    std::ifstream file(root / "trace.log");
    for (std::string line; std::getline(file, line);) lines.push_back(line.substr(line.find(' ') + 1));
    return lines;
  }

  ManualClock clock;
  ManualMainLoop loop{clock};
  FakeWorkspace workspace;
  FakeLogSink log;
  AppRegistry registry{makeStore()};
  ManagedNotchApp aurora = *registry.add(directoryUrl(app("Aurora", "com.example.Aurora")));
  ManagedNotchApp ember = *registry.add(directoryUrl(app("Ember", "com.example.Ember")));
  ManagedNotchApp tide = *registry.add(directoryUrl(app("Tide", "com.example.Tide")));
  std::deque<Switch> switches;
  int switchCalls = 0;
  LaunchStatusModel status;
  LaunchSwitchCoordinator coordinator{
      registry, workspace, loop, log, status, [this](ApplicationHandle source, Url url) -> Task<LaunchLifecycleResult> {
        std::function<void(Completion<LaunchLifecycleResult>)> start = [this, source,
                                                                        url](Completion<LaunchLifecycleResult> done) {
          ++switchCalls;
          switches.push_back({source, url, std::move(done)});
        };
        co_return co_await awaitCallback<LaunchLifecycleResult>(loop, start);
      }};
  FakeScreens screens;
  FakeWindowServer windowServer;
  FakeScreenCaptureService screenCapture;
  FakeSwitcherPanelHost panels;
  FakeOverlayPreviews previews;
  LaunchSwitcherOverlay overlay{{clock, workspace, screens, windowServer, screenCapture, panels, previews, log}};
  FakeInputSystem input;
  std::unique_ptr<FakeNotchSurfaces> ownedSurfaces = std::make_unique<FakeNotchSurfaces>(loop);
  FakeNotchSurfaces* surfaces = ownedSurfaces.get();
  std::optional<LaunchInputTrace> trace;
  std::optional<LaunchNotchSurfaceService> service;
  std::shared_ptr<FakeRunningApplication> running;
  std::unique_ptr<LaunchInputRouter> router;
};

}  // namespace quillon::router_testing
