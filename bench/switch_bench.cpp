// Switching between two real sample apps through the lifecycle (quit one with SIGTERM,
// wait for its exit, open the other, verify it), beside the bare cost of spawning and
// reaping the same executable without Quillon. Prints median and p95 of each phase and
// Quillon's cost as a multiple of the bare spawn.
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

#include "core/async/launch_clock.h"
#include "core/async/poll_main_loop.h"
#include "core/switching/launch_app_lifecycle.h"
#include "linux/detached_process.h"
#include "linux/process_workspace.h"

extern char** environ;

namespace quillon {
namespace {

struct Samples {
  std::vector<double> terminationWait, openCompletion, total, bare, detached, scan;
  std::size_t scanned = 0;
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

double percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  // Nearest rank: the smallest value with at least `fraction` of the samples at or below it.
  const auto rank = static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(values.size())));
  return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

void printSummary() {
  const double bare = percentile(samples.bare, 0.5);
  std::printf("\n%-22s %12s %12s %16s\n", "phase (n)", "median ms", "p95 ms", "median / bare");
  auto row = [&](const char* name, const std::vector<double>& values) {
    if (values.empty()) return;  // filtered out
    char label[64];
    std::snprintf(label, sizeof label, "%s (%zu)", name, values.size());
    const double median = percentile(values, 0.5);
    std::printf("%-22s %12.3f %12.3f %15.1fx\n", label, median * 1000, percentile(values, 0.95) * 1000,
                bare > 0 ? median / bare : 0.0);
  };
  row("bare spawn+reap", samples.bare);
  row("detached spawn+reap", samples.detached);
  row("terminationWait", samples.terminationWait);
  row("openCompletion", samples.openCompletion);
  row("total", samples.total);
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
