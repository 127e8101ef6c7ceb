#include "core/switching/workspace_launch_lifecycle_backend.h"

#include <gtest/gtest.h>

#include "support/fake_workspace.h"
#include "support/manual_main_loop.h"
#include "support/temporary_directory.h"
#include "support/test_app_bundle.h"

namespace quillon {
namespace {

constexpr std::int32_t ownPid = 321;

struct WorkspaceBackendTest : ::testing::Test {
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
  LaunchOwnApplication own(bool fromBundle = true) {
    LaunchOwnApplication identity;
    if (fromBundle) identity.bundleURL = canonicalDirectoryUrl(quillonPath);
    return identity;
  }
  WorkspaceLaunchLifecycleBackend backend(bool fromBundle = true) {
    return WorkspaceLaunchLifecycleBackend(workspace, loop, own(fromBundle), ownPid);
  }
  ValidatedLaunchApplication validated(const std::filesystem::path& path) {
    return ValidatedLaunchApplication::validate(directoryUrl(path));
  }
};

TEST_F(WorkspaceBackendTest, OwnTargetByLocationOrByIdentifier) {
  // A copy elsewhere that claims our identifier is still us.
  const auto copy = writeApp("Copy.app", "com.quillon.app");
  std::filesystem::create_directory_symlink(quillonPath, directory / "Link.app");
  EXPECT_TRUE(backend().isOwnTarget(validated(quillonPath)));
  EXPECT_TRUE(backend().isOwnTarget(validated(directory / "Link.app")));
  EXPECT_TRUE(backend().isOwnTarget(validated(copy)));
  EXPECT_TRUE(backend(false).isOwnTarget(validated(copy)));
  EXPECT_FALSE(backend().isOwnTarget(validated(notchPath)));
}

TEST_F(WorkspaceBackendTest, OwnApplicationByProcessIdentifierOrLocation) {
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
    EXPECT_EQ(row.expected, subject.isOwnApplication(row.application));
  }
}

TEST(LaunchLiveness, FollowsTheSharedRule) {
  struct Row {
    const char* name;
    std::int32_t pid;
    bool terminated;
    int probeError;
    bool expected;
  } rows[] = {
      {"running", 10, false, 0, true},      {"someoneElses", 10, false, EPERM, true},
      {"gone", 10, false, ESRCH, false},    {"terminated", 10, true, 0, false},
      {"noIdentifier", 0, false, 0, false}, {"negativeIdentifier", -5, false, 0, false},
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
