#include "core/storage/managed_notch_app.h"

#include <gtest/gtest.h>

#include "core/storage/launch_storage_error.h"
#include "core/storage/registry_stored_record.h"
#include "registry_test_support.h"

namespace quillon {
namespace {

using namespace registry_testing;

struct ManagedNotchAppTest : ::testing::Test, RegistryFixture {
  ManagedNotchApp entryAt(const std::filesystem::path& path, std::string identifier, std::string name) {
    return {LaunchUuid::random(), std::move(identifier), Url::fileUrl(path.string(), false), std::move(name), 0, true,
            "suppression"};
  }
};

TEST_F(ManagedNotchAppTest, DisplayNameComesFromTheBundleOnlyWhenItIsStillTheSameApp) {
  TestAppBundle layout;
  layout.identifier = "com.example.same";
  layout.displayName = "Shown Name";
  layout.writeTo(root / "Same.app");
  layout.identifier = "com.example.other";
  layout.writeTo(root / "Replaced.app");

  const auto apps = ManagedNotchApp::normalized({entryAt(root / "Same.app", "com.example.same", "Stored"),
                                                 entryAt(root / "Replaced.app", "com.example.replaced", "Stored"),
                                                 entryAt(root / "Gone.app", "com.example.gone", "  Kept\n")});
  EXPECT_EQ("Shown Name", apps[0].displayName);
  EXPECT_EQ("Stored", apps[1].displayName);
  EXPECT_EQ("Kept", apps[2].displayName);
}

TEST_F(ManagedNotchAppTest, ABlankDisplayNameBecomesTheBundleFileName) {
  for (const char* blank : {"", "   ", "\t\n", "\u3000\u00a0"}) {
    SCOPED_TRACE(blank);
    const auto apps = ManagedNotchApp::normalized({entryAt(root / "Notch Bar.app", "com.example.bar", blank)});
    EXPECT_EQ("Notch Bar", apps[0].displayName);
  }
}

TEST_F(ManagedNotchAppTest, BundleUrlsBecomeStandardizedDirectoryUrlsWhateverTheirCase) {
  auto app = entryAt(root / "x" / ".." / "Upper.APP", "com.example.upper", "U");
  const auto apps = ManagedNotchApp::normalized({app});
  EXPECT_EQ(directoryUrl(root / "Upper.APP"), apps[0].bundleURL);
}

TEST_F(ManagedNotchAppTest, ListsBreakingTheRulesAreRefusedNotRepaired) {
  auto a = entryAt(root / "A.app", "com.example.a", "A");
  auto b = entryAt(root / "B.app", "com.example.b", "B");
  auto sameId = b;
  sameId.id = a.id;
  auto sameIdentifier = b;
  sameIdentifier.bundleIdentifier = a.bundleIdentifier;
  auto own = b;
  own.bundleIdentifier = "com.quillon.app";
  std::vector<ManagedNotchApp> tooMany;
  for (int i = 0; i < 257; ++i) tooMany.push_back(entryAt(root / "N.app", "n" + std::to_string(i), "N"));

  EXPECT_THROW(ManagedNotchApp::normalized({a, sameId}), LaunchStorageError);
  EXPECT_THROW(ManagedNotchApp::normalized({a, sameIdentifier}), LaunchStorageError);
  EXPECT_THROW(ManagedNotchApp::normalized({a, own}), LaunchStorageError);
  EXPECT_THROW(ManagedNotchApp::normalized(tooMany), LaunchStorageError);
  tooMany.pop_back();
  EXPECT_EQ(256u, ManagedNotchApp::normalized(tooMany).size());
}

TEST(RegistryJsonCoding, EncodedListsAndEnvelopesDecodeToTheSameValues) {
  const ManagedNotchApp app{LaunchUuid::random(), "com.example.a", Url::fileUrl("/Applications/ノッチ A.app", true),
                            "ノッチ \"A\"", 3, false, "other-driver"};
  EXPECT_EQ(std::vector<ManagedNotchApp>{app}, RegistryJsonCoding::decodeApps(RegistryJsonCoding::encodeApps({app})));
  const RegistryStoredRecord record{1, {app}, true};
  EXPECT_EQ(record, RegistryJsonCoding::decodeRecord(RegistryJsonCoding::encodeRecord(record)));
  // Lower-case UUIDs, as other encoders write them, are the same ids.
  auto lower = nlohmann::json::parse(stringOf(RegistryJsonCoding::encodeApps({app})));
  std::string id = lower[0]["id"];
  for (auto& c : id) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  lower[0]["id"] = id;
  EXPECT_EQ(std::vector<ManagedNotchApp>{app}, RegistryJsonCoding::decodeApps(blobOf(lower)));
}

TEST(RegistryJsonCoding, DeeplyNestedInputIsRefusedBeforeParsing) {
  EXPECT_EQ(std::nullopt, RegistryJsonCoding::decodeApps(bytesOf(std::string(1'000'000, '['))));
  EXPECT_EQ(std::nullopt, RegistryJsonCoding::decodeRecord(bytesOf(std::string(100, '{'))));
  // Brackets inside strings, escaped quotes included, are text, not nesting.
  auto named = entry("com.example.a", "/A.app", 0);
  named["displayName"] = "\\\"" + std::string(100, '[') + std::string(100, '{');
  const auto decoded = RegistryJsonCoding::decodeApps(blobOf(nlohmann::json::array({named})));
  ASSERT_TRUE(decoded);
  EXPECT_EQ(named["displayName"], (*decoded)[0].displayName);
}

}  // namespace
}  // namespace quillon
