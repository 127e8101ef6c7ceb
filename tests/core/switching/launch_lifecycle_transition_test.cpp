#include "core/switching/launch_lifecycle_transition.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/platform/launch_workspace.h"
#include "support/fake_lifecycle_backend.h"
#include "support/manual_main_loop.h"
#include "support/temporary_directory.h"
#include "support/test_app_bundle.h"

namespace quillon {
namespace {

using Transition = LaunchLifecycleTransition<FakeLifecycleBackend>;
using Outcome = Transition::Outcome;
using Process = std::shared_ptr<FakeProcess>;

LaunchLifecycleError lifecycleError(const LaunchResult<Outcome>& result) {
  try {
    std::rethrow_exception(result.error());
  } catch (LaunchLifecycleError error) {
    return error;
  } catch (...) {
    ADD_FAILURE() << "not a lifecycle error";
  }
  return LaunchLifecycleError::alreadySwitching;
}

// Writes a bundle with a runnable executable named `executable`.
std::filesystem::path writeApp(const std::filesystem::path& path, const std::string& identifier,
                               const std::string& executable, bool withExecutable = true,
                               const std::string& packageType = "APPL") {
  TestAppBundle bundle;
  bundle.identifier = identifier;
  bundle.executable = executable;
  bundle.writeExecutable = withExecutable;
  bundle.packageType = packageType;
  return bundle.writeTo(path);
}

// Real bundles on disk (the transition validates them), a scripted backend and the
// manual loop. The target is Beta.app; the usual source runs from Alpha.app.
struct TransitionTest : ::testing::Test {
  ManualClock clock;
  ManualMainLoop loop{clock};
  TemporaryDirectory directory;
  FakeLifecycleBackend backend{loop, clock};
  Transition transition{backend, loop};
  std::filesystem::path alphaPath = writeApp(directory / "Alpha.app", "com.example.alpha", "Alpha");
  std::filesystem::path betaPath = writeApp(directory / "Beta.app", "com.example.beta", "Beta");
  ValidatedLaunchApplication alpha = ValidatedLaunchApplication::validate(directoryUrl(alphaPath));
  ValidatedLaunchApplication beta = ValidatedLaunchApplication::validate(directoryUrl(betaPath));
  Process source = FakeProcess::at(alpha.url, alpha.executableURL, 1001);

  FakeLifecycleBackend::Script& script() { return backend.script(); }

