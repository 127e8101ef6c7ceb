#include "core/storage/settings_store.h"

#include <filesystem>
#include <gtest/gtest.h>

#include "core/localization/l10n.h"
#include "core/storage/launch_storage_error.h"
#include "core/storage/property_list_codec.h"
#include "registry_test_support.h"
#include "storage_test_files.h"

namespace quillon {
namespace {

using namespace registry_testing;
using nlohmann::json;
namespace fs = std::filesystem;

const char* const unreadableText =
    "アプリの登録情報を読み込めません。登録情報と保存画像は保護しています。再確認するか、登録情報を退避して初期化してください。";

struct SettingsStoreTest : ::testing::Test, RegistryFixture {};

TEST_F(SettingsStoreTest, NoStoredValueIsAnEmptyWritableRegistry) {
  auto store = makeStore();
  EXPECT_TRUE(store.loadApps().empty());
  EXPECT_FALSE(store.loadFailed());
  EXPECT_EQ(std::nullopt, store.storageError());

  const auto path = app("Alpha", "com.example.alpha");
  const ManagedNotchApp alpha{LaunchUuid::random(), "com.example.alpha", directoryUrl(path), "Alpha", 0, true, "suppression"};
  ASSERT_TRUE(store.saveApps({alpha}));
  EXPECT_EQ(std::vector<ManagedNotchApp>{alpha}, store.loadApps());

  // What a save writes: a bare array whose entries carry all seven keys.
  const auto written = json::parse(stringOf(*defaults.data(SettingsStore::defaultAppsKey)));
  ASSERT_TRUE(written.is_array());
  EXPECT_EQ(alpha.id.toString(), written[0]["id"]);
  EXPECT_EQ(alpha.bundleURL.absoluteString(), written[0]["bundleURL"]);
  EXPECT_EQ(0, written[0]["order"]);
  EXPECT_EQ(true, written[0]["enabled"]);
  EXPECT_EQ("suppression", written[0]["visibilityDriver"]);
}

struct Unreadable {
  std::string name;
  PropertyListValue value;
};

std::vector<Unreadable> unreadableValues(const fs::path& root) {
  const std::string path = (root / "A.app").string();
  auto withKey = [&](const std::string& key, const json& value) {
    auto e = entry("com.example.a", path, 0);
    e[key] = value;
    return PropertyListValue{blobOf(json::array({e}))};
  };
  auto withoutKey = [&](const std::string& key) {
    auto e = entry("com.example.a", path, 0);
    e.erase(key);
    return PropertyListValue{blobOf(json::array({e}))};
  };
  const std::string sameId = LaunchUuid::random().toString();
  json many = json::array();
  for (int i = 0; i < 257; ++i) many.push_back(entry("com.example.n" + std::to_string(i), path, i));
  json oversized = json::array();
  std::vector<Unreadable> rows = {
      {"a string, not data", PropertyListValue{std::string("[]")}},
      {"a number, not data", PropertyListValue{std::int64_t{1}}},
      {"over 2 MiB", PropertyListValue{[] {
         Bytes blob = bytesOf("[]");
         blob.resize(SettingsStore::maximumStoredBytes + 1, ' ');
         return blob;
       }()}},
      {"malformed JSON", PropertyListValue{bytesOf("[{\"id\": ")}},
      {"not UTF-8", PropertyListValue{Bytes{'[', '"', 0xFF, '"', ']'}}},
      {"a JSON object that is no envelope", PropertyListValue{blobOf(json{{"apps", json::array()}})}},
      {"envelope of version 2", PropertyListValue{blobOf(json{{"version", 2}, {"apps", json::array()}, {"preservePreviews", true}})}},
      {"envelope without preservePreviews", PropertyListValue{blobOf(json{{"version", 1}, {"apps", json::array()}})}},
      {"duplicate ids", PropertyListValue{blobOf(json::array({entry("com.example.a", path, 0, sameId),
                                                              entry("com.example.b", path, 1, sameId)}))}},
      {"duplicate bundle identifiers", PropertyListValue{blobOf(json::array({entry("com.example.a", path, 0),
                                                                             entry("com.example.a", path, 1)}))}},
      {"257 entries", PropertyListValue{blobOf(many)}},
      {"this program's identifier", withKey("bundleIdentifier", "com.quillon.app")},
      {"a blank identifier", withKey("bundleIdentifier", " \n\u3000")},
      {"a web URL", withKey("bundleURL", "https://example.com/A.app/")},
      {"a URL without a scheme", withKey("bundleURL", "/Applications/A.app")},
      {"a URL not ending in .app", withKey("bundleURL", "file:///Applications/A/")},
      {"an id that is no UUID", withKey("id", "not-a-uuid")},
      {"a fractional order", withKey("order", 1.5)},
      {"an order as text", withKey("order", "1")},
      {"enabled as a number", withKey("enabled", 1)},
      {"a null display name", withKey("displayName", nullptr)},
  };
  for (const char* key : {"id", "bundleIdentifier", "bundleURL", "displayName", "order", "enabled", "visibilityDriver"}) {
    rows.push_back({std::string("without ") + key, withoutKey(key)});
  }
  return rows;
}

TEST_F(SettingsStoreTest, UnreadableStoredValuesProtectTheRegistryAndStayAsTheyWere) {
  app("A", "com.example.a");
  for (const auto& row : unreadableValues(root)) {
    SCOPED_TRACE(row.name);
    defaults.set(SettingsStore::defaultAppsKey, row.value);
    auto store = makeStore();
    EXPECT_TRUE(store.loadApps().empty());
    EXPECT_TRUE(store.loadFailed());
    EXPECT_EQ(unreadableText, store.storageError());

    const ManagedNotchApp b{LaunchUuid::random(), "com.example.b", directoryUrl(root / "B.app"), "B", 0, true, "suppression"};
    EXPECT_FALSE(store.saveApps({b}));
    EXPECT_FALSE(store.saveApps({}));
    EXPECT_EQ(0, defaults.writeCount());
    EXPECT_EQ(row.value, stored());
  }
}

TEST_F(SettingsStoreTest, ExactlyTwoMebibytesIsStillRead) {
  Bytes blob = bytesOf("[]");
  blob.resize(SettingsStore::maximumStoredBytes, ' ');
  store(blob);
  auto store = makeStore();
  store.loadApps();
  EXPECT_FALSE(store.loadFailed());
}

TEST_F(SettingsStoreTest, ABareArrayAndAVersionOneEnvelopeBothLoad) {
  const auto path = app("A", "com.example.a").string();
  store(blobOf(json::array({entry("com.example.a", path, 0)})));
  auto store = makeStore();
  EXPECT_EQ(1u, store.loadApps().size());
  EXPECT_FALSE(store.preservesPreviewsAfterRecovery());

  this->store(blobOf(json{{"version", 1}, {"apps", json::array({entry("com.example.a", path, 0)})}, {"preservePreviews", true}}));
  EXPECT_EQ(1u, store.loadApps().size());
  EXPECT_FALSE(store.loadFailed());
  EXPECT_TRUE(store.preservesPreviewsAfterRecovery());
  // The next successful save is an ordinary list again and previews may be pruned.
  EXPECT_TRUE(store.saveApps(store.loadApps()));
  EXPECT_FALSE(store.preservesPreviewsAfterRecovery());
}

TEST_F(SettingsStoreTest, EntriesSortStablyByOrderAndAreRenumbered) {
  const std::string path = (root / "X.app").string();
  store(blobOf(json::array({entry("first", path, 5), entry("second", path, 2), entry("third", path, 2)})));
  auto store = makeStore();
  const auto apps = store.loadApps();
  ASSERT_EQ(3u, apps.size());
  EXPECT_EQ("second", apps[0].bundleIdentifier);
  EXPECT_EQ("third", apps[1].bundleIdentifier);
  EXPECT_EQ("first", apps[2].bundleIdentifier);
  for (std::size_t i = 0; i < apps.size(); ++i) EXPECT_EQ(static_cast<std::int64_t>(i), apps[i].order);
}

TEST_F(SettingsStoreTest, AWriteThatDoesNotReadBackIdenticallyFails) {
  for (bool truncate : {false, true}) {
    SCOPED_TRACE(truncate ? "truncated" : "dropped");
    FakeUserDefaults fresh;
    fresh.dropWrites(!truncate);
    fresh.truncateWrites(truncate);
    SettingsStore store(fresh, directoryUrl(dataDirectory));
    const ManagedNotchApp a{LaunchUuid::random(), "com.example.a", directoryUrl(root / "A.app"), "A", 0, true, "suppression"};
    EXPECT_FALSE(store.saveApps({a}));
    EXPECT_EQ(LaunchStorageError::unavailable(0).description(), store.storageError());
  }
}

TEST_F(SettingsStoreTest, ResetBacksUpTheExactBytesThenStoresAnEmptyEnvelope) {
  const Bytes original = bytesOf("{ this is not json");
  store(original);
  auto store = makeStore();
  store.loadApps();
  ASSERT_TRUE(store.loadFailed());

  const Url backup = store.resetPreservingBackup();
  EXPECT_EQ(dataDirectory, fs::path(backup.path()).parent_path());
  const std::string name = backup.lastPathComponent();
  ASSERT_EQ(0u, name.rfind(SettingsStore::backupPrefix, 0));
  EXPECT_TRUE(LaunchUuid::parse(name.substr(std::string(SettingsStore::backupPrefix).size())));
  EXPECT_EQ(original, testing_files::readFile(backup.path()));

  EXPECT_FALSE(store.loadFailed());
  EXPECT_TRUE(store.preservesPreviewsAfterRecovery());
  const auto envelope = json::parse(stringOf(*defaults.data(SettingsStore::defaultAppsKey)));
  EXPECT_EQ(json({{"version", 1}, {"apps", json::array()}, {"preservePreviews", true}}), envelope);
}

TEST_F(SettingsStoreTest, ResetOfAValueThatIsNotDataBacksItUpAsAPropertyList) {
  defaults.set(SettingsStore::defaultAppsKey, PropertyListValue{std::string("legacy")});
  auto store = makeStore();
  const Url backup = store.resetPreservingBackup();
  const auto decoded = PropertyListCodec::decode(testing_files::readFile(backup.path()));
  ASSERT_TRUE(decoded && decoded->dictionary());
  EXPECT_EQ(PropertyListValue{std::string("legacy")}, decoded->dictionary()->at(SettingsStore::defaultAppsKey));
}

TEST_F(SettingsStoreTest, ResetChangesNothingWhenTheBackupCannotBeWritten) {
  const Bytes original = bytesOf("[1]");
  for (const char* fault : {"nothing stored", "data directory is a file", "data directory is a link"}) {
    SCOPED_TRACE(fault);
    fs::remove_all(dataDirectory);
    FakeUserDefaults fresh;
    if (std::string(fault) != "nothing stored") fresh.set(SettingsStore::defaultAppsKey, PropertyListValue{original});
    if (std::string(fault) == "data directory is a file") testing_files::writeFile(dataDirectory, original);
    if (std::string(fault) == "data directory is a link") {
      fs::create_directories(root / "elsewhere");
      fs::create_directory_symlink(root / "elsewhere", dataDirectory);
    }
    SettingsStore store(fresh, directoryUrl(dataDirectory));
    EXPECT_THROW(store.resetPreservingBackup(), LaunchStorageError);
    EXPECT_EQ(0, fresh.writeCount());
    if (std::string(fault) != "nothing stored") {
      EXPECT_EQ(PropertyListValue{original}, fresh.object(SettingsStore::defaultAppsKey));
    }
    EXPECT_TRUE(testing_files::entries(root / "elsewhere").empty());
    fs::remove_all(dataDirectory);
  }
}

TEST_F(SettingsStoreTest, AResetWhoseEnvelopeIsNotKeptFailsAfterTheBackup) {
  store(bytesOf("[1]"));
  defaults.dropWrites(true);
  auto store = makeStore();
  EXPECT_THROW(store.resetPreservingBackup(), LaunchStorageError);
  EXPECT_EQ(PropertyListValue{bytesOf("[1]")}, stored());
  EXPECT_EQ(1u, backups().size());
}

}  // namespace
}  // namespace quillon
