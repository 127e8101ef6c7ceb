// Switching between two real sample apps through the lifecycle (quit one with SIGTERM,
// wait for its exit, open the other, verify it), beside the bare cost of spawning and
// reaping the same executable without Quillon. Prints median and p95 of each phase and
// Quillon's cost as a multiple of the bare spawn.
//
// With an X display (scripts/with-x), also the switch a user makes between the sample
// notch apps Aurora and Tide, from the menu (the item's action to the verified launch)
// and with the gesture (the chord's release to the verified launch), each once with the
// quit wait woken by the exit report and once polling only, with Quillon's own share of
// it (what is left after the quit wait and the open), beside a bare quit of the notch app.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "core/async/clock.h"
#include "core/async/poll_main_loop.h"
#include "core/capture/snapshot_fixture.h"
#include "core/input/launch_input_router.h"
#include "core/input/launch_input_trace.h"
#include "core/input/launch_notch_surface_service.h"
#include "core/overlay/launch_switcher_overlay.h"
#include "core/product/menu_bar_controller.h"
#include "core/records/registry/app_registry.h"
#include "core/switching/launch_app_lifecycle.h"
#include "core/switching/launch_switch_coordinator.h"
#include "linux/detached_process.h"
#include "linux/process_workspace.h"
#include "support/fake_alert_presenter.h"
#include "support/fake_input_system.h"
#include "support/fake_log_sink.h"
#include "support/fake_notch_surfaces.h"
#include "support/fake_overlay_previews.h"
#include "support/fake_screen_capture_service.h"
#include "support/fake_screens.h"
#include "support/fake_status_menu_host.h"
#include "support/fake_switcher_panel_host.h"
#include "support/fake_user_defaults.h"
#include "support/fake_window_server.h"
#include "support/surface_images.h"

extern char** environ;

namespace quillon {
namespace {

struct MenuSamples {
  std::vector<double> total, terminationWait, openCompletion, own, outsideLifecycle;
};
struct Samples {
  std::vector<double> terminationWait, openCompletion, total, bare, detached, bareQuit, scan;
  std::size_t scanned = 0;
  MenuSamples menu[2], gesture[2];  // polling only, exit reported
};
Samples samples;
std::filesystem::path root;

std::filesystem::path makeApp(const std::string& name, const std::string& behaviour) {
  const auto bundle = root / (name + ".app");
  std::filesystem::create_directories(bundle / "Contents/MacOS");
  std::ofstream(bundle / "Contents/Info.plist")
      << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
      << "<key>CFBundleIdentifier</key><string>com.example." << name << "</string>"
      << "<key>CFBundlePackageType</key><string>APPL</string>"
      << "<key>CFBundleExecutable</key><string>" << name << "</string>"
      << "<key>QuillonSampleBehavior</key><string>" << behaviour << "</string></dict></plist>\n";
  const auto executable = bundle / "Contents/MacOS" / name;
  std::filesystem::copy_file(QUILLON_BENCH_SAMPLE_APP, executable, std::filesystem::copy_options::overwrite_existing);
  std::filesystem::permissions(executable, std::filesystem::perms(0755));
  return bundle;
}

// Launched apps are re-parented to this process (a subreaper), so exits are reaped here.
void reapExited() {
  while (::waitpid(-1, nullptr, WNOHANG) > 0) {
  }
}

void BM_BareSpawnAndReap(benchmark::State& state) {
  const std::string executable = (root / "Alpha.app/Contents/MacOS/Alpha").string();
  char* argv[] = {const_cast<char*>(executable.c_str()), const_cast<char*>("exitAtOnce"), nullptr};
  for (auto _ : state) {
    const auto begin = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (::posix_spawn(&pid, executable.c_str(), nullptr, nullptr, argv, environ) != 0) {
      state.SkipWithError("posix_spawn failed");
      break;
    }
    ::waitpid(pid, nullptr, 0);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    state.SetIterationTime(seconds);
    samples.bare.push_back(seconds);
  }
}

// Quillon's own launcher on the same executable: double fork, pidfd hand-over, exec
// status, then the exit observed through the pidfd and the process reaped.
void BM_DetachedSpawnAndReap(benchmark::State& state) {
  const std::string executable = (root / "Alpha.app/Contents/MacOS/Alpha").string();
  for (auto _ : state) {
    const auto begin = std::chrono::steady_clock::now();
    auto process = spawnDetachedProcess(executable, {executable, "exitAtOnce"});
    siginfo_t info{};
    ::waitid(P_PIDFD, static_cast<id_t>(process.pidfd.get()), &info, WEXITED);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    state.SetIterationTime(seconds);
    samples.detached.push_back(seconds);
  }
}

void BM_SwitchBetweenTwoApps(benchmark::State& state) {
  SystemClock clock;
  PollMainLoop loop(clock);
  ProcessWorkspace workspace(loop);
  LaunchAppLifecycle lifecycle(workspace, loop, OwnApplication{}, ::getpid());
  const std::filesystem::path apps[] = {root / "Alpha.app", root / "Beta.app"};
  ApplicationHandle current = ProcessWorkspace::launch(apps[0].string());
  int next = 1;
  for (auto _ : state) {
    std::optional<Result<LaunchLifecycleResult>> outcome;
    auto handle = spawn<LaunchLifecycleResult>(
        loop, lifecycle.switchApplication(current, Url::fileUrl(apps[next].string(), true)),
        [&](Result<LaunchLifecycleResult> r) { outcome.emplace(std::move(r)); });
    if (!loop.runUntil([&] { return outcome.has_value(); }, 30.0) || !outcome->hasValue()) {
      state.SkipWithError("switch failed");
      break;
    }
    const auto& result = outcome->value();
    state.SetIterationTime(result.timings.total);
    samples.terminationWait.push_back(result.timings.terminationWait);
    samples.openCompletion.push_back(result.timings.openCompletion);
    samples.total.push_back(result.timings.total);
    current = result.application;
    next = 1 - next;
    reapExited();
  }
  if (current) current->requestTermination();
  loop.runUntil([&] { return !current || current->isTerminated(); }, 5.0);
  reapExited();
}

// Whether `pid` has taken SIGTERM into its own hands (blocked, for its signalfd): a
// signal from then on is a quit it answers, not the default death of a starting process.
bool answersTerm(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("SigBlk:", 0) == 0) return ((std::stoull(line.substr(7), nullptr, 16) >> (SIGTERM - 1)) & 1) != 0;
  }
  return false;
}

