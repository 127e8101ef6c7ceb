#include "core/switching/launch_app_lifecycle.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "support/fake_workspace.h"
#include "support/manual_main_loop.h"
#include "support/temporary_directory.h"
#include "support/test_app_bundle.h"

namespace quillon {
namespace {

using Outcome = LaunchLifecycleResult;
using Process = std::shared_ptr<FakeRunningApplication>;
constexpr std::int32_t ownPid = 321;

std::filesystem::path writeApp(const std::filesystem::path& path, const std::string& executable,
                               bool withExecutable = true, const std::string& identifier = "") {
  TestAppBundle bundle;
  bundle.identifier = identifier.empty() ? "com.example." + executable : identifier;
  bundle.executable = executable;
  bundle.writeExecutable = withExecutable;
  return bundle.writeTo(path);
}

// Real bundles on disk (the lifecycle validates them), a fake workspace, and the manual
// loop. The target is Beta.app; the usual source runs
// from Alpha.app. An open completes after `openDuration` with `launch(bundlePath)`, by
// default a process running the bundle's executable, or fails with `openError`.
struct LaunchAppLifecycleTest : ::testing::Test {
  ManualClock clock;
  ManualMainLoop loop{clock};
  TemporaryDirectory directory;
  FakeWorkspace workspace;
  LaunchAppLifecycle lifecycle{workspace, loop, OwnApplication{}, ownPid};
  std::filesystem::path alphaPath = writeApp(directory / "Alpha.app", "Alpha");
  std::filesystem::path betaPath = writeApp(directory / "Beta.app", "Beta");
  ValidatedLaunchApplication alpha = ValidatedLaunchApplication::validate(directoryUrl(alphaPath));
  ValidatedLaunchApplication beta = ValidatedLaunchApplication::validate(directoryUrl(betaPath));
  double openDuration = 0.25;
  std::function<Process(const std::string&)> launch;
  std::exception_ptr openError;
  std::vector<Timer> timers;
  Process source = newSource();

  void SetUp() override {
    workspace.answerOpen = [this](const std::string& path, Workspace::OpenCompletion done) {
      timers.emplace_back(loop, openDuration, false, [this, path, done] {
        if (openError) return done(openError);
        done(ApplicationHandle(
            launch ? launch(path) : runningFrom(ValidatedLaunchApplication::validate(Url::fileUrl(path, true)), 5151)));
      });
    };
  }
  static Process runningFrom(const ValidatedLaunchApplication& app, std::int32_t pid) {
    auto process = FakeRunningApplication::make(pid, app.url.path());
    process->executable = app.executableURL.path();
    return process;
  }
  // A source that quits `exitsAfter` seconds after it was asked (none: never).
  Process newSource(std::int32_t pid = 1001, std::optional<double> exitsAfter = 0.0) {
    auto process = runningFrom(alpha, pid);
    quitsAfter(process, exitsAfter);
    return process;
  }
  void quitsAfter(const Process& process, std::optional<double> seconds, std::function<void()> meanwhile = {}) {
    process->onTerminationRequest = [this, weak = std::weak_ptr<FakeRunningApplication>(process), seconds, meanwhile] {
      if (meanwhile) meanwhile();
      if (!seconds) return;
      auto quit = [weak] {
        if (auto p = weak.lock()) p->terminated = true;
      };
      if (*seconds <= 0) return quit();
      timers.emplace_back(loop, *seconds, false, quit);
    };
  }