  struct Running {
    LaunchTaskHandle handle;
    std::shared_ptr<std::optional<LaunchResult<Outcome>>> outcome = std::make_shared<std::optional<LaunchResult<Outcome>>>();
    bool done() const { return outcome->has_value(); }
    const LaunchResult<Outcome>& result() const { return **outcome; }
  };
  Running start(std::optional<Process> from, const Url& to) {
    Running running;
    running.handle = spawn<Outcome>(loop, transition.perform(std::move(from), to),
                                    [outcome = running.outcome](LaunchResult<Outcome> r) { outcome->emplace(std::move(r)); });
    return running;
  }
  // Runs a transition to its end, letting the manual clock run as far as needed.
  LaunchResult<Outcome> perform(std::optional<Process> from, const Url& to) {
    auto running = start(std::move(from), to);
    for (int step = 0; step < 1000 && !running.done(); ++step) loop.advance(0.05);
    EXPECT_TRUE(running.done());
    return running.done() ? running.result() : LaunchResult<Outcome>(std::make_exception_ptr(CancellationError{}));
  }
};

TEST_F(TransitionTest, WithoutASourceTheTargetIsOpenedDirectly) {
  const auto result = perform(std::nullopt, directoryUrl(betaPath));
  ASSERT_TRUE(result.hasValue());
  EXPECT_EQ(beta.url, result.value().application->bundleURL);
  EXPECT_FALSE(result.value().wasAlreadySelected);
  EXPECT_EQ(0, result.value().timings.terminationWait);
  EXPECT_DOUBLE_EQ(0.25, result.value().timings.openCompletion);
  EXPECT_DOUBLE_EQ(0.25, result.value().timings.total);
  EXPECT_EQ((std::vector<std::string>{"isOwnTarget", "open"}), script().calls);
  EXPECT_FALSE(transition.isSwitching());
}

TEST_F(TransitionTest, SourceIsPolledEvery100msFromTheQuitRequest) {
  source->exitsAfter = 0.35;
  auto running = start(source, directoryUrl(betaPath));
  loop.runUntilIdle();
  EXPECT_EQ(1, source->terminationRequests);
  EXPECT_TRUE(script().opened.empty());
  loop.advance(0.35);
  EXPECT_TRUE(script().opened.empty()) << "exit is seen only at the next poll";
  loop.advance(0.06);  // past the poll at 0.4 s, whatever the rounding of 4 × 0.1
  EXPECT_EQ(1u, script().opened.size());
  loop.advance(0.25);
  ASSERT_TRUE(running.done());
  const auto& timings = running.result().value().timings;
  EXPECT_NEAR(0.4, timings.terminationWait, 1e-9);
  EXPECT_NEAR(0.25, timings.openCompletion, 1e-9);
  EXPECT_NEAR(0.65, timings.total, 1e-9);
}

TEST_F(TransitionTest, FirstPollFollowsTheRequestWithoutASleep) {
  source->exitsAfter = 0.0;
  auto running = start(source, directoryUrl(betaPath));
  loop.runUntilIdle();
  EXPECT_EQ(1u, script().opened.size()) << "opened without any time passing";
  loop.advance(0.25);
  ASSERT_TRUE(running.done());
  EXPECT_EQ(0, running.result().value().timings.terminationWait);
}

// The own-application check takes 3 s here, so the limit ends 13 s after the start.
TEST_F(TransitionTest, QuitLimitRunsFromTheQuitRequestNotFromTheStart) {
  script().ownApplicationCheckDuration = 3.0;
  source->exitsAfter.reset();
  auto running = start(source, directoryUrl(betaPath));
  loop.runUntilIdle();
  loop.advance(9.85);  // 12.85 s after the start
  EXPECT_FALSE(running.done());
  loop.advance(0.3);
  ASSERT_TRUE(running.done());
  EXPECT_EQ(LaunchLifecycleError::terminationTimedOut, lifecycleError(running.result()));
  EXPECT_TRUE(script().opened.empty());
  EXPECT_FALSE(transition.isSwitching());
  EXPECT_EQ(0u, loop.pendingTimerCount());
}

TEST_F(TransitionTest, ExitSeenAtThePollAfterTheLimitStillCounts) {
  source->exitsAfter = 9.95;
  const auto result = perform(source, directoryUrl(betaPath));
  ASSERT_TRUE(result.hasValue());
  EXPECT_NEAR(10.0, result.value().timings.terminationWait, 0.05);
}

TEST_F(TransitionTest, RefusedQuitRequestOpensNothing) {
  source->acceptsTermination = false;
  const auto result = perform(source, directoryUrl(betaPath));
  EXPECT_EQ(LaunchLifecycleError::terminationRefused, lifecycleError(result));
  EXPECT_TRUE(script().opened.empty());
}

TEST_F(TransitionTest, RunningSameBundleIsAlreadySelected) {
  const auto sameBundle = FakeProcess::at(beta.url, beta.executableURL, 77);
  // Also through a link: locations are compared in canonical form.
  std::filesystem::create_directory_symlink(betaPath, directory / "Link.app");
  sameBundle->bundleURL = directoryUrl(directory / "Link.app");
  const auto result = perform(sameBundle, directoryUrl(betaPath));
  ASSERT_TRUE(result.hasValue());
  EXPECT_TRUE(result.value().wasAlreadySelected);
  EXPECT_EQ(sameBundle, result.value().application);
  EXPECT_EQ(0, result.value().timings.terminationWait);
  EXPECT_EQ(0, result.value().timings.openCompletion);
  EXPECT_EQ(0, sameBundle->terminationRequests);
  EXPECT_TRUE(script().opened.empty());
}

// Each of these fails before anything is asked to quit or opened.
TEST_F(TransitionTest, RefusalsBeforeTheQuitRequestChangeNothing) {
  writeApp(directory / "NoExecutable.app", "com.example.none", "Gamma", false);
  writeApp(directory / "Framework.app", "com.example.framework", "Framework", true, "FMWK");
  std::filesystem::create_directories(directory / "Plain");
  struct Row {
    const char* name;
    std::function<void(Process&, Url&)> arrange;
    LaunchLifecycleError expected;
  } rows[] = {
      {"notAnApp", [&](Process&, Url& to) { to = directoryUrl(directory / "Plain"); }, LaunchLifecycleError::invalidApplicationURL},
      {"notAFileUrl", [](Process&, Url& to) { to = *Url::parse("https://example.com/Beta.app"); }, LaunchLifecycleError::invalidApplicationURL},
      {"notAnApplicationBundle", [&](Process&, Url& to) { to = directoryUrl(directory / "Framework.app"); }, LaunchLifecycleError::invalidApplicationURL},
      {"noExecutable", [&](Process&, Url& to) { to = directoryUrl(directory / "NoExecutable.app"); }, LaunchLifecycleError::invalidExecutable},
      {"ownTarget", [&](Process&, Url&) { script().isOwnTarget = [](const auto&) { return true; }; }, LaunchLifecycleError::ownApplication},
      {"ownSource", [&](Process&, Url&) { script().isOwnApplication = [](const auto&) { return true; }; }, LaunchLifecycleError::ownApplication},
      {"sourceWithoutBundle", [](Process& from, Url&) { from->bundleURL.reset(); }, LaunchLifecycleError::sourceIdentityUnavailable},
      {"sameBundleOtherExecutable", [&](Process& from, Url&) {
         from->bundleURL = beta.url;
         from->executableURL = Url::fileUrl(betaPath.string() + "/Contents/MacOS/Other", false);
       }, LaunchLifecycleError::sourceIdentityUnavailable},
      {"sameBundleNoExecutable", [&](Process& from, Url&) {
         from->bundleURL = beta.url;
         from->executableURL.reset();
       }, LaunchLifecycleError::sourceIdentityUnavailable},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    script() = {};
    Process from = FakeProcess::at(alpha.url, alpha.executableURL, 1001);
    Url to = directoryUrl(betaPath);
    row.arrange(from, to);
    const auto result = perform(from, to);
    EXPECT_EQ(row.expected, lifecycleError(result));
    EXPECT_EQ(0, from->terminationRequests);
    EXPECT_TRUE(script().opened.empty());
    EXPECT_FALSE(transition.isSwitching());
  }
}

TEST_F(TransitionTest, SourceThatIsAlreadyGoneIsNeitherAskedNorChecked) {
  struct Row {
    const char* name;
    std::function<void(Process&)> arrange;
  } rows[] = {
      {"terminated", [](Process& p) { p->terminated = true; }},
      {"exitedSinceTheCallerLooked", [](Process& p) { p->probeError = ESRCH; }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    script() = {};
    // Even a source that would count as this program: it is gone, so it is not asked.
    script().isOwnApplication = [](const auto&) { return true; };
    Process from = FakeProcess::at(alpha.url, alpha.executableURL, 1001);
    row.arrange(from);
    const auto result = perform(from, directoryUrl(betaPath));
    ASSERT_TRUE(result.hasValue());
    EXPECT_EQ(0, result.value().timings.terminationWait);
    EXPECT_EQ(0, from->terminationRequests);
    EXPECT_EQ(1u, script().opened.size());
  }
}

// Identifiers below 1 are never probed, and a probe refused for lack of permission
// means the process is there; both sources are asked to quit.
TEST_F(TransitionTest, SourceCountsAsRunningUnlessTheProbeSaysItIsGone) {
  for (const std::int32_t pid : {0, -1, 1001}) {
    SCOPED_TRACE(pid);
    script() = {};
    Process from = FakeProcess::at(alpha.url, alpha.executableURL, pid);
    from->probeError = pid >= 1 ? EPERM : ESRCH;
    from->exitsAfter = 0.15;
    const auto result = perform(from, directoryUrl(betaPath));
    ASSERT_TRUE(result.hasValue());
    EXPECT_EQ(1, from->terminationRequests);
    EXPECT_NEAR(0.2, result.value().timings.terminationWait, 1e-9);
    if (pid < 1) {
      EXPECT_EQ(0, from->probes);
    }
  }
}

TEST_F(TransitionTest, BundleChangedWhileTheSourceQuitOpensNothing) {
  writeApp(directory / "Gamma.app", "com.example.gamma", "Gamma");
  struct Row {
    const char* name;
    std::function<void()> change;
    LaunchLifecycleError expected;
  } rows[] = {
      {"executableRenamedInInfo", [&] {
         writeApp(betaPath, "com.example.beta", "Beta2");
       }, LaunchLifecycleError::invalidApplicationURL},
      {"bundleReplacedByALink", [&] {
         std::filesystem::rename(betaPath, directory / "Old.app");
         std::filesystem::create_directory_symlink(directory / "Gamma.app", betaPath);
       }, LaunchLifecycleError::invalidApplicationURL},
      {"bundleMovedAway", [&] { std::filesystem::rename(betaPath, directory / "Moved.app"); },
       LaunchLifecycleError::invalidApplicationURL},
      {"executableRemoved", [&] { std::filesystem::remove(betaPath / "Contents/MacOS/Beta"); },
       LaunchLifecycleError::invalidExecutable},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    std::filesystem::remove_all(directory / "Old.app");
    std::filesystem::remove_all(directory / "Moved.app");
    std::filesystem::remove_all(betaPath);
    writeApp(betaPath, "com.example.beta", "Beta");
    script() = {};
    script().onTerminationRequest = row.change;
    Process from = FakeProcess::at(alpha.url, alpha.executableURL, 1001);
    from->exitsAfter = 0.1;
    const auto result = perform(from, directoryUrl(betaPath));
    EXPECT_EQ(row.expected, lifecycleError(result));
    EXPECT_EQ(1, from->terminationRequests);
    EXPECT_TRUE(script().opened.empty());
  }
}

TEST_F(TransitionTest, LaunchedApplicationMustBeTheOneAtTheTarget) {
  struct Row {
    const char* name;
    std::function<void(Process&)> disguise;
  } rows[] = {
      {"otherBundle", [&](Process& p) { p->bundleURL = alpha.url; }},
      {"otherExecutable", [&](Process& p) { p->executableURL = alpha.executableURL; }},
      {"noBundle", [](Process& p) { p->bundleURL.reset(); }},
      {"noExecutable", [](Process& p) { p->executableURL.reset(); }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    script() = {};
    Process launched;
    script().launch = [&](const ValidatedLaunchApplication& target) {
      launched = FakeProcess::at(target.url, target.executableURL, 9);
      row.disguise(launched);
      return launched;
    };
    const auto result = perform(std::nullopt, directoryUrl(betaPath));
    EXPECT_EQ(LaunchLifecycleError::returnedApplicationMismatch, lifecycleError(result));
    EXPECT_EQ(0, launched->terminationRequests) << "the wrong app is left alone";
  }
}

TEST_F(TransitionTest, OpenErrorIsRethrownUnchanged) {
  script().openError = std::make_exception_ptr(LaunchOpenApplicationError{EACCES});
  const auto result = perform(source, directoryUrl(betaPath));
  ASSERT_TRUE(failedWith<LaunchOpenApplicationError>(result));
  try {
    std::rethrow_exception(result.error());
  } catch (const LaunchOpenApplicationError& error) {
    EXPECT_EQ(EACCES, error.errnoValue);
  }
  EXPECT_TRUE(source->terminated) << "the source had already quit";
  EXPECT_FALSE(transition.isSwitching());
}

TEST_F(TransitionTest, SecondTransitionMeanwhileIsRefusedAndDisturbsNothing) {
  source->exitsAfter = 0.3;
  auto first = start(source, directoryUrl(betaPath));
  loop.runUntilIdle();
  EXPECT_TRUE(transition.isSwitching());
  auto second = start(std::nullopt, directoryUrl(alphaPath));
  loop.runUntilIdle();
  ASSERT_TRUE(second.done());
  EXPECT_EQ(LaunchLifecycleError::alreadySwitching, lifecycleError(second.result()));
  EXPECT_TRUE(transition.isSwitching());
  loop.advance(1.0);
  ASSERT_TRUE(first.done());
  EXPECT_TRUE(first.result().hasValue());
  EXPECT_FALSE(transition.isSwitching());
  EXPECT_TRUE(perform(std::nullopt, directoryUrl(alphaPath)).hasValue());
}

TEST_F(TransitionTest, CancellationStopsThePollAndClearsTheFlag) {
  source->exitsAfter.reset();
  auto running = start(source, directoryUrl(betaPath));
  loop.advance(0.25);
  running.handle.cancel();
  loop.runUntilIdle();
  ASSERT_TRUE(running.done());
  EXPECT_TRUE(failedWith<CancellationError>(running.result()));
  EXPECT_FALSE(transition.isSwitching());
  EXPECT_TRUE(script().opened.empty());
  EXPECT_EQ(0u, loop.pendingTimerCount());
}

TEST_F(TransitionTest, DroppingASuspendedTransitionClearsTheFlag) {
  source->exitsAfter.reset();
  auto running = start(source, directoryUrl(betaPath));
  loop.advance(0.25);
  EXPECT_TRUE(transition.isSwitching());
  running.handle.reset();
  EXPECT_FALSE(transition.isSwitching());
  EXPECT_EQ(0u, loop.pendingTimerCount());
}

}  // namespace
}  // namespace quillon
