#include "core/records/registry/app_registry.h"

#include <gtest/gtest.h>

#include "support/registry_test_support.h"

namespace quillon {
namespace {

using namespace registry_testing;
using nlohmann::json;
namespace fs = std::filesystem;

struct AppRegistryTest : ::testing::Test, RegistryFixture {
  int notifications = 0;
  std::unique_ptr<AppRegistry> registry;
  Subscription subscription;

  AppRegistry& open() {
    registry = std::make_unique<AppRegistry>(makeStore());
    subscription = registry->subscribeToChanges([this] { ++notifications; });
    return *registry;
  }
  void disable(std::initializer_list<std::size_t> indexes) {
    auto list = registry->apps();
    for (auto i : indexes) list[i].enabled = false;
    ASSERT_TRUE(registry->store().saveApps(list));
    registry->setApps(registry->store().loadApps());
  }
};

TEST_F(AppRegistryTest, AddingRegistersOnceAndRefreshesTheSameIdentifier) {
  auto& apps = open();
  apps.setApps({});
  const auto added = apps.add(directoryUrl(app("Alpha", "com.example.alpha")));
  ASSERT_TRUE(added);
  EXPECT_EQ("Alpha", added->displayName);
  EXPECT_EQ(added, apps.add(directoryUrl(root / "Alpha.app")));
  EXPECT_EQ(1, notifications);

  // A suspended entry moved elsewhere is updated in place and re-enabled.
  disable({0});
  const auto moved = bundleAt(root / "Moved" / "Alpha.app", [](TestAppBundle& b) {
    b.identifier = "com.example.alpha";
    b.displayName = "Alpha 2";
  });
  const auto refreshed = apps.add(moved);
  ASSERT_TRUE(refreshed);
  EXPECT_EQ(added->id, refreshed->id);
  EXPECT_EQ(moved, refreshed->bundleURL);
  EXPECT_EQ("Alpha 2", refreshed->displayName);
  EXPECT_TRUE(refreshed->enabled);
  EXPECT_EQ(apps.apps(), makeStore().loadApps());
  EXPECT_EQ(3, notifications);
  apps.setApps(apps.apps());
  EXPECT_EQ(3, notifications);
  subscription.reset();
  apps.setApps({});
  EXPECT_EQ(3, notifications);
}

TEST_F(AppRegistryTest, RemovingRenumbersAndUnknownIdsAreRefused) {
  auto& apps = open();
  const auto a = apps.add(directoryUrl(app("A", "com.example.a")));
  const auto b = apps.add(directoryUrl(app("B", "com.example.b")));
  ASSERT_TRUE(a && b);
  EXPECT_FALSE(apps.remove(Uuid::random()));
  EXPECT_TRUE(apps.remove(a->id));
  ASSERT_EQ(1u, apps.apps().size());
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
  EXPECT_FALSE(apps.remove(Uuid::random()));
  EXPECT_FALSE(apps.store().saveApps({}));
  EXPECT_TRUE(apps.launchableApps().empty());
  EXPECT_EQ(0, defaults.writeCount());
  EXPECT_EQ(PropertyListValue{unreadable}, stored());
  EXPECT_EQ(0, notifications);
}

TEST_F(AppRegistryTest, AValueThatBecameUnreadableOrAFailedSaveChangesNothing) {
  auto& apps = open();
  store(bytesOf("[{]"));
  EXPECT_EQ(std::nullopt, apps.add(directoryUrl(app("A", "com.example.a"))));
  EXPECT_EQ(PropertyListValue{bytesOf("[{]")}, stored());
  EXPECT_TRUE(apps.store().loadFailed());

  defaults.erase(SettingsStore::defaultAppsKey);
  auto& fresh = open();
  defaults.dropWrites(true);
  EXPECT_EQ(std::nullopt, fresh.add(directoryUrl(root / "A.app")));
  EXPECT_TRUE(fresh.apps().empty());
  EXPECT_EQ(0, notifications);
}

TEST_F(AppRegistryTest, OnlyEnabledAppsThatStillOpenAsTheRegisteredAppAreLaunchable) {
  auto& apps = open();
  for (const char* name : {"Good", "Suspended", "Gone", "Replaced", "NotRunnable", "Linked"}) {
    ASSERT_TRUE(apps.add(directoryUrl(app(name, std::string("com.example.") + name)))) << name;
  }
  disable({1});
  ASSERT_EQ(5u, apps.launchableApps().size()) << "each is checked once before it changes";
  fs::remove_all(root / "Gone.app");
  bundleAt(root / "Replaced.app", [](TestAppBundle& b) { b.identifier = "com.example.someone-else"; });
  fs::permissions(root / "NotRunnable.app/Contents/MacOS/Notch", fs::perms::owner_read | fs::perms::owner_write);
  const auto target = app("LinkTarget", "com.example.Linked");
  fs::remove_all(root / "Linked.app");
  fs::create_directory_symlink(target, root / "Linked.app");

  std::vector<std::string> launchable;
  for (const auto& entry : apps.launchableApps()) launchable.push_back(entry.bundleIdentifier);
  EXPECT_EQ((std::vector<std::string>{"com.example.Good", "com.example.Linked"}), launchable);
  EXPECT_EQ(canonicalDirectoryUrl(target), apps.resolvedURL(apps.apps()[5]));
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

}  // namespace
}  // namespace quillon
