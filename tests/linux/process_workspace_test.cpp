#include "linux/process_workspace.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <set>

#include "core/switching/launch_app_lifecycle.h"
#include "linux/linux_pidfd.h"
#include "support/process_sandbox.h"
#include "support/scoped_environment.h"
#include "support/test_app_bundle.h"

namespace quillon {
namespace {

struct ProcessWorkspaceTest : ::testing::Test {
  ProcessSandbox sandbox;
  ProcessWorkspace workspace{sandbox.loop};

  // Opens through the port and waits for the completion on the real loop.
  Result<ApplicationHandle> open(const std::filesystem::path& bundle) {
    std::optional<Result<ApplicationHandle>> outcome;
    workspace.openApplication(bundle.string(), [&](Result<ApplicationHandle> r) { outcome.emplace(std::move(r)); });
    EXPECT_TRUE(sandbox.waitFor([&] { return outcome.has_value(); }));
    return std::move(*outcome);
  }
  ApplicationHandle openRunning(const std::filesystem::path& bundle) {
    auto application = open(bundle).value();
    EXPECT_TRUE(sandbox.waitUntilReady(application->processIdentifier()));
    return application;
  }
  bool waitForExit(const ApplicationHandle& application) {
    return sandbox.waitFor([&] { return application->isTerminated(); });
  }
};

// The bundle's own icon file when it decodes, else the generic icon; each decoded once
// per file, change and size.
TEST_F(ProcessWorkspaceTest, IconsComeFromTheBundleElseTheGenericIconAndAreDecodedOnce) {
  std::vector<std::string> decoded;
  int genericCalls = 0;
  const auto pixelsOf = [](std::uint8_t value, int size) {
    Bitmap bitmap = Bitmap::transparent(size, size);
    std::fill(bitmap.pixels.begin(), bitmap.pixels.end(), value);
    return bitmap;
  };
  ProcessWorkspace icons(sandbox.loop, {[&](const std::string& path, int size) -> std::optional<Bitmap> {
                                          decoded.push_back(path);
                                          if (path.ends_with("Broken.png")) return std::nullopt;
                                          return pixelsOf(1, size);
                                        },
                                        [&](int size) -> std::optional<Bitmap> {
                                          ++genericCalls;
                                          return pixelsOf(2, size);
                                        }});
  TestAppBundle withIcon;
  withIcon.extraInfo["CFBundleIconFile"] = PropertyListValue{std::string("Tile")};
  const auto tiled = withIcon.writeTo(sandbox.path("Tiled.app"));
  writeTestFile(tiled / "Contents/Resources/Tile.png", "png");
  TestAppBundle broken;
  broken.extraInfo["CFBundleIconFile"] = PropertyListValue{std::string("Broken.png")};
  writeTestFile(broken.writeTo(sandbox.path("Broken.app")) / "Contents/Resources/Broken.png", "not a png");
  const auto plain = TestAppBundle{}.writeTo(sandbox.path("Plain.app"));

  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    EXPECT_EQ(1, icons.iconForBundle(tiled.string(), 16)->pixels[0]);
    EXPECT_EQ(2, icons.iconForBundle(sandbox.path("Broken.app").string(), 16)->pixels[0]);
    EXPECT_EQ(2, icons.iconForBundle(plain.string(), 16)->pixels[0]);
    EXPECT_EQ(2, icons.iconForBundle(sandbox.path("Missing.app").string(), 16)->pixels[0]);
  }
  EXPECT_EQ(2u, decoded.size()) << "the second round came from memory";
  EXPECT_EQ(2, genericCalls) << "once for the undecodable icon, once shared by the bundles without one";
  EXPECT_EQ(32, icons.iconForBundle(tiled.string(), 32)->width);
  // A changed file is read again.
  writeTestFile(tiled / "Contents/Resources/Tile.png", "png, redrawn");
  const timespec later[2] = {{0, UTIME_OMIT}, {2'000'000'000, 0}};
  ::utimensat(AT_FDCWD, (tiled / "Contents/Resources/Tile.png").c_str(), later, 0);
  icons.iconForBundle(tiled.string(), 32);
  EXPECT_EQ(4u, decoded.size());
}

// Quillon blocks SIGTERM to read it from a descriptor, and leaves descriptors open
// without close-on-exec (the instance lock); neither may reach a launched app, which
// runs in a session of its own on /dev/null from the root directory.
TEST_F(ProcessWorkspaceTest, OpenedAppKnowsItsBundleAndRunsDetachedWithACleanSlate) {
  sigset_t term, previous;
  sigemptyset(&term);
  sigaddset(&term, SIGTERM);
  ASSERT_EQ(0, pthread_sigmask(SIG_BLOCK, &term, &previous));
  const int leaky = ::open("/dev/zero", O_RDONLY);  // no O_CLOEXEC on purpose
  const auto previousPipe = ::signal(SIGPIPE, SIG_IGN);
  const auto bundle = sandbox.makeApp("Alpha", "exitOnTerm", "com.example.alpha");
  const auto application = openRunning(bundle);
  ::signal(SIGPIPE, previousPipe);
  ::close(leaky);
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);

  const pid_t pid = application->processIdentifier();
  const auto canonical = std::filesystem::canonical(bundle).string();
  EXPECT_EQ(canonical, application->bundlePath());
  EXPECT_EQ(canonical + "/Contents/MacOS/Alpha", application->executablePath());
  EXPECT_EQ("com.example.alpha", application->bundleIdentifier());
  EXPECT_FALSE(application->isTerminated());
  EXPECT_EQ(0, application->probe());

  const std::string proc = "/proc/" + std::to_string(pid);
  EXPECT_EQ(pid, ::getsid(pid));
  std::set<std::string> descriptors;
  for (const auto& entry : std::filesystem::directory_iterator(proc + "/fd")) {
    descriptors.insert(entry.path().filename().string());
    EXPECT_EQ("/dev/null", linkTarget(entry.path()));
  }
  EXPECT_EQ((std::set<std::string>{"0", "1", "2"}), descriptors);
  EXPECT_EQ("/", linkTarget(proc + "/cwd"));
  const std::string status = processStatus(pid);
  EXPECT_NE(std::string::npos, status.find("SigBlk:\t0000000000000000")) << status;
  EXPECT_NE(std::string::npos, status.find("SigIgn:\t0000000000000000")) << status;

  EXPECT_TRUE(application->requestTermination());
  EXPECT_TRUE(waitForExit(application));
}

TEST_F(ProcessWorkspaceTest, LaunchedAppOutlivesTheProgramThatLaunchedIt) {
  const auto bundle = sandbox.makeApp("Survivor", "exitOnTerm");
  int report[2];
  ASSERT_EQ(0, ::pipe(report));
  const pid_t launcher = ::fork();
  if (launcher == 0) {
    pid_t pid = 0;
    try {
      pid = ProcessWorkspace::launch(bundle.string())->processIdentifier();
    } catch (...) {
    }
    [[maybe_unused]] auto written = ::write(report[1], &pid, sizeof pid);
    ::_exit(0);
  }
  ::close(report[1]);
  pid_t pid = 0;
  ASSERT_EQ(static_cast<ssize_t>(sizeof pid), ::read(report[0], &pid, sizeof pid));
  ::close(report[0]);
  ASSERT_EQ(launcher, ::waitpid(launcher, nullptr, 0));
  ASSERT_GT(pid, 0);
  UniqueFd pidfd(pidfdOpen(pid));
  ASSERT_TRUE(pidfd);
  EXPECT_TRUE(sandbox.waitUntilReady(pid));
  EXPECT_TRUE(processRuns(pid)) << "still running after its launcher exited";
  ASSERT_EQ(0, pidfdSendSignal(pidfd.get(), SIGTERM));
  siginfo_t info{};
  EXPECT_EQ(0, ::waitid(P_PIDFD, static_cast<id_t>(pidfd.get()), &info, WEXITED));
}

// Such an app loses its /proc executable link a moment before its exit shows on the
// pidfd; the launch must still report what it started. Repeated to meet that window.
TEST_F(ProcessWorkspaceTest, AppThatExitsAtOnceIsStillReportedAsLaunched) {
  const auto bundle = sandbox.makeApp("Flash", "exitAtOnce");
  const auto expected = std::filesystem::canonical(bundle).string();
  for (int attempt = 0; attempt < 30; ++attempt) {
    const auto application = ProcessWorkspace::launch(bundle.string());
    ASSERT_EQ(expected, application->bundlePath()) << "attempt " << attempt;
  }
}

// An app of the same user started for another X display runs on another desktop.
TEST_F(ProcessWorkspaceTest, RunningApplicationsIncludeAppsStartedElsewhereAndSkipZombies) {
  const auto bundle = sandbox.makeApp("Outside", "exitOnTerm", "com.example.outside");
  const auto executable = (bundle / "Contents/MacOS/Outside").string();
  const ScopedEnvironment display("DISPLAY", ":7");
  // Plain children of the test, not started through the workspace.
  const auto start = [&](const char* displayEntry) {
    const pid_t child = ::fork();
    if (child == 0) {
      const char* environment[] = {displayEntry, nullptr};
      ::execle(executable.c_str(), executable.c_str(), nullptr, environment);
      ::_exit(127);
    }
    return child;
  };
  const pid_t outside = start("DISPLAY=unix:7.0");
  const pid_t elsewhere = start("DISPLAY=:8");
  ASSERT_GT(outside, 0);
  ASSERT_GT(elsewhere, 0);
  UniqueFd outsideFd(pidfdOpen(outside));
  ASSERT_TRUE(sandbox.waitUntilReady(outside));
  ASSERT_TRUE(sandbox.waitUntilReady(elsewhere));
  // A zombie: it exited and nobody reaped it yet.
  const pid_t zombie = ::fork();
  if (zombie == 0) ::_exit(0);
  ASSERT_TRUE(sandbox.waitFor([&] { return !processRuns(zombie); }));

  std::optional<Result<std::vector<ApplicationHandle>>> scanned;
  auto scan = spawn<std::vector<ApplicationHandle>>(
      sandbox.loop, workspace.runningApplications(),
      [&](Result<std::vector<ApplicationHandle>> r) { scanned.emplace(std::move(r)); });
  ASSERT_TRUE(sandbox.waitFor([&] { return scanned.has_value(); }));
  const auto applications = std::move(*scanned).get();
  auto find = [&](pid_t pid) {
    return std::find_if(applications.begin(), applications.end(),
                        [pid](const auto& a) { return a->processIdentifier() == pid; });
  };
  const auto found = find(outside);
  ASSERT_NE(applications.end(), found);
  EXPECT_EQ(std::filesystem::canonical(bundle).string(), (*found)->bundlePath());
  EXPECT_EQ("com.example.outside", (*found)->bundleIdentifier());
  EXPECT_EQ(applications.end(), find(zombie));
  EXPECT_EQ(applications.end(), find(elsewhere));
  const auto self = find(::getpid());
  ASSERT_NE(applications.end(), self);
  EXPECT_FALSE((*self)->bundlePath()) << "the test binary is not inside a bundle";

  EXPECT_TRUE((*found)->requestTermination());
  EXPECT_EQ(outside, ::waitpid(outside, nullptr, 0));
  ::kill(elsewhere, SIGTERM);
  EXPECT_EQ(elsewhere, ::waitpid(elsewhere, nullptr, 0));
  EXPECT_EQ(zombie, ::waitpid(zombie, nullptr, 0));
}

// Scans in a child with its descriptors used up (none left, or one for the /proc
// directory and none for a pidfd): the scan must fail, not return fewer applications.
void scanWithFreeDescriptors(int free) {
  rlimit limit{};
  ::getrlimit(RLIMIT_NOFILE, &limit);
  limit.rlim_cur = std::min<rlim_t>(limit.rlim_cur, 256);
  ::setrlimit(RLIMIT_NOFILE, &limit);
  std::vector<int> fillers;
  for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) fillers.push_back(fd);
  for (int i = 0; i < free; ++i) ::close(fillers[fillers.size() - 1 - static_cast<std::size_t>(i)]);
  try {
    ProcessWorkspace::scanRunningApplications();
  } catch (const Error& error) {
    std::_Exit(error.errnoValue());
  }
  std::_Exit(0);
}

TEST(ProcessWorkspaceScan, RunningOutOfDescriptorsIsAnErrorNotAShorterList) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (int free : {0, 1}) {
    SCOPED_TRACE(free);
    EXPECT_EXIT(scanWithFreeDescriptors(free), ::testing::ExitedWithCode(EMFILE), "");
  }
}

