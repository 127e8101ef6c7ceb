#include "core/storage/app_registry.h"

#include <filesystem>
#include <gtest/gtest.h>

#include "registry_test_support.h"

namespace quillon {
namespace {

using namespace registry_testing;
using nlohmann::json;
namespace fs = std::filesystem;

struct AppRegistryTest : ::testing::Test, RegistryFixture {
  int notifications = 0;
  std::unique_ptr<AppRegistry> registry;

  AppRegistry& open() {
    registry = std::make_unique<AppRegistry>(makeStore());
    registry->addObserver([this] { ++notifications; });
    return *registry;
  }
};

TEST_F(AppRegistryTest, AddingRegistersOnceAndRefreshesTheSameIdentifier) {
  const auto first = app("Alpha", "com.example.alpha");
  auto& apps = open();
  const auto added = apps.add(directoryUrl(first));
  ASSERT_TRUE(added);
  EXPECT_EQ("com.example.alpha", added->bundleIdentifier);
  EXPECT_EQ(canonicalDirectoryUrl(first), added->bundleURL);
  EXPECT_EQ("Alpha", added->displayName);
  EXPECT_EQ(0, added->order);
  EXPECT_TRUE(added->enabled);
  EXPECT_EQ("suppression", added->visibilityDriver);
  EXPECT_EQ(1, notifications);

  // Adding it again changes nothing and tells no one.
  EXPECT_EQ(added, apps.add(directoryUrl(first)));
  EXPECT_EQ(1, notifications);

  // A suspended entry moved elsewhere is updated in place and re-enabled.
  auto suspended = apps.apps();
  suspended[0].enabled = false;
  ASSERT_TRUE(apps.store().saveApps(suspended));
  apps.setApps(apps.store().loadApps());
  TestAppBundle moved;
  moved.identifier = "com.example.alpha";
  moved.displayName = "Alpha 2";
  const auto second = moved.writeTo(root / "Moved" / "Alpha.app");
  const auto refreshed = apps.add(directoryUrl(second));
  ASSERT_TRUE(refreshed);
  EXPECT_EQ(added->id, refreshed->id);
  EXPECT_EQ(canonicalDirectoryUrl(second), refreshed->bundleURL);
  EXPECT_EQ("Alpha 2", refreshed->displayName);
  EXPECT_TRUE(refreshed->enabled);
  EXPECT_EQ(1u, apps.apps().size());
  // And it is what a fresh start reads.
  EXPECT_EQ(apps.apps(), makeStore().loadApps());
}

TEST_F(AppRegistryTest, RemovingRenumbersAndUnknownIdsAreRefused) {
  auto& apps = open();
  const auto a = apps.add(directoryUrl(app("A", "com.example.a")));
  const auto b = apps.add(directoryUrl(app("B", "com.example.b")));
  ASSERT_TRUE(a && b);
  EXPECT_FALSE(apps.remove(LaunchUuid::random()));
  EXPECT_TRUE(apps.remove(a->id));
  ASSERT_EQ(1u, apps.apps().size());
  EXPECT_EQ(b->id, apps.apps()[0].id);
  EXPECT_EQ(0, apps.apps()[0].order);
  EXPECT_EQ(apps.apps(), makeStore().loadApps());
}

TEST_F(AppRegistryTest, EveryMutationIsRefusedWhileProtected) {
  const auto a = app("A", "com.example.a");
  const Bytes unreadable = blobOf(json{{"version", 2}, {"apps", json::array()}, {"preservePreviews", false}});
  store(unreadable);
  auto& apps = open();
  ASSERT_TRUE(apps.store().loadFailed());
  EXPECT_FALSE(apps.canPrunePreviews());
  EXPECT_EQ(std::nullopt, apps.add(directoryUrl(a)));
  EXPECT_FALSE(apps.remove(LaunchUuid::random()));
  EXPECT_FALSE(apps.store().saveApps({}));
  EXPECT_TRUE(apps.launchableApps().empty());
  EXPECT_EQ(0, defaults.writeCount());
  EXPECT_EQ(PropertyListValue{unreadable}, stored());
  EXPECT_EQ(0, notifications);
}

TEST_F(AppRegistryTest, AValueThatBecameUnreadableSinceStartIsNotOverwritten) {
  auto& apps = open();
  const Bytes corrupt = bytesOf("[{]");
  store(corrupt);
  EXPECT_EQ(std::nullopt, apps.add(directoryUrl(app("A", "com.example.a"))));
  EXPECT_EQ(PropertyListValue{corrupt}, stored());
  EXPECT_TRUE(apps.store().loadFailed());
}

TEST_F(AppRegistryTest, AFailedSaveLeavesTheListAndItsObserversAlone) {
  auto& apps = open();
  defaults.dropWrites(true);
  EXPECT_EQ(std::nullopt, apps.add(directoryUrl(app("A", "com.example.a"))));
  EXPECT_TRUE(apps.apps().empty());
  EXPECT_EQ(0, notifications);
}

TEST_F(AppRegistryTest, OnlyEnabledAppsThatStillOpenAsTheRegisteredAppAreLaunchable) {
  auto& apps = open();
  std::vector<ManagedNotchApp> entries;
  for (const char* name : {"Good", "Suspended", "Gone", "Replaced", "NotRunnable", "Linked"}) {
    const auto added = apps.add(directoryUrl(app(name, std::string("com.example.") + name)));
    ASSERT_TRUE(added) << name;
  }
  auto list = apps.apps();
  list[1].enabled = false;
  ASSERT_TRUE(apps.store().saveApps(list));
  apps.setApps(apps.store().loadApps());

  fs::remove_all(root / "Gone.app");
  TestAppBundle other;
  other.identifier = "com.example.someone-else";
  other.writeTo(root / "Replaced.app");
  fs::permissions(root / "NotRunnable.app/Contents/MacOS/Notch", fs::perms::owner_read | fs::perms::owner_write);
  // An entry stored at a link to the app still resolves to the app itself.
  const auto target = app("LinkTarget", "com.example.Linked");
  fs::remove_all(root / "Linked.app");
  fs::create_directory_symlink(target, root / "Linked.app");

  std::vector<std::string> launchable;
  for (const auto& entry : apps.launchableApps()) launchable.push_back(entry.bundleIdentifier);
  EXPECT_EQ((std::vector<std::string>{"com.example.Good", "com.example.Linked"}), launchable);
  EXPECT_EQ(canonicalDirectoryUrl(target), apps.resolvedURL(apps.apps()[5]));
  EXPECT_EQ(std::nullopt, apps.resolvedURL(apps.apps()[3]));
}

TEST_F(AppRegistryTest, PreviewsArePrunableOnlyWhenTheListIsKnownAndNotFreshlyReset) {
  auto& apps = open();
  EXPECT_TRUE(apps.canPrunePreviews());
  store(blobOf(json{{"version", 1}, {"apps", json::array()}, {"preservePreviews", true}}));
  apps.setApps(apps.store().loadApps());
  EXPECT_FALSE(apps.canPrunePreviews());
  ASSERT_TRUE(apps.add(directoryUrl(app("A", "com.example.a"))));
  EXPECT_TRUE(apps.canPrunePreviews());
}

TEST_F(AppRegistryTest, ObserversHearOfRealChangesOnly) {
  auto& apps = open();
  apps.setApps({});
  EXPECT_EQ(0, notifications);
  const auto a = apps.add(directoryUrl(app("A", "com.example.a")));
  ASSERT_TRUE(a);
  auto renamed = apps.apps();
  renamed[0].displayName = "Renamed";
  apps.setApps(renamed);
  apps.setApps(renamed);
  EXPECT_EQ(2, notifications);
}

}  // namespace
}  // namespace quillon
