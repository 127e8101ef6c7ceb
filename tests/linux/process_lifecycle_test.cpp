#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "core/switching/launch_app_lifecycle.h"
#include "linux/process_workspace.h"
#include "support/process_sandbox.h"
#include "support/test_app_bundle.h"

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
    sandbox.track(*application);
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
        [&](LaunchResult<LaunchLifecycleResult> result) {
          if (result.hasValue()) sandbox.track(*result.value().application);
          outcome.emplace(std::move(result));
        });
    EXPECT_TRUE(sandbox.waitFor([&] { return outcome.has_value(); }, 30.0));
    if (!outcome) return LaunchResult<LaunchLifecycleResult>(std::make_exception_ptr(CancellationError{}));
    return std::move(*outcome);
  }
  // Processes of the workspace running from `bundle`.
  std::size_t runningFrom(const std::filesystem::path& bundle) const {
    const auto path = std::filesystem::weakly_canonical(bundle).string();
    const auto all = workspace.runningApplications();
    return static_cast<std::size_t>(
        std::count_if(all.begin(), all.end(), [&](const auto& a) { return a->bundlePath() == path; }));
  }
  static LaunchLifecycleError lifecycleError(const LaunchResult<LaunchLifecycleResult>& result) {
    try {
      std::rethrow_exception(result.error());
    } catch (LaunchLifecycleError error) {
      return error;
    } catch (...) {
      ADD_FAILURE() << "not a lifecycle error";
    }
    return LaunchLifecycleError::alreadySwitching;
  }
};

TEST_F(ProcessLifecycleTest, QuitsTheRunningAppAndOpensTheSelectedOne) {
  const auto alpha = sandbox.makeApp("Alpha", "exitOnTerm");
  const auto beta = sandbox.makeApp("Beta", "exitOnTerm", "com.example.beta");
  auto subject = lifecycle();
  const auto source = openRunning(alpha);

  const auto result = switchApps(subject, source, beta);
  ASSERT_TRUE(result.hasValue());
  EXPECT_TRUE(source->isTerminated());
  const auto& launched = result.value().application;
  EXPECT_TRUE(isAlive(launched.get()));
  EXPECT_EQ(std::filesystem::canonical(beta).string(), launched->bundlePath());
  EXPECT_EQ("com.example.beta", launched->bundleIdentifier());
  EXPECT_FALSE(result.value().wasAlreadySelected);
  const auto& timings = result.value().timings;
  EXPECT_GE(timings.terminationWait, 0);
  EXPECT_GT(timings.openCompletion, 0);
  EXPECT_GE(timings.total, timings.terminationWait + timings.openCompletion);
  EXPECT_EQ(0u, runningFrom(alpha));
  EXPECT_EQ(1u, runningFrom(beta));
}

TEST_F(ProcessLifecycleTest, AppIgnoringTheQuitRequestTimesOutAndNothingOpens) {
  const auto stubborn = sandbox.makeApp("Stubborn", "ignoreTerm");
  const auto beta = sandbox.makeApp("Beta", "exitOnTerm");
  auto subject = lifecycle(0.3);
  const auto source = openRunning(stubborn);

  const auto result = switchApps(subject, source, beta);
  EXPECT_EQ(LaunchLifecycleError::terminationTimedOut, lifecycleError(result));
  EXPECT_TRUE(isAlive(source.get()));
  EXPECT_EQ(0u, runningFrom(beta));
  EXPECT_FALSE(subject.isSwitching());
}

TEST_F(ProcessLifecycleTest, AppThatExitedBeforeTheRequestIsNotWaitedFor) {
  const auto flash = sandbox.makeApp("Flash", "exitAtOnce");
  const auto beta = sandbox.makeApp("Beta", "exitOnTerm");
  auto subject = lifecycle();
  const auto source = openRunning(flash, false);
  ASSERT_TRUE(sandbox.waitFor([&] { return source->isTerminated(); }));

  const auto result = switchApps(subject, source, beta);
  ASSERT_TRUE(result.hasValue());
  EXPECT_EQ(0, result.value().timings.terminationWait);
  EXPECT_TRUE(isAlive(result.value().application.get()));
}

TEST_F(ProcessLifecycleTest, RunningTheSelectedAppAlreadyChangesNothing) {
  const auto alpha = sandbox.makeApp("Alpha", "exitOnTerm");
  auto subject = lifecycle();
  const auto source = openRunning(alpha);
  const auto result = switchApps(subject, source, alpha);
  ASSERT_TRUE(result.hasValue());
  EXPECT_TRUE(result.value().wasAlreadySelected);
  EXPECT_EQ(source, result.value().application);
  EXPECT_TRUE(isAlive(source.get()));
  EXPECT_EQ(1u, runningFrom(alpha));
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

TEST_F(ProcessLifecycleTest, BundleSwappedForALinkWhileTheOldAppQuitsOpensNothing) {
  const auto alpha = sandbox.makeApp("Alpha", "exitOnTermAfter");
  const auto beta = sandbox.makeApp("Beta", "exitOnTerm");
  const auto gamma = sandbox.makeApp("Gamma", "exitOnTerm");
  auto subject = lifecycle();
  const auto source = std::make_shared<QuitHookApplication>(openRunning(alpha), [&] {
    std::filesystem::rename(beta, sandbox.path("Beta-old.app"));
    std::filesystem::create_directory_symlink(gamma, beta);
  });

  const auto result = switchApps(subject, source, beta);
  EXPECT_EQ(LaunchLifecycleError::invalidApplicationURL, lifecycleError(result));
  EXPECT_TRUE(source->isTerminated()) << "the old app had already been asked and has quit";
  EXPECT_EQ(0u, runningFrom(gamma));
  EXPECT_EQ(0u, runningFrom(sandbox.path("Beta-old.app")));
}

}  // namespace
}  // namespace quillon