// Forks a child that runs `child` under identifier `pid`, forcing the kernel's choice
// through ns_last_pid (as root); -1 when it cannot be had here.
pid_t forkWithIdentifier(pid_t pid, const std::function<void()>& child) {
  for (int attempt = 0; attempt < 500; ++attempt) {
    std::ofstream lastPid("/proc/sys/kernel/ns_last_pid");
    if (!lastPid) return -1;
    lastPid << (pid - 1);
    lastPid.close();
    const pid_t newcomer = ::fork();
    if (newcomer == 0) {
      child();
      ::_exit(0);
    }
    if (newcomer == pid) return newcomer;
    ::kill(newcomer, SIGKILL);
    ::waitpid(newcomer, nullptr, 0);
  }
  return -1;
}

// Quits the app and reaps it (the subreaper's zombie), freeing its identifier.
void quitAndReap(ProcessWorkspaceTest& test, const ApplicationHandle& application) {
  ASSERT_TRUE(application->requestTermination());
  ASSERT_TRUE(test.waitForExit(application));
  siginfo_t info{};
  ASSERT_EQ(0, ::waitid(P_PID, static_cast<id_t>(application->processIdentifier()), &info, WEXITED));
}

// The old handle cannot reach a process that inherited its identifier.
TEST_F(ProcessWorkspaceTest, HandleNeverSignalsAProcessThatInheritedItsIdentifier) {
  const auto application = openRunning(sandbox.makeApp("Old", "exitOnTerm"));
  const pid_t pid = application->processIdentifier();
  ASSERT_NO_FATAL_FAILURE(quitAndReap(*this, application));
  const pid_t newcomer = forkWithIdentifier(pid, [] { ::pause(); });
  if (newcomer != pid) GTEST_SKIP() << "cannot have the identifier again here";

  EXPECT_TRUE(application->isTerminated());
  EXPECT_EQ(ESRCH, application->probe());
  EXPECT_TRUE(application->requestTermination());
  EXPECT_TRUE(processRuns(newcomer)) << "the newcomer was not signalled";
  ::kill(newcomer, SIGKILL);
  ::waitpid(newcomer, nullptr, 0);
}

