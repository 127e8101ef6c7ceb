#include "core/records/preferences/launch_preferences_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "core/storage/files/launch_storage_error.h"
#include "core/storage/plist/property_list.h"
#include "support/storage_test_files.h"
#include "support/temporary_directory.h"

namespace quillon {
namespace {

using testing_files::readFile;
using testing_files::writeFile;

struct LaunchPreferencesStoreTest : ::testing::Test {
  TemporaryDirectory temporary;
  std::filesystem::path dataDirectory = temporary / "com.quillon.app";
  std::filesystem::path file = dataDirectory / "preferences.plist";
  LaunchPreferencesStore store = LaunchPreferencesStore::inDataDirectory(Url::fileUrl(dataDirectory.string(), true));

  void SetUp() override { std::filesystem::create_directory(dataDirectory); }

  // Without `vertical`, a file as written before the vertical-scroll setting existed.
  static Bytes preferencesFile(std::uint64_t shortcut, bool savePreviews, std::optional<bool> vertical = {}) {
    PropertyList dictionary;
    dictionary.setUnsignedInteger("shortcut", shortcut);
    dictionary.setBoolean("savePreviews", savePreviews);
    if (vertical) dictionary.setBoolean("switchWithVerticalScroll", *vertical);
    return dictionary.toBinary();
  }
};

TEST_F(LaunchPreferencesStoreTest, NoFileMeansCommandWithPreviewsKeptAndSavesAreBinary) {
  EXPECT_EQ((LaunchPreferences{LaunchModifierShortcut::command(), true}), store.load());
  const LaunchPreferences chosen{LaunchModifierShortcut::optionShift(), false, true};
  store.save(chosen);
  EXPECT_EQ(chosen, store.load());
  EXPECT_EQ(preferencesFile(0xA0000, false, true), readFile(file));
  // An older file has no vertical-scroll setting: it loads, with the setting off.
  writeFile(file, preferencesFile(0xA0000, true));
  EXPECT_EQ((LaunchPreferences{LaunchModifierShortcut::optionShift(), true, false}), store.load());
  EXPECT_FALSE(store.loadFailed());
}

TEST_F(LaunchPreferencesStoreTest, UnusableContentFallsBackTemporarilyAndIsNeverOverwritten) {
  PropertyList missingKey;
  missingKey.setUnsignedInteger("shortcut", 0x100000);
  PropertyList wrongType;
  wrongType.setString("shortcut", "⌘");
  wrongType.setBoolean("savePreviews", true);
  PropertyList verticalAsText;
  verticalAsText.setUnsignedInteger("shortcut", 0x100000);
  verticalAsText.setBoolean("savePreviews", true);
  verticalAsText.setString("switchWithVerticalScroll", "yes");
  const std::vector<std::pair<const char*, Bytes>> rows = {
      {"shortcut 0", preferencesFile(0, true)},
      {"Fn bit", preferencesFile(0x100000 | 0x800000, true)},
      {"savePreviews missing", missingKey.toBinary()},
      {"shortcut as text", wrongType.toBinary()},
      {"vertical-scroll setting as text", verticalAsText.toBinary()},
      {"not a property list", bytesOf("shortcut=1048576")},
  };
  for (const auto& [name, bytes] : rows) {
    SCOPED_TRACE(name);
    writeFile(file, bytes);
    EXPECT_EQ((LaunchPreferences{LaunchModifierShortcut::command(), false}), store.load());
    EXPECT_TRUE(store.loadFailed());
    EXPECT_EQ(LaunchStorageError::invalidRecord.description(), store.storageError());
    EXPECT_THROW(store.save({LaunchModifierShortcut::command(), true}), Error);
    EXPECT_EQ(bytes, readFile(file));
  }
}

}  // namespace
}  // namespace quillon