  struct Running {
    TaskHandle handle;
    std::shared_ptr<std::optional<Result<Outcome>>> outcome = std::make_shared<std::optional<Result<Outcome>>>();
    bool done() const { return outcome->has_value(); }
    const Result<Outcome>& result() const { return **outcome; }
  };
  Running start(ApplicationHandle from, const Url& to) {
    Running running;
    running.handle = spawn<Outcome>(loop, lifecycle.switchApplication(std::move(from), to),
                                    [outcome = running.outcome](Result<Outcome> r) { outcome->emplace(std::move(r)); });
    return running;
  }
  // Runs a transition to its end, letting the manual clock run as far as needed.
  Result<Outcome> perform(ApplicationHandle from, std::optional<Url> to = std::nullopt) {
    auto running = start(std::move(from), to.value_or(directoryUrl(betaPath)));
    for (int step = 0; step < 1000 && !running.done(); ++step) loop.advance(0.05);
    EXPECT_TRUE(running.done());
    return running.done() ? running.result() : Result<Outcome>(std::make_exception_ptr(CancellationError{}));
  }
};

TEST_F(LaunchAppLifecycleTest, WithoutASourceTheTargetIsOpenedDirectly) {
  const auto result = perform(nullptr);
  ASSERT_TRUE(result.hasValue());
  EXPECT_EQ(beta.url.path(), result.value().application->bundlePath());
  EXPECT_FALSE(result.value().wasAlreadySelected);
  EXPECT_EQ(0, result.value().timings.terminationWait);
  EXPECT_DOUBLE_EQ(0.25, result.value().timings.total);
  EXPECT_FALSE(lifecycle.isSwitching());
}

// The source is polled every 100 ms from the quit request, the first time without a
// sleep; an exit seen at the poll that reaches the 10 s limit still counts. The limit
// runs from the quit request: here the own-application check takes 3 s first.
TEST_F(LaunchAppLifecycleTest, QuitIsPolledUntilTheLimitFromTheQuitRequest) {
  struct Row {
    const char* name;
    double ownCheck;
    std::optional<double> exitsAfter;
    double decidedAt;  // after the quit request
    bool timesOut;
  } rows[] = {
      {"exitAtOnce", 0, 0.0, 0.0, false},
      {"exitSeenAtTheNextPoll", 0, 0.25, 0.3, false},
      {"exitAtThePollThatReachesTheLimit", 0, 9.95, 10.0, false},
      {"neverExits", 3.0, std::nullopt, 10.0, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    workspace.opened.clear();
    source = newSource(1001, row.exitsAfter);
    source->onIdentifierRead = [this, slow = row.ownCheck]() mutable { clock.advance(std::exchange(slow, 0.0)); };
    auto running = start(source, directoryUrl(betaPath));
    loop.runUntilIdle();
    EXPECT_EQ(1, source->terminationRequests);
    if (row.decidedAt > 0) {
      loop.advance(row.decidedAt - 0.05);
      EXPECT_TRUE(workspace.opened.empty());
      EXPECT_FALSE(running.done());
    }
    loop.advance(0.16);  // wide enough for the rounding of the summed polls
    if (row.timesOut) {
      ASSERT_TRUE(running.done());
      EXPECT_EQ(LaunchLifecycleError::terminationTimedOut, failure(running.result()));
      EXPECT_TRUE(workspace.opened.empty());
      EXPECT_FALSE(lifecycle.isSwitching());
      EXPECT_EQ(0u, loop.pendingTimerCount());
      continue;
    }
    EXPECT_EQ(1u, workspace.opened.size());
    loop.advance(0.25);
    ASSERT_TRUE(running.done());
    const auto& timings = running.result().value().timings;
    EXPECT_NEAR(row.decidedAt, timings.terminationWait, 1e-6);
    EXPECT_NEAR(0.25, timings.openCompletion, 1e-6);
    EXPECT_NEAR(row.decidedAt + 0.25, timings.total, 1e-6);
  }
}

// A reported exit ends the wait at once; an app the platform cannot watch is still
// found by the next poll.
TEST_F(LaunchAppLifecycleTest, AReportedExitEndsTheWaitBeforeThePoll) {
  for (const bool notifies : {true, false}) {
    SCOPED_TRACE(notifies ? "notified" : "polled");
    source = newSource(1001, std::nullopt);
    source->notifiesExit = notifies;
    timers.emplace_back(loop, 0.03, false, [process = source] { process->exit(); });
    auto running = start(source, directoryUrl(betaPath));
    loop.advance(0.03);
    EXPECT_EQ(notifies ? 1u : 0u, workspace.opened.size());
    loop.advance(0.1 + 0.25);
    ASSERT_TRUE(running.done());
    EXPECT_NEAR(notifies ? 0.03 : 0.1, running.result().value().timings.terminationWait, 1e-6);
    workspace.opened.clear();
  }
}

TEST_F(LaunchAppLifecycleTest, RunningSameBundleIsAlreadySelected) {
  // Through a link: locations are compared in canonical form.
  std::filesystem::create_directory_symlink(betaPath, directory / "Link.app");
  const auto sameBundle = runningFrom(beta, 77);
  sameBundle->bundle = (directory / "Link.app").string();
  const auto result = perform(sameBundle);
  ASSERT_TRUE(result.hasValue());
  EXPECT_TRUE(result.value().wasAlreadySelected);
  EXPECT_EQ(sameBundle, result.value().application);
  EXPECT_EQ(0, sameBundle->terminationRequests);
  EXPECT_TRUE(workspace.opened.empty());
}

// Each refusal and how far the transition got: whether the source was asked to quit
// and whether the target was opened. (Bundle validation itself is tested with
// ValidatedLaunchApplication.)
TEST_F(LaunchAppLifecycleTest, EachRefusalStopsAtItsStep) {
  writeApp(directory / "NoExecutable.app", "Gamma", false);
  writeApp(directory / "Gamma.app", "Gamma");
  const auto ours = writeApp(directory / "Copy.app", "Copy", true, "com.quillon.app");
  std::filesystem::create_directories(directory / "Plain");
  using Arrange = std::function<void(Process&, Url&)>;
  Process launched;
  const auto onQuit = [&](std::function<void()> change) -> Arrange {
    return [&, change](Process& from, Url&) { quitsAfter(from, 0.0, change); };
  };
  const auto launchedAs = [&](std::function<void(FakeRunningApplication&)> disguise) -> Arrange {
    return [&, disguise](Process&, Url&) {
      launch = [&, disguise](const std::string&) {
        launched = runningFrom(beta, 9);
        disguise(*launched);
        return launched;
      };
    };
  };
  using E = LaunchLifecycleError;
  struct Row {
    const char* name;
    Arrange arrange;
    Error expected;
    int asked;
    std::size_t opened;
  } rows[] = {
      {"notAnApp", [&](Process&, Url& to) { to = directoryUrl(directory / "Plain"); }, E::invalidApplicationURL, 0, 0},
      {"noExecutable", [&](Process&, Url& to) { to = directoryUrl(directory / "NoExecutable.app"); },
       E::invalidExecutable, 0, 0},
      {"ownTarget", [&](Process&, Url& to) { to = directoryUrl(ours); }, E::ownApplication, 0, 0},
      {"ownSource", [](Process& from, Url&) { from->identifier = "com.quillon.app"; }, E::ownApplication, 0, 0},
      {"ourProcess", [](Process& from, Url&) { from->pid = ownPid; }, E::ownApplication, 0, 0},
      {"sourceWithoutBundle", [](Process& from, Url&) { from->bundle.reset(); }, E::sourceIdentityUnavailable, 0, 0},
      {"sameBundleOtherExecutable",
       [&](Process& from, Url&) {
         from->bundle = betaPath.string();
         from->executable = betaPath.string() + "/Contents/MacOS/Other";
       },
       E::sourceIdentityUnavailable, 0, 0},
      {"sameBundleNoExecutable",
       [&](Process& from, Url&) {
         from->bundle = betaPath.string();
         from->executable.reset();
       },
       E::sourceIdentityUnavailable, 0, 0},
      {"quitRefused", [](Process& from, Url&) { from->acceptsTermination = false; }, E::terminationRefused, 1, 0},
      // The bundle changes while the source quits.
      {"executableRenamedInInfo", onQuit([&] { writeApp(betaPath, "Beta2"); }), E::invalidApplicationURL, 1, 0},
      {"bundleReplacedByALink", onQuit([&] {
         std::filesystem::rename(betaPath, directory / "Old.app");
         std::filesystem::create_directory_symlink(directory / "Gamma.app", betaPath);
       }),
       E::invalidApplicationURL, 1, 0},
      {"executableRemoved", onQuit([&] { std::filesystem::remove(betaPath / "Contents/MacOS/Beta"); }),
       E::invalidExecutable, 1, 0},
      // What was launched is not the application at the target.
      {"launchedOtherBundle", launchedAs([&](FakeRunningApplication& p) { p.bundle = alpha.url.path(); }),
       E::returnedApplicationMismatch, 1, 1},
      {"launchedOtherExecutable",
       launchedAs([&](FakeRunningApplication& p) { p.executable = alpha.executableURL.path(); }),
       E::returnedApplicationMismatch, 1, 1},
      {"launchedWithoutBundle", launchedAs([](FakeRunningApplication& p) { p.bundle.reset(); }),
       E::returnedApplicationMismatch, 1, 1},
      {"launchedWithoutExecutable", launchedAs([](FakeRunningApplication& p) { p.executable.reset(); }),
       E::returnedApplicationMismatch, 1, 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    std::filesystem::remove_all(directory / "Old.app");
    std::filesystem::remove_all(betaPath);
    writeApp(betaPath, "Beta");
    workspace.opened.clear();
    launch = nullptr;
    launched.reset();
    Process from = newSource();
    Url to = directoryUrl(betaPath);
    row.arrange(from, to);
    EXPECT_EQ(row.expected, failure(perform(from, to)));
    EXPECT_EQ(row.asked, from->terminationRequests);
    EXPECT_EQ(row.opened, workspace.opened.size());
    EXPECT_FALSE(lifecycle.isSwitching());
    if (launched) {
      EXPECT_EQ(0, launched->terminationRequests) << "the wrong app is left alone";
    }
  }
}

// A source that is gone is neither asked nor checked, even one that would count as
// this program. Identifiers below 1 are never probed, and a probe refused for lack of
// permission means the process is there.
TEST_F(LaunchAppLifecycleTest, OnlyASourceStillRunningIsAskedToQuit) {
  struct Row {
    const char* name;
    std::int32_t pid;
    bool terminated;
    int probeError;
    bool asked;
  } rows[] = {
      {"terminated", 1001, true, 0, false},           {"probeFindsNoProcess", 1001, false, ESRCH, false},
      {"someoneElses", 1001, false, EPERM, true},     {"zeroIdentifier", 0, false, ESRCH, true},
      {"negativeIdentifier", -1, false, ESRCH, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    // One that is gone claims to be this program: it must not even be checked.
    Process from = newSource(row.pid, 0.15);
    if (!row.asked) from->identifier = "com.quillon.app";
    from->terminated = row.terminated;
    from->probeError = row.probeError;
    const auto result = perform(from);
    ASSERT_TRUE(result.hasValue());
    EXPECT_EQ(row.asked ? 1 : 0, from->terminationRequests);
    EXPECT_NEAR(row.asked ? 0.2 : 0, result.value().timings.terminationWait, 1e-6);
    if (row.pid < 1) {
      EXPECT_EQ(0, from->probes);
    }
  }
}

TEST_F(LaunchAppLifecycleTest, OpenErrorIsRethrownUnchanged) {
  openError = std::make_exception_ptr(LaunchOpenApplicationError::of(EACCES));
  const auto result = perform(source);
  EXPECT_EQ(LaunchOpenApplicationError::of(EACCES), failure(result));
  EXPECT_TRUE(source->terminated) << "the source had already quit";
  EXPECT_FALSE(lifecycle.isSwitching());
}

TEST_F(LaunchAppLifecycleTest, SecondTransitionMeanwhileIsRefusedAndDisturbsNothing) {
  quitsAfter(source, 0.3);
  auto first = start(source, directoryUrl(betaPath));
  loop.runUntilIdle();
  auto second = start(nullptr, directoryUrl(alphaPath));
  loop.runUntilIdle();
  ASSERT_TRUE(second.done());
  EXPECT_EQ(LaunchLifecycleError::alreadySwitching, failure(second.result()));
  EXPECT_TRUE(lifecycle.isSwitching());
  loop.advance(1.0);
  ASSERT_TRUE(first.done());
  EXPECT_TRUE(first.result().hasValue());
  EXPECT_FALSE(lifecycle.isSwitching());
  EXPECT_TRUE(perform(nullptr, directoryUrl(alphaPath)).hasValue());
}

// Cancelled or dropped while polling: the poll stops and the flag clears.
TEST_F(LaunchAppLifecycleTest, CancellingOrDroppingAWaitingTransitionEndsIt) {
  for (const bool drop : {false, true}) {
    SCOPED_TRACE(drop);
    source = newSource(1001, std::nullopt);
    auto running = start(source, directoryUrl(betaPath));
    loop.advance(0.25);
    EXPECT_TRUE(lifecycle.isSwitching());
    if (drop) {
      running.handle.reset();
    } else {
      running.handle.cancel();
      loop.runUntilIdle();
      ASSERT_TRUE(running.done());
      EXPECT_TRUE(failedWith<CancellationError>(running.result()));
    }
    EXPECT_FALSE(lifecycle.isSwitching());
    EXPECT_TRUE(workspace.opened.empty());
    EXPECT_EQ(0u, loop.pendingTimerCount());
  }
}

struct LaunchAppLifecycleOwnTest : ::testing::Test {
  ManualClock clock;
  ManualMainLoop loop{clock};
  TemporaryDirectory directory;
  FakeWorkspace workspace;
  std::filesystem::path quillonPath = writeApp("Quillon.app", "com.quillon.app");
  std::filesystem::path notchPath = writeApp("Notch.app", "com.example.notch");

  std::filesystem::path writeApp(const std::string& name, const std::string& identifier) {
    TestAppBundle bundle;
    bundle.identifier = identifier;
    return bundle.writeTo(directory / name);
  }
  // This program as installed in Quillon.app, or run from a build tree (no bundle).
  OwnApplication own(bool fromBundle = true) {
    OwnApplication identity;
    if (fromBundle) identity.bundleURL = canonicalDirectoryUrl(quillonPath);
    return identity;
  }
  LaunchAppLifecycle backend(bool fromBundle = true) {
    return LaunchAppLifecycle(workspace, loop, own(fromBundle), ownPid);
  }
  ValidatedLaunchApplication validated(const std::filesystem::path& path) {
    return ValidatedLaunchApplication::validate(directoryUrl(path));
  }
};

TEST_F(LaunchAppLifecycleOwnTest, OwnTargetByLocationOrByIdentifier) {
  // A copy elsewhere that claims our identifier is still us.
  const auto copy = writeApp("Copy.app", "com.quillon.app");
  std::filesystem::create_directory_symlink(quillonPath, directory / "Link.app");
  EXPECT_TRUE(backend().isOwnTarget(validated(quillonPath)));
  EXPECT_TRUE(backend().isOwnTarget(validated(directory / "Link.app")));
  EXPECT_TRUE(backend().isOwnTarget(validated(copy)));
  EXPECT_TRUE(backend(false).isOwnTarget(validated(copy)));
  EXPECT_FALSE(backend().isOwnTarget(validated(notchPath)));
}

TEST_F(LaunchAppLifecycleOwnTest, OwnApplicationByProcessIdentifierOrLocation) {
  const std::string quillon = quillonPath.string();
  const std::string notch = notchPath.string();
  std::filesystem::create_directory_symlink(quillonPath, directory / "Link.app");
  struct Row {
    const char* name;
    std::shared_ptr<FakeRunningApplication> application;
    bool expected;
  } rows[] = {
      {"ourProcess", FakeRunningApplication::make(ownPid, notch), true},
      {"ourIdentifier", FakeRunningApplication::make(9, notch, "com.quillon.app"), true},
      {"ourBundle", FakeRunningApplication::make(9, quillon), true},
      {"ourBundleThroughALink", FakeRunningApplication::make(9, (directory / "Link.app").string()), true},
      {"anotherApp", FakeRunningApplication::make(9, notch, "com.example.notch"), false},
      {"noBundle", FakeRunningApplication::make(9, std::nullopt), false},
  };
  const auto subject = backend();
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(row.expected, subject.isOwnApplication(*row.application));
  }
}

TEST(Liveness, FollowsTheSharedRule) {
  struct Row {
    const char* name;
    std::int32_t pid;
    bool terminated;
    int probeError;
    bool expected;
  } rows[] = {
      {"running", 10, false, 0, true},
      {"someoneElses", 10, false, EPERM, true},
      {"gone", 10, false, ESRCH, false},
      {"terminated", 10, true, 0, false},
      {"noIdentifier", 0, false, 0, false},
      {"negativeIdentifier", -5, false, 0, false},
      {"otherProbeFailure", 10, false, EINVAL, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    auto application = FakeRunningApplication::make(row.pid, std::nullopt);
    application->terminated = row.terminated;
    application->probeError = row.probeError;
    EXPECT_EQ(row.expected, isAlive(application.get()));
  }
  EXPECT_FALSE(isAlive(nullptr));
}

}  // namespace
}  // namespace quillon