// Repeated scans remember apps; a newcomer running the same app under a reused
// identifier must come back with a handle of its own, not the remembered one.
TEST_F(ProcessWorkspaceTest, RememberedAppIsNotConfusedWithANewcomerUnderItsIdentifier) {
  const auto bundle = sandbox.makeApp("Again", "exitOnTerm");
  const auto application = openRunning(bundle);
  const pid_t pid = application->processIdentifier();
  auto scanFor = [&] {
    for (auto& found : workspace.scanRememberingApplications()) {
      if (found->processIdentifier() == pid) return found;
    }
    return ApplicationHandle{};
  };
  const auto remembered = scanFor();
  ASSERT_TRUE(remembered && remembered->bundlePath());
  EXPECT_EQ(remembered, scanFor()) << "an unchanged process keeps its handle";
  ASSERT_NO_FATAL_FAILURE(quitAndReap(*this, application));
  const auto executable = application->executablePath().value();
  const pid_t newcomer = forkWithIdentifier(pid, [&] { ::execl(executable.c_str(), executable.c_str(), nullptr); });
  if (newcomer != pid) GTEST_SKIP() << "cannot have the identifier again here";
  ASSERT_TRUE(sandbox.waitUntilReady(newcomer));

  const auto found = scanFor();
  ASSERT_TRUE(found);
  EXPECT_NE(remembered, found);
  EXPECT_FALSE(found->isTerminated());
  EXPECT_EQ(remembered->bundlePath(), found->bundlePath());
  EXPECT_TRUE(found->requestTermination());
  EXPECT_EQ(newcomer, ::waitpid(newcomer, nullptr, 0));
}

