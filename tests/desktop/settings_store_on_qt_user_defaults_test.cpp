// The registry's store over the real QSettings adapter: what its read-back check
// amounts to with a real file underneath.
#include <filesystem>
#include <gtest/gtest.h>

#include "core/storage/registry/app_registry.h"
#include "core/storage/registry/settings_store.h"
#include "desktop/qt_user_defaults.h"
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

TEST_F(SettingsStoreOnQtTest, ARegisteredAppIsWhatTheNextStartReads) {
  const auto app = TestAppBundle{}.writeTo(root / "Notch.app");
  {
    auto defaults = QtUserDefaults::atPath(iniPath);
    AppRegistry registry(SettingsStore(*defaults, dataDirectory));
    ASSERT_TRUE(registry.add(directoryUrl(app)));
  }
  auto defaults = QtUserDefaults::atPath(iniPath);
  AppRegistry restarted(SettingsStore(*defaults, dataDirectory));
  ASSERT_EQ(1u, restarted.apps().size());
  EXPECT_EQ("com.example.notch", restarted.apps()[0].bundleIdentifier);
  EXPECT_EQ(1u, restarted.launchableApps().size());
}

TEST_F(SettingsStoreOnQtTest, ASaveThatCannotReachTheDiskFails) {
  writeTestFile(root / "config", "a file where the configuration folder should be");
  auto defaults = QtUserDefaults::atPath(iniPath);
  AppRegistry registry(SettingsStore(*defaults, dataDirectory));
  EXPECT_EQ(std::nullopt, registry.add(directoryUrl(TestAppBundle{}.writeTo(root / "Notch.app"))));
  EXPECT_TRUE(registry.apps().empty());
  EXPECT_TRUE(registry.store().storageError().has_value());
}

}  // namespace
}  // namespace quillon