// Quitting the sample notch app without Quillon: from SIGTERM to its exit, seen through
// its pidfd. The counterpart of the switches' terminationWait.
void BM_BareQuit(benchmark::State& state) {
  if (std::getenv("DISPLAY") == nullptr) return state.SkipWithError("the sample notch app needs an X display");
  const std::string executable = std::string(QUILLON_BINARY_DIR) + "/sample-apps/Aurora.app/Contents/MacOS/Aurora";
  for (auto _ : state) {
    auto process = spawnDetachedProcess(executable, {executable});
    const auto started = std::chrono::steady_clock::now();
    while (!answersTerm(process.pid)) {
      if (std::chrono::steady_clock::now() - started > std::chrono::seconds(10)) {
        return state.SkipWithError("the sample notch app did not start");
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const auto begin = std::chrono::steady_clock::now();
    ::kill(process.pid, SIGTERM);
    siginfo_t info{};
    ::waitid(P_PIDFD, static_cast<id_t>(process.pidfd.get()), &info, WEXITED);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    state.SetIterationTime(seconds);
    samples.bareQuit.push_back(seconds);
  }
}

// A running application the platform cannot watch: the quit wait polls, as it did
// before exits were reported.
class PollOnlyApplication final : public RunningApplication {
 public:
  explicit PollOnlyApplication(ApplicationHandle inner) : inner_(std::move(inner)) {}
  std::int32_t processIdentifier() const override { return inner_->processIdentifier(); }
  std::optional<std::string> bundlePath() const override { return inner_->bundlePath(); }
  std::optional<std::string> executablePath() const override { return inner_->executablePath(); }
  std::optional<std::string> bundleIdentifier() const override { return inner_->bundleIdentifier(); }
  bool isTerminated() const override { return inner_->isTerminated(); }
  bool requestTermination() override { return inner_->requestTermination(); }
  int probe() const override { return inner_->probe(); }
  Subscription observeTermination(MainLoop&, std::function<void()>) override { return {}; }

 private:
  ApplicationHandle inner_;
};

class PollOnlyWorkspace final : public Workspace {
 public:
  explicit PollOnlyWorkspace(Workspace& inner) : inner_(inner) {}
  Task<std::vector<ApplicationHandle>> runningApplications() override {
    auto all = co_await inner_.runningApplications();
    for (auto& application : all) application = std::make_shared<PollOnlyApplication>(application);
    co_return all;
  }
  void openApplication(const std::string& bundlePath, OpenCompletion completion) override {
    inner_.openApplication(bundlePath, [completion = std::move(completion)](Result<ApplicationHandle> r) {
      if (r.hasValue()) r = Result<ApplicationHandle>(std::make_shared<PollOnlyApplication>(r.value()));
      completion(std::move(r));
    });
  }
  std::optional<Bitmap> iconForBundle(const std::string&, int) const override { return std::nullopt; }
  bool prefersReducedMotion() const override { return false; }
  bool openUrl(const Url&) override { return false; }

 private:
  Workspace& inner_;
};

// The coordinator's switch operation, keeping the lifecycle's own timings.
Task<LaunchLifecycleResult> timedSwitch(LaunchAppLifecycle& lifecycle, ApplicationHandle source, Url url,
                                        LaunchLifecycleTimings& timings) {
  auto switching = lifecycle.switchApplication(std::move(source), std::move(url));
  auto result = co_await std::move(switching);
  timings = result.timings;
  co_return result;
}

// The coordinator and the lifecycle as the product composes them, over the real
// workspace and the sample notch apps Aurora and Tide, with Aurora running and adopted.
struct LiveSwitching {
  explicit LiveSwitching(benchmark::State& state)
      : exitReported(state.range(0) != 0),
        pollOnly(processes),
        workspace(exitReported ? static_cast<Workspace&>(processes) : pollOnly) {
    const std::string sampleApps = std::string(QUILLON_BINARY_DIR) + "/sample-apps/";
    const std::string bundles[] = {sampleApps + "Aurora.app", sampleApps + "Tide.app"};
    for (int i = 0; i < 2; ++i) {
      const auto app = registry.add(Url::fileUrl(bundles[i], true));
      if (!app) {
        state.SkipWithError("the sample apps are not built");
        return;
      }
      ids[i] = app->id;
      titles[i] = app->displayName;
    }
    first = ProcessWorkspace::launch(bundles[0]);
    coordinator.refreshSoon();
    ready = loop.runUntil([&] { return coordinator.currentID() == ids[0]; }, 10.0);
    if (!ready) state.SkipWithError("the running sample app was not adopted");
  }
  ~LiveSwitching() {
    if (const auto current = coordinator.currentApplication()) {
      current->requestTermination();
      loop.runUntil([&] { return current->isTerminated(); }, 5.0);
    }
    if (first) first->requestTermination();
    reapExited();
  }

  bool switched(int next) {
    return loop.runUntil([&] { return !coordinator.isSwitching() && coordinator.currentID() == ids[next]; }, 30.0);
  }
  // One switch, from `begin` (the user's action) until the new app was verified.
  void record(std::chrono::steady_clock::time_point begin, MenuSamples& into) {
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    into.total.push_back(seconds);
    into.terminationWait.push_back(timings.terminationWait);
    into.openCompletion.push_back(timings.openCompletion);
    into.own.push_back(seconds - timings.terminationWait - timings.openCompletion);
    into.outsideLifecycle.push_back(seconds - timings.total);
    reapExited();
  }

  const bool exitReported;
  SystemClock clock;
  PollMainLoop loop{clock};
  ProcessWorkspace processes{loop};
  PollOnlyWorkspace pollOnly;
  Workspace& workspace;
  FakeUserDefaults defaults;
  FakeLogSink log;
  FakeAlertPresenter alerts{loop};
  AppRegistry registry{SettingsStore(defaults, Url::fileUrl(root.string(), true))};
  LaunchAppLifecycle lifecycle{workspace, loop, OwnApplication{}, ::getpid()};
  LaunchLifecycleTimings timings;
  LaunchStatusModel status;
  LaunchSwitchCoordinator coordinator{
      registry, workspace, loop, log, status, [this](ApplicationHandle source, Url url) {
        return timedSwitch(lifecycle, std::move(source), std::move(url), timings);
      }};
  Uuid ids[2];
  std::string titles[2];
  ApplicationHandle first;
  bool ready = false;
};

bool needsDisplay(benchmark::State& state) {
  if (std::getenv("DISPLAY") != nullptr) return false;
  state.SkipWithError("the sample notch apps need an X display: run under scripts/with-x");
  return true;
}

// The switch a user makes from the menu; the clicks are the items' actions.
void BM_MenuSwitch(benchmark::State& state) {
  if (needsDisplay(state)) return;
  LiveSwitching live(state);
  if (!live.ready) return;
  FakeStatusMenuHost menu;
  MenuBarController controller(menu, live.registry, live.coordinator, live.status, live.alerts, live.loop);
  int next = 1;
  for (auto _ : state) {
    const auto begin = std::chrono::steady_clock::now();
    if (!menu.choose({live.titles[next]})) {
      state.SkipWithError("no menu item for the app");
      break;
    }
    if (!live.switched(next)) {
      state.SkipWithError("switch failed");
      break;
    }
    live.record(begin, samples.menu[live.exitReported ? 1 : 0]);
    state.SetIterationTime(samples.menu[live.exitReported ? 1 : 0].total.back());
    next = 1 - next;
  }
}

// The same switch made with the gesture: the input router over that coordinator, the
// chord held over the running app's notch, one page on, and the release. The switcher's
// panels and the notch probe are the test fakes; timed from the release.
void BM_GestureSwitch(benchmark::State& state) {
  if (needsDisplay(state)) return;
  LiveSwitching live(state);
  if (!live.ready) return;
  constexpr GlobalRect notch{556, 0, 400, 100};
  constexpr ScreenPoint overNotch{756, 950};
  constexpr EventFlags chord = LaunchModifierShortcut::commandFlag;
  FakeScreens screens;
  screens.setScreens({{1, {0, 0, 1512, 982}}});
  FakeWindowServer windowServer;
  FakeScreenCaptureService screenCapture;
  FakeSwitcherPanelHost panels;
  FakeOverlayPreviews previews;
  FakeInputSystem input;
  LaunchSwitcherOverlay overlay{
      {live.clock, live.workspace, screens, windowServer, screenCapture, panels, previews, live.log}};
  auto ownedSurfaces = std::make_unique<FakeNotchSurfaces>(live.loop);
  FakeNotchSurfaces& surfaces = *ownedSurfaces;
  LaunchInputTrace trace(std::nullopt, live.clock);
  LaunchNotchSurfaceService service(
      {live.coordinator, live.registry, live.status, screens, screenCapture, live.loop, live.log, trace},
      std::move(ownedSurfaces));
  LaunchInputRouter router({live.coordinator, live.registry, live.status, service, overlay, input, screens,
                            live.defaults, live.loop, live.log, trace},
                           LaunchModifierShortcut::command());
  auto& into = samples.gesture[live.exitReported ? 1 : 0];
  int next = 1;
  for (auto _ : state) {
    state.PauseTiming();
    const auto source = live.coordinator.currentApplication();
    LaunchWindowTarget target;
    target.processID = source->processIdentifier();
    target.windowID = 77;
    target.frame = notch;
    target.displayFrame = {0, 0, 1512, 982};
    surfaces.expanded = target;
    input.flags = chord;
    router.modifiersChanged(chord, overNotch);
    live.loop.runUntil([&] { return router.session().phase() == LaunchSwitchSession::Phase::active; }, 5.0);
    router.shouldConsumeScroll({.flags = chord, .lineDeltaAxis2 = -10}, overNotch);
    state.ResumeTiming();
    const auto begin = std::chrono::steady_clock::now();
    input.flags = 0;
    router.modifiersChanged(0, overNotch);
    if (!live.switched(next)) {
      state.SkipWithError("switch failed");
      break;
    }
    live.record(begin, into);
    state.SetIterationTime(into.total.back());
    // The new app's readiness check captures it; answered at once, as a fresh probe would.
    const std::int32_t launched = live.coordinator.currentApplication()->processIdentifier();
    while (!surfaces.captures.empty()) {
      surfaces.complete(
          0, testing_snapshots::snapshotOf(
                 filledImage(40, 10, 30, 30, 30, 255), notch,
                 {.processID = launched, .windowID = 77, .windowLayer = 0, .sampledAtUptime = live.clock.uptime()}));
    }
    live.loop.runUntil([&] { return !router.isCheckingReadiness(); }, 5.0);
    next = 1 - next;
  }
  router.stop();
}

// The process-table scan behind runningApplications(), which the one-second refresh
// runs off the main thread: a pidfd, the executable link and, for bundle processes,
// the Info.plist each.
void BM_RunningApplications(benchmark::State& state) {
  for (auto _ : state) {
    const auto begin = std::chrono::steady_clock::now();
    const auto applications = ProcessWorkspace::scanRunningApplications();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    state.SetIterationTime(seconds);
    samples.scan.push_back(seconds);
    samples.scanned = applications.size();
  }
}

BENCHMARK(BM_RunningApplications)->UseManualTime()->Iterations(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareSpawnAndReap)->UseManualTime()->Iterations(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DetachedSpawnAndReap)->UseManualTime()->Iterations(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareQuit)->UseManualTime()->Iterations(40)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SwitchBetweenTwoApps)->UseManualTime()->Iterations(40)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MenuSwitch)
    ->ArgName("exitReported")
    ->Arg(1)
    ->Arg(0)
    ->UseManualTime()
    ->Iterations(40)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GestureSwitch)
    ->ArgName("exitReported")
    ->Arg(1)
    ->Arg(0)
    ->UseManualTime()
    ->Iterations(40)
    ->Unit(benchmark::kMillisecond);

double percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  // Nearest rank: the smallest value with at least `fraction` of the samples at or below it.
  const auto rank = static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(values.size())));
  return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

void printSummary() {
  const double bare = percentile(samples.bare, 0.5);
  std::printf("\n%-32s %12s %12s %16s\n", "phase (n)", "median ms", "p95 ms", "median / bare");
  auto row = [&](const char* name, const std::vector<double>& values) {
    if (values.empty()) return;  // filtered out
    char label[64];
    std::snprintf(label, sizeof label, "%s (%zu)", name, values.size());
    const double median = percentile(values, 0.5);
    std::printf("%-32s %12.3f %12.3f %15.1fx\n", label, median * 1000, percentile(values, 0.95) * 1000,
                bare > 0 ? median / bare : 0.0);
  };
  row("bare spawn+reap", samples.bare);
  row("detached spawn+reap", samples.detached);
  row("bare quit of a notch app", samples.bareQuit);
  row("terminationWait", samples.terminationWait);
  row("openCompletion", samples.openCompletion);
  row("total", samples.total);
  const char* variants[] = {"polling only", "exit reported"};
  for (const auto* kind : {"menu", "gesture"}) {
    const bool gesture = kind[0] == 'g';
    for (int i = 1; i >= 0; --i) {
      const auto& switches = gesture ? samples.gesture[i] : samples.menu[i];
      if (switches.total.empty()) continue;
      std::printf("%s, %s\n", kind, variants[i]);
      row(gesture ? "  release to verified" : "  action to verified", switches.total);
      row("  terminationWait", switches.terminationWait);
      row("  openCompletion", switches.openCompletion);
      row("  Quillon's share", switches.own);
      row(gesture ? "    router and coordinator" : "    menu and coordinator", switches.outsideLifecycle);
    }
  }
  if (samples.scan.empty()) return;
  std::printf("\nrunningApplications(): median %.3f ms, p95 %.3f ms for %zu processes\n",
              percentile(samples.scan, 0.5) * 1000, percentile(samples.scan, 0.95) * 1000, samples.scanned);
}

}  // namespace
}  // namespace quillon

int main(int argc, char** argv) {
  using namespace quillon;
  ::prctl(PR_SET_CHILD_SUBREAPER, 1);
  char pattern[] = "/tmp/quillon-bench-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) return 1;
  root = pattern;
  makeApp("Alpha", "exitOnTerm");
  makeApp("Beta", "exitOnTerm");

  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  printSummary();
  std::filesystem::remove_all(root);
  return 0;
}