TEST_F(ProcessWorkspaceTest, OpenReportsTheErrnoOfTheStepThatFailed) {
  TestAppBundle noExecutable, notRunnable;
  noExecutable.writeExecutable = false;
  notRunnable.executableMode = 0644;
  const std::pair<std::filesystem::path, int> rows[] = {{sandbox.path("Missing.app"), ENOENT},
                                                        {noExecutable.writeTo(sandbox.path("Empty.app")), ENOENT},
                                                        {notRunnable.writeTo(sandbox.path("Plain.app")), EACCES}};
  for (const auto& [bundle, expected] : rows) {
    SCOPED_TRACE(bundle.string());
    EXPECT_EQ(LaunchOpenApplicationError::of(expected), failure(open(bundle)));
  }
}

// The pidfd reports the exit: once, also when it came before the observation, and
// never after the subscription ended (the other app's exit keeps the loop turning long
// enough for a repeated call to show).
TEST_F(ProcessWorkspaceTest, ExitIsReportedOnceWhileObserved) {
  const auto quitting = openRunning(sandbox.makeApp("Quitting", "exitOnTerm"));
  const auto unobserved = openRunning(sandbox.makeApp("Unobserved", "exitOnTerm"));
  const auto gone = open(sandbox.makeApp("Gone", "exitAtOnce")).value();
  ASSERT_TRUE(waitForExit(gone));
  int quittingCalls = 0, unobservedCalls = 0, goneCalls = 0;
  const auto quittingObserver = quitting->observeTermination(sandbox.loop, [&] { ++quittingCalls; });
  const auto goneObserver = gone->observeTermination(sandbox.loop, [&] { ++goneCalls; });
  auto unobservedObserver = unobserved->observeTermination(sandbox.loop, [&] { ++unobservedCalls; });
  unobservedObserver.reset();

  ASSERT_TRUE(quitting->requestTermination());
  EXPECT_TRUE(sandbox.waitFor([&] { return quittingCalls > 0 && goneCalls > 0; }));
  ASSERT_TRUE(unobserved->requestTermination());
  ASSERT_TRUE(waitForExit(unobserved));
  EXPECT_EQ(1, quittingCalls);
  EXPECT_EQ(1, goneCalls);
  EXPECT_EQ(0, unobservedCalls);
}

