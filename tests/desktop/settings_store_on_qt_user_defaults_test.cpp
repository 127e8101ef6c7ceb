// The registry's store over the real QSettings adapter: what its read-back check
// amounts to with a real file underneath.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/product/app_registry_recovery.h"
#include "core/records/registry/app_registry.h"
#include "core/records/registry/settings_store.h"
#include "desktop/qt_user_defaults.h"
#include "support/fake_alert_presenter.h"
#include "support/manual_main_loop.h"
#include "support/temporary_directory.h"
#include "support/test_app_bundle.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

struct SettingsStoreOnQtTest : ::testing::Test {
  TemporaryDirectory temporary;
  fs::path root = fs::canonical(temporary.path());
  std::string iniPath = (root / "config" / "defaults.ini").string();
  Url dataDirectory = directoryUrl(root / "com.quillon.app");
};

TEST_F(SettingsStoreOnQtTest, ASaveThatCannotReachTheDiskFails) {
  writeTestFile(root / "config", "a file where the configuration folder should be");
  auto defaults = QtUserDefaults::atPath(iniPath);
  AppRegistry registry(SettingsStore(*defaults, dataDirectory));
  EXPECT_EQ(std::nullopt, registry.add(directoryUrl(TestAppBundle{}.writeTo(root / "Notch.app"))));
  EXPECT_TRUE(registry.apps().empty());
  EXPECT_TRUE(registry.store().storageError().has_value());
}

// Each tick of the refresh looks at the file: a list written by another copy of the
// program is taken over, a file that cannot be read shows the recovery state (and a
// reset, unable to back it up, changes nothing), and the program's own saves are not
// read back as news.
TEST_F(SettingsStoreOnQtTest, TheRegistryFollowsTheFileWhenSomethingElseWritesIt) {
  const auto first = TestAppBundle{}.writeTo(root / "Notch.app");
  TestAppBundle otherBundle;
  otherBundle.identifier = "com.example.other";
  const auto second = otherBundle.writeTo(root / "Other.app");
  fs::create_directories(root / "com.quillon.app");
  fs::permissions(root / "com.quillon.app", fs::perms::owner_all);
  auto defaults = QtUserDefaults::atPath(iniPath);
  AppRegistry registry(SettingsStore(*defaults, dataDirectory));
  ManualClock clock;
  ManualMainLoop loop(clock);
  FakeAlertPresenter alerts(loop);
  int registryChanges = 0, listChanges = 0;
  AppRegistryRecovery recovery(registry, alerts, {[] { return false; }, [&] { ++registryChanges; }});
  const auto subscription = registry.subscribeToChanges([&] { ++listChanges; });
  auto anotherCopyRegisters = [&](const fs::path& bundle) {
    auto elsewhere = QtUserDefaults::atPath(iniPath);
    AppRegistry(SettingsStore(*elsewhere, dataDirectory)).add(directoryUrl(bundle));
  };

  ASSERT_TRUE(registry.add(directoryUrl(first)));
  EXPECT_FALSE(recovery.reloadIfStoredValueChanged()) << "its own save";
  anotherCopyRegisters(second);
  EXPECT_TRUE(recovery.reloadIfStoredValueChanged());
  EXPECT_EQ(2u, registry.apps().size());
  EXPECT_EQ(2u, registry.launchableApps().size());
  EXPECT_EQ((std::pair{1, 2}), (std::pair{registryChanges, listChanges}));
  EXPECT_FALSE(recovery.reloadIfStoredValueChanged());

  const fs::path moved = iniPath + ".away";
  fs::rename(iniPath, moved);
  fs::create_directory(iniPath);
  EXPECT_TRUE(recovery.reloadIfStoredValueChanged());
  EXPECT_TRUE(registry.store().loadFailed());
  EXPECT_TRUE(registry.launchableApps().empty());
  EXPECT_EQ(2u, registry.apps().size()) << "the list in memory stays";
  alerts.answerNextAlert(1);
  alerts.answerNextAlert(0);
  ASSERT_TRUE(runTask(loop, recovery.reset()).has_value());
  EXPECT_EQ("登録データを初期化できませんでした", alerts.alerts().back().messageText);
  EXPECT_TRUE(fs::is_empty(root / "com.quillon.app")) << "no backup, nothing changed";

  fs::remove(iniPath);
  fs::rename(moved, iniPath);
  EXPECT_TRUE(recovery.reloadIfStoredValueChanged());
  EXPECT_FALSE(registry.store().loadFailed());
  EXPECT_EQ(2u, registry.launchableApps().size());
}

}  // namespace
}  // namespace quillon
