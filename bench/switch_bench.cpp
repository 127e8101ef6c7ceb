// Switching between two real sample apps through the lifecycle (quit one with SIGTERM,
// wait for its exit, open the other, verify it), beside the bare cost of spawning and
// reaping the same executable without Quillon. Prints median and p95 of each phase and
// Quillon's cost as a multiple of the bare spawn.
//
// With an X display (scripts/with-x), also the switch a user makes from the menu
// between the sample notch apps Aurora and Tide: from the item's action to the verified
// launch, once with the quit wait woken by the exit report and once polling only, and
// Quillon's own share of it (what is left after the quit wait and the open).
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "core/app/menu_bar_controller.h"
#include "core/async/launch_clock.h"
#include "core/async/poll_main_loop.h"
#include "core/storage/registry/app_registry.h"
#include "core/switching/launch_app_lifecycle.h"
#include "core/switching/launch_switch_coordinator.h"
#include "linux/detached_process.h"
#include "linux/process_workspace.h"
#include "support/fake_alert_presenter.h"
#include "support/fake_log_sink.h"
#include "support/fake_status_menu_host.h"
#include "support/fake_user_defaults.h"

extern char** environ;

namespace quillon {
namespace {

struct MenuSamples {
  std::vector<double> total, terminationWait, openCompletion, own, outsideLifecycle;
};
struct Samples {
  std::vector<double> terminationWait, openCompletion, total, bare, detached, scan;
  std::size_t scanned = 0;
  MenuSamples menu[2];  // polling only, exit reported
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
  LaunchAppLifecycle lifecycle(workspace, loop, LaunchOwnApplication{}, ::getpid());
  const std::filesystem::path apps[] = {root / "Alpha.app", root / "Beta.app"};
  LaunchApplicationHandle current = ProcessWorkspace::launch(apps[0].string());
  int next = 1;
  for (auto _ : state) {
    std::optional<LaunchResult<LaunchLifecycleResult>> outcome;
    auto handle = spawn<LaunchLifecycleResult>(loop, lifecycle.switchApplication(current, Url::fileUrl(apps[next].string(), true)),
                                               [&](LaunchResult<LaunchLifecycleResult> r) { outcome.emplace(std::move(r)); });
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

// A running application the platform cannot watch: the quit wait polls, as it did
// before exits were reported.
class PollOnlyApplication final : public LaunchRunningApplication {
 public:
  explicit PollOnlyApplication(LaunchApplicationHandle inner) : inner_(std::move(inner)) {}
  std::int32_t processIdentifier() const override { return inner_->processIdentifier(); }
  std::optional<std::string> bundlePath() const override { return inner_->bundlePath(); }
  std::optional<std::string> executablePath() const override { return inner_->executablePath(); }
  std::optional<std::string> bundleIdentifier() const override { return inner_->bundleIdentifier(); }
  bool isTerminated() const override { return inner_->isTerminated(); }
  bool requestTermination() override { return inner_->requestTermination(); }
  int probe() const override { return inner_->probe(); }
  LaunchSubscription observeTermination(LaunchMainLoop&, std::function<void()>) override { return {}; }

 private:
  LaunchApplicationHandle inner_;
};

class PollOnlyWorkspace final : public LaunchWorkspace {
 public:
  explicit PollOnlyWorkspace(LaunchWorkspace& inner) : inner_(inner) {}
  Task<std::vector<LaunchApplicationHandle>> runningApplications() override {
    auto all = co_await inner_.runningApplications();
    for (auto& application : all) application = std::make_shared<PollOnlyApplication>(application);
    co_return all;
  }
  void openApplication(const std::string& bundlePath, OpenCompletion completion) override {
    inner_.openApplication(bundlePath, [completion = std::move(completion)](LaunchResult<LaunchApplicationHandle> r) {
      if (r.hasValue()) r = LaunchResult<LaunchApplicationHandle>(std::make_shared<PollOnlyApplication>(r.value()));
      completion(std::move(r));
    });
  }
  std::optional<Bitmap> iconForBundle(const std::string&, int) const override { return std::nullopt; }
  bool prefersReducedMotion() const override { return false; }
  bool openUrl(const Url&) override { return false; }

 private:
  LaunchWorkspace& inner_;
};

// The coordinator's switch operation, keeping the lifecycle's own timings.
Task<LaunchLifecycleResult> timedSwitch(LaunchAppLifecycle& lifecycle, LaunchApplicationHandle source, Url url,
                                        LaunchLifecycleTimings& timings) {
  auto switching = lifecycle.switchApplication(std::move(source), std::move(url));
  auto result = co_await std::move(switching);
  timings = result.timings;
  co_return result;
}

// The menu, the coordinator and the lifecycle as the product composes them, over the
// real workspace and the sample notch apps' bundles; the clicks are the items' actions.
void BM_MenuSwitch(benchmark::State& state) {
  const bool exitReported = state.range(0) != 0;
  if (std::getenv("DISPLAY") == nullptr) {
    state.SkipWithError("the sample notch apps need an X display: run under scripts/with-x");
    return;
  }
  SystemClock clock;
  PollMainLoop loop(clock);
  ProcessWorkspace processes(loop);
  PollOnlyWorkspace pollOnly(processes);
  LaunchWorkspace& workspace = exitReported ? static_cast<LaunchWorkspace&>(processes) : pollOnly;
  FakeUserDefaults defaults;
  FakeLogSink log;
  FakeStatusMenuHost menu;
  FakeAlertPresenter alerts(loop);
  AppRegistry registry(SettingsStore(defaults, Url::fileUrl(root.string(), true)));
  const std::string sampleApps = std::string(QUILLON_BINARY_DIR) + "/sample-apps/";
  const std::string bundles[] = {sampleApps + "Aurora.app", sampleApps + "Tide.app"};
  LaunchUuid ids[2];
  std::string titles[2];
  for (int i = 0; i < 2; ++i) {
    const auto app = registry.add(Url::fileUrl(bundles[i], true));
    if (!app) return state.SkipWithError("the sample apps are not built");
    ids[i] = app->id;
    titles[i] = app->displayName;
  }
  LaunchAppLifecycle lifecycle(workspace, loop, LaunchOwnApplication{}, ::getpid());
  LaunchLifecycleTimings timings;
  LaunchSwitchCoordinator coordinator(registry, workspace, loop, log, [&](LaunchApplicationHandle source, Url url) {
    return timedSwitch(lifecycle, std::move(source), std::move(url), timings);
  });
  MenuBarController controller(menu, registry, coordinator, alerts, loop);
  const auto first = ProcessWorkspace::launch(bundles[0]);
  coordinator.refreshSoon();
  if (!loop.runUntil([&] { return coordinator.currentID() == ids[0]; }, 10.0)) {
    return state.SkipWithError("the running sample app was not adopted");
  }

  auto& samplesOf = samples.menu[exitReported ? 1 : 0];
  int next = 1;
  for (auto _ : state) {
    const auto begin = std::chrono::steady_clock::now();
    if (!menu.choose({titles[next]})) {
      state.SkipWithError("no menu item for the app");
      break;
    }
    if (!loop.runUntil([&] { return !coordinator.isSwitching() && coordinator.currentID() == ids[next]; }, 30.0)) {
      state.SkipWithError("switch failed");
      break;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    state.SetIterationTime(seconds);
    samplesOf.total.push_back(seconds);
    samplesOf.terminationWait.push_back(timings.terminationWait);
    samplesOf.openCompletion.push_back(timings.openCompletion);
    samplesOf.own.push_back(seconds - timings.terminationWait - timings.openCompletion);
    samplesOf.outsideLifecycle.push_back(seconds - timings.total);
    next = 1 - next;
    reapExited();
  }
  if (const auto current = coordinator.currentApplication()) {
    current->requestTermination();
    loop.runUntil([&] { return current->isTerminated(); }, 5.0);
  }
  first->requestTermination();
  reapExited();
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
BENCHMARK(BM_SwitchBetweenTwoApps)->UseManualTime()->Iterations(40)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MenuSwitch)->ArgName("exitReported")->Arg(1)->Arg(0)->UseManualTime()->Iterations(40)->Unit(
    benchmark::kMillisecond);

double percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  // Nearest rank: the smallest value with at least `fraction` of the samples at or below it.
  const auto rank = static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(values.size())));
  return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

void printSummary() {
  const double bare = percentile(samples.bare, 0.5);
  std::printf("\n%-28s %12s %12s %16s\n", "phase (n)", "median ms", "p95 ms", "median / bare");
  auto row = [&](const char* name, const std::vector<double>& values) {
    if (values.empty()) return;  // filtered out
    char label[64];
    std::snprintf(label, sizeof label, "%s (%zu)", name, values.size());
    const double median = percentile(values, 0.5);
    std::printf("%-28s %12.3f %12.3f %15.1fx\n", label, median * 1000, percentile(values, 0.95) * 1000,
                bare > 0 ? median / bare : 0.0);
  };
  row("bare spawn+reap", samples.bare);
  row("detached spawn+reap", samples.detached);
  row("terminationWait", samples.terminationWait);
  row("openCompletion", samples.openCompletion);
  row("total", samples.total);
  const char* variants[] = {"menu, polling only", "menu, exit reported"};
  for (int i = 1; i >= 0; --i) {
    const auto& menu = samples.menu[i];
    if (menu.total.empty()) continue;
    std::printf("%s\n", variants[i]);
    row("  action to verified", menu.total);
    row("  terminationWait", menu.terminationWait);
    row("  openCompletion", menu.openCompletion);
    row("  Quillon's share", menu.own);
    row("    menu and coordinator", menu.outsideLifecycle);
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