// Forwards to a real handle and runs `hook` right after the quit request, while the
// old process is quitting.
class QuitHookApplication final : public RunningApplication {
 public:
  QuitHookApplication(ApplicationHandle inner, std::function<void()> hook)
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
  Subscription observeTermination(MainLoop& loop, std::function<void()> exited) override {
    return inner_->observeTermination(loop, std::move(exited));
  }

 private:
  ApplicationHandle inner_;
  std::function<void()> hook_;
};

// Switches between real sample apps on a real loop. The quit limit is short: the
// sample apps that quit do so within milliseconds.
struct ProcessLifecycleTest : ProcessWorkspaceTest {
  LaunchAppLifecycle lifecycle(double quitLimit = 2.0) {
    return LaunchAppLifecycle(workspace, sandbox.loop, OwnApplication{}, ::getpid(), quitLimit);
  }
  ApplicationHandle launch(const std::filesystem::path& bundle, bool waitUntilReady = true) {
    ApplicationHandle application = ProcessWorkspace::launch(bundle.string());
    if (waitUntilReady) {
      EXPECT_TRUE(sandbox.waitUntilReady(application->processIdentifier()));
    }
    return application;
  }
  Result<LaunchLifecycleResult> switchApps(LaunchAppLifecycle& subject, ApplicationHandle source,
                                           const std::filesystem::path& target) {
    std::optional<Result<LaunchLifecycleResult>> outcome;
    auto handle =
        spawn<LaunchLifecycleResult>(sandbox.loop, subject.switchApplication(std::move(source), directoryUrl(target)),
                                     [&](Result<LaunchLifecycleResult> result) { outcome.emplace(std::move(result)); });
    EXPECT_TRUE(sandbox.waitFor([&] { return outcome.has_value(); }, 30.0));
    if (!outcome) return Result<LaunchLifecycleResult>(std::make_exception_ptr(CancellationError{}));
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
    std::optional<Error> error;
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
    const auto source = launch(from, !exitsAtOnce);
    if (exitsAtOnce) {
      ASSERT_TRUE(sandbox.waitFor([&] { return source->isTerminated(); }));
    }

    const auto result = switchApps(subject, source, to);
    EXPECT_EQ(row.error, failure(result));
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
  const auto source = std::make_shared<QuitHookApplication>(launch(alpha), [&] {
    const auto fresh = beta / "Contents/MacOS/Beta.new";
    std::filesystem::copy_file(executable, fresh);
    std::filesystem::rename(fresh, executable);
  });

  const auto result = switchApps(subject, source, beta);
  ASSERT_TRUE(result.hasValue());
  const auto pid = result.value().application->processIdentifier();
  struct stat running {
  }, installed{};
  ASSERT_EQ(0, ::stat(("/proc/" + std::to_string(pid) + "/exe").c_str(), &running));
  ASSERT_EQ(0, ::stat(executable.c_str(), &installed));
  EXPECT_EQ(installed.st_ino, running.st_ino);
}

}  // namespace
}  // namespace quillon
