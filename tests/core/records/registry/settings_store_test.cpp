#include "core/records/registry/settings_store.h"

#include <gtest/gtest.h>

#include "core/localization/l10n.h"
#include "core/storage/files/launch_storage_error.h"
#include "core/storage/plist/property_list_codec.h"
#include "support/registry_test_support.h"
#include "support/storage_test_files.h"

namespace quillon {
namespace {

using namespace registry_testing;
using nlohmann::json;
namespace fs = std::filesystem;

struct SettingsStoreTest : ::testing::Test, RegistryFixture {
  ManagedNotchApp appAt(const std::string& identifier) {
    return {Uuid::random(), identifier, directoryUrl(root / "A.app"), "A", 0, true, "suppression"};
  }
  Bytes arrayOf(int count, const std::function<void(json&)>& change = {}) {
    json list = json::array();
    for (int i = 0; i < count; ++i)
      list.push_back(entry("com.example.n" + std::to_string(i), (root / "A.app").string(), i));
    if (change) change(list);
    return blobOf(list);
  }
};

TEST_F(SettingsStoreTest, NoStoredValueIsAnEmptyWritableRegistrySavedAsABareArray) {
  auto store = makeStore();
  EXPECT_TRUE(store.loadApps().empty());
  const auto alpha = appAt("com.example.alpha");
  ASSERT_TRUE(store.saveApps({alpha}));
  EXPECT_EQ(std::vector<ManagedNotchApp>{alpha}, store.loadApps());
  const auto written = json::parse(stringOf(*defaults.data(SettingsStore::defaultAppsKey)));
  auto expected = entry("com.example.alpha", (root / "A.app").string(), 0, alpha.id.toString());
  expected["displayName"] = "A";
  EXPECT_EQ(json::array({expected}), written);
}

TEST_F(SettingsStoreTest, UnreadableStoredValuesProtectTheRegistryAndStayAsTheyWere) {
  const auto with = [&](const char* key, const json& value) { return arrayOf(1, [&](json& l) { l[0][key] = value; }); };
  const std::string sameId = Uuid::random().toString();
  Bytes oversized = bytesOf("[]");
  oversized.resize(SettingsStore::maximumStoredBytes + 1, ' ');
  std::vector<std::pair<std::string, PropertyListValue>> rows = {
      {"not data", PropertyListValue{std::string("[]")}},
      {"over 2 MiB", PropertyListValue{oversized}},
      {"malformed JSON", PropertyListValue{bytesOf("[{\"id\": ")}},
      {"nested deeply enough to exhaust the stack", PropertyListValue{bytesOf(std::string(1'000'000, '['))}},
      {"not UTF-8", PropertyListValue{Bytes{'[', '"', 0xFF, '"', ']'}}},
      {"envelope of version 2",
       PropertyListValue{blobOf(json{{"version", 2}, {"apps", json::array()}, {"preservePreviews", true}})}},
      {"envelope without preservePreviews", PropertyListValue{blobOf(json{{"version", 1}, {"apps", json::array()}})}},
      {"duplicate ids", PropertyListValue{arrayOf(2, [&](json& l) { l[0]["id"] = l[1]["id"] = sameId; })}},
      {"duplicate bundle identifiers",
       PropertyListValue{arrayOf(2, [](json& l) { l[1]["bundleIdentifier"] = l[0]["bundleIdentifier"]; })}},
      {"257 entries", PropertyListValue{arrayOf(257)}},
      {"this program's identifier", PropertyListValue{with("bundleIdentifier", "com.quillon.app")}},
      {"a blank identifier", PropertyListValue{with("bundleIdentifier", " \n\u3000")}},
      {"a web URL", PropertyListValue{with("bundleURL", "https://example.com/A.app/")}},
      {"a URL not ending in .app", PropertyListValue{with("bundleURL", "file:///Applications/A/")}},
      {"an id that is no UUID", PropertyListValue{with("id", "not-a-uuid")}},
      {"a fractional order", PropertyListValue{with("order", 1.5)}},
      {"enabled as a number", PropertyListValue{with("enabled", 1)}},
      {"a null display name", PropertyListValue{with("displayName", nullptr)}},
  };
  for (const char* key :
       {"id", "bundleIdentifier", "bundleURL", "displayName", "order", "enabled", "visibilityDriver"}) {
    rows.push_back({std::string("without ") + key, PropertyListValue{arrayOf(1, [&](json& l) { l[0].erase(key); })}});
  }
  for (const auto& [name, value] : rows) {
    SCOPED_TRACE(name);
    defaults.set(SettingsStore::defaultAppsKey, value);
    auto store = makeStore();
    EXPECT_TRUE(store.loadApps().empty());
    EXPECT_TRUE(store.loadFailed());
    EXPECT_EQ(L10n::text(SettingsStore::unreadableMessage()), store.storageError());
    EXPECT_FALSE(store.saveApps({appAt("com.example.b")}));
    EXPECT_FALSE(store.saveApps({}));
    EXPECT_EQ(0, defaults.writeCount());
    EXPECT_EQ(value, stored());
  }
}

TEST_F(SettingsStoreTest, ReadableValuesLoadSortedAndRenumbered) {
  Bytes exactlyTwoMebibytes = bytesOf("[]");
  exactlyTwoMebibytes.resize(SettingsStore::maximumStoredBytes, ' ');
  store(exactlyTwoMebibytes);
  auto store = makeStore();
  store.loadApps();
  EXPECT_FALSE(store.loadFailed());

  this->store(arrayOf(256));
  EXPECT_EQ(256u, store.loadApps().size());

  // Orders 5, 2, 2 sort stably; a lower-case UUID as other encoders write it and brackets
  // inside strings (an escaped quote first) are plain data.
  const std::string brackets = "\\\"" + std::string(100, '[') + std::string(100, '{');
  this->store(arrayOf(3, [&](json& l) {
    l[0]["order"] = 5;
    l[1]["order"] = l[2]["order"] = 2;
    std::string id = l[2]["id"];
    for (auto& c : id) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    l[2]["id"] = id;
    l[2]["displayName"] = brackets;
  }));
  const auto apps = store.loadApps();
  ASSERT_EQ(3u, apps.size());
  EXPECT_EQ("com.example.n1", apps[0].bundleIdentifier);
  EXPECT_EQ(brackets, apps[1].displayName);
  EXPECT_EQ("com.example.n0", apps[2].bundleIdentifier);
  for (std::size_t i = 0; i < apps.size(); ++i) EXPECT_EQ(static_cast<std::int64_t>(i), apps[i].order);
  EXPECT_FALSE(store.preservesPreviewsAfterRecovery());

  this->store(blobOf(json{{"version", 1}, {"apps", json::parse(stringOf(arrayOf(1)))}, {"preservePreviews", true}}));
  EXPECT_EQ(1u, store.loadApps().size());
  EXPECT_TRUE(store.preservesPreviewsAfterRecovery());
  EXPECT_TRUE(store.saveApps(store.loadApps()));
  EXPECT_FALSE(store.preservesPreviewsAfterRecovery());
}

TEST_F(SettingsStoreTest, AWriteThatDoesNotReadBackIdenticallyFails) {
  defaults.truncateWrites(true);
  auto store = makeStore();
  EXPECT_FALSE(store.saveApps({appAt("com.example.a")}));
  EXPECT_EQ(LaunchStorageError::unavailable(0).description(), store.storageError());
}

TEST_F(SettingsStoreTest, ResetBacksUpTheExactBytesThenStoresAnEmptyEnvelope) {
  const Bytes original = bytesOf("{ this is not json");
  store(original);
  auto store = makeStore();
  store.loadApps();
  const Url backup = store.resetPreservingBackup();
  EXPECT_EQ(dataDirectory, fs::path(backup.path()).parent_path());
  const std::string name = backup.lastPathComponent();
  ASSERT_EQ(0u, name.rfind(SettingsStore::backupPrefix, 0));
  EXPECT_TRUE(Uuid::parse(name.substr(std::string(SettingsStore::backupPrefix).size())));
  EXPECT_EQ(original, testing_files::readFile(backup.path()));
  EXPECT_FALSE(store.loadFailed());
  EXPECT_TRUE(store.preservesPreviewsAfterRecovery());
  EXPECT_EQ(json({{"version", 1}, {"apps", json::array()}, {"preservePreviews", true}}),
            json::parse(stringOf(*defaults.data(SettingsStore::defaultAppsKey))));

  // A value that is not data is preserved as a property list holding it.
  defaults.set(SettingsStore::defaultAppsKey, PropertyListValue{std::string("legacy")});
  const auto decoded = PropertyListCodec::decode(testing_files::readFile(store.resetPreservingBackup().path()));
  ASSERT_TRUE(decoded && decoded->dictionary());
  EXPECT_EQ(PropertyListValue{std::string("legacy")}, decoded->dictionary()->at(SettingsStore::defaultAppsKey));
}

TEST_F(SettingsStoreTest, ResetChangesNothingWhenTheBackupCannotBeWritten) {
  const Bytes original = bytesOf("[1]");
  for (const std::string fault : {"nothing stored", "data directory is a file", "data directory is a link"}) {
    SCOPED_TRACE(fault);
    fs::remove_all(dataDirectory);
    FakeUserDefaults fresh;
    if (fault != "nothing stored") fresh.set(SettingsStore::defaultAppsKey, PropertyListValue{original});
    if (fault == "data directory is a file") testing_files::writeFile(dataDirectory, original);
    if (fault == "data directory is a link") {
      fs::create_directories(root / "elsewhere");
      fs::create_directory_symlink(root / "elsewhere", dataDirectory);
    }
    SettingsStore store(fresh, directoryUrl(dataDirectory));
    EXPECT_THROW(store.resetPreservingBackup(), Error);
    EXPECT_EQ(0, fresh.writeCount());
    if (fault != "nothing stored") {
      EXPECT_EQ(PropertyListValue{original}, fresh.object(SettingsStore::defaultAppsKey));
    }
    EXPECT_TRUE(testing_files::entries(root / "elsewhere").empty());
  }
  // The backup comes first: an envelope the defaults do not keep fails after it.
  fs::remove_all(dataDirectory);
  store(original);
  defaults.dropWrites(true);
  EXPECT_THROW(makeStore().resetPreservingBackup(), Error);
  EXPECT_EQ(PropertyListValue{original}, stored());
  EXPECT_EQ(1u, backups().size());
}

}  // namespace
}  // namespace quillon
