#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "core/switching/launch_app_lifecycle.h"
#include "linux/process_workspace.h"
#include "support/process_sandbox.h"
#include "support/test_app_bundle.h"  // directoryUrl

namespace quillon {
namespace {

// Forwards to a real handle and runs `hook` right after the quit request, while the
// old process is quitting.
class QuitHookApplication final : public LaunchRunningApplication {
 public:
  QuitHookApplication(LaunchApplicationHandle inner, std::function<void()> hook)
      : inner_(std::move(inner)), hook_(std::move(hook)) {}
  std::int32_t processIdentifier() const override { return inner_->processIdentifier(); }
  std::optional<std::string> bundlePath() const override { return inner_->bundlePath(); }
  std::optional<std::string> executablePath() const override { return inner_->executablePath(); }
  std::optional<std::string> bundleIdentifier() const override { return inner_->bundleIdentifier(); }
  bool isTerminated() const override { return inner_->isTerminated(); }
  bool requestTermination() override {
    const bool accepted = inner_->requestTermination();
    if (hook_) std::exchange(hook_, nullptr)();
    return accepted;
  }
  int probe() const override { return inner_->probe(); }

 private:
  LaunchApplicationHandle inner_;
  std::function<void()> hook_;
};

// Switches between real sample apps on a real loop. The quit limit is short: the
// sample apps that quit do so within milliseconds.
struct ProcessLifecycleTest : ::testing::Test {
  ProcessSandbox sandbox;
  ProcessWorkspace workspace{sandbox.loop};

  LaunchAppLifecycle lifecycle(double quitLimit = 2.0) {
    return LaunchAppLifecycle(workspace, sandbox.loop, LaunchOwnApplication{}, ::getpid(), quitLimit);
  }
  LaunchApplicationHandle openRunning(const std::filesystem::path& bundle, bool waitUntilReady = true) {
    LaunchApplicationHandle application = ProcessWorkspace::launch(bundle.string());
    if (waitUntilReady) {
      EXPECT_TRUE(sandbox.waitUntilReady(application->processIdentifier()));
    }
    return application;
  }
  LaunchResult<LaunchLifecycleResult> switchApps(LaunchAppLifecycle& subject, LaunchApplicationHandle source,
                                                 const std::filesystem::path& target) {
    std::optional<LaunchResult<LaunchLifecycleResult>> outcome;
    auto handle = spawn<LaunchLifecycleResult>(
        sandbox.loop, subject.switchApplication(std::move(source), directoryUrl(target)),
        [&](LaunchResult<LaunchLifecycleResult> result) { outcome.emplace(std::move(result)); });
    EXPECT_TRUE(sandbox.waitFor([&] { return outcome.has_value(); }, 30.0));
    if (!outcome) return LaunchResult<LaunchLifecycleResult>(std::make_exception_ptr(CancellationError{}));
    return std::move(*outcome);
  }
  // Processes of the workspace running from `bundle`.
  std::size_t runningFrom(const std::filesystem::path& bundle) const {
    const auto path = std::filesystem::weakly_canonical(bundle).string();
    const auto all = ProcessWorkspace::scanRunningApplications();
    return static_cast<std::size_t>(
        std::count_if(all.begin(), all.end(), [&](const auto& a) { return a->bundlePath() == path; }));
  }
};

// Each source runs from its own bundle; the quit limit is short for the app that
// ignores the request.
TEST_F(ProcessLifecycleTest, QuitsTheRunningAppUnlessItIsGoneSelectedOrStubborn) {
  struct Row {
    const char* name;
    const char* behaviour;
    double quitLimit;
    bool targetIsSource;
    std::optional<LaunchLifecycleError> error;
    bool sourceRunsAfter;
    std::size_t targetRunsAfter;
  } rows[] = {
      {"Quitting", "exitOnTerm", 2.0, false, std::nullopt, false, 1},
      {"Stubborn", "ignoreTerm", 0.3, false, LaunchLifecycleError::terminationTimedOut, true, 0},
      {"ExitedBefore", "exitAtOnce", 2.0, false, std::nullopt, false, 1},
      {"Selected", "exitOnTerm", 2.0, true, std::nullopt, true, 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string name = row.name;
    const bool exitsAtOnce = name == "ExitedBefore";
    const auto from = sandbox.makeApp(name + "Source", row.behaviour);
    const auto to = row.targetIsSource ? from : sandbox.makeApp(name + "Target", "exitOnTerm");
    auto subject = lifecycle(row.quitLimit);
    const auto source = openRunning(from, !exitsAtOnce);
    if (exitsAtOnce) {
      ASSERT_TRUE(sandbox.waitFor([&] { return source->isTerminated(); }));
    }

    const auto result = switchApps(subject, source, to);
    EXPECT_EQ(row.error, failure<LaunchLifecycleError>(result));
    EXPECT_EQ(row.sourceRunsAfter, isAlive(source.get()));
    EXPECT_EQ(row.targetRunsAfter, runningFrom(to));
    EXPECT_FALSE(subject.isSwitching());
    if (!result.hasValue()) continue;
    EXPECT_TRUE(isAlive(result.value().application.get()));
    EXPECT_EQ(row.targetIsSource, result.value().wasAlreadySelected);
    if (row.targetIsSource) {
      EXPECT_EQ(source, result.value().application);
    }
    if (exitsAtOnce) {
      EXPECT_EQ(0, result.value().timings.terminationWait) << "not waited for";
    }
  }
}

// An update installs a new executable over the old one while the old app quits: the
// new file is what starts.
TEST_F(ProcessLifecycleTest, ExecutableReplacedWhileTheOldAppQuitsLaunchesTheNewFile) {
  const auto alpha = sandbox.makeApp("Alpha", "exitOnTermAfter");
  const auto beta = sandbox.makeApp("Beta", "exitOnTerm");
  const auto executable = beta / "Contents/MacOS/Beta";
  auto subject = lifecycle();
  const auto source = std::make_shared<QuitHookApplication>(openRunning(alpha), [&] {
    const auto fresh = beta / "Contents/MacOS/Beta.new";
    std::filesystem::copy_file(executable, fresh);
    std::filesystem::rename(fresh, executable);
  });

  const auto result = switchApps(subject, source, beta);
  ASSERT_TRUE(result.hasValue());
  const auto pid = result.value().application->processIdentifier();
  struct stat running {}, installed {};
  ASSERT_EQ(0, ::stat(("/proc/" + std::to_string(pid) + "/exe").c_str(), &running));
  ASSERT_EQ(0, ::stat(executable.c_str(), &installed));
  EXPECT_EQ(installed.st_ino, running.st_ino);
}

}  // namespace
}  // namespace quillon
