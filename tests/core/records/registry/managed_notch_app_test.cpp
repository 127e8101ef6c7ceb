#include "core/records/registry/managed_notch_app.h"

#include <gtest/gtest.h>

#include "support/registry_test_support.h"

namespace quillon {
namespace {

using namespace registry_testing;

struct ManagedNotchAppTest : ::testing::Test, RegistryFixture {
  ManagedNotchApp entryAt(const std::filesystem::path& path, std::string identifier, std::string name) {
    return {Uuid::random(), std::move(identifier), Url::fileUrl(path.string(), false), std::move(name), 0,
            true,           "suppression"};
  }
};

TEST_F(ManagedNotchAppTest, NamesComeFromTheBundleOnlyWhileItIsTheSameAppAndUrlsAreStandardized) {
  bundleAt(root / "Same.app", [](TestAppBundle& b) {
    b.identifier = "com.example.same";
    b.displayName = "Shown Name";
  });
  bundleAt(root / "Replaced.app", [](TestAppBundle& b) {
    b.identifier = "com.example.other";
    b.displayName = "Shown Name";
  });
  std::vector<ManagedNotchApp> entries = {entryAt(root / "Same.app", "com.example.same", "Stored"),
                                          entryAt(root / "Replaced.app", "com.example.replaced", "Stored"),
                                          entryAt(root / "x" / ".." / "Gone.APP", "com.example.gone", "  Kept\n")};
  for (const char* blank : {"", "\t\n", "\u3000\u00a0"})
    entries.push_back(entryAt(root / "Notch Bar.app", "com.example.bar" + std::to_string(entries.size()), blank));
  const auto apps = ManagedNotchApp::normalized(entries);
  EXPECT_EQ("Shown Name", apps[0].displayName);
  EXPECT_EQ("Stored", apps[1].displayName);
  EXPECT_EQ("Kept", apps[2].displayName);
  EXPECT_EQ(directoryUrl(root / "Gone.APP"), apps[2].bundleURL);
  for (std::size_t i = 3; i < apps.size(); ++i) EXPECT_EQ("Notch Bar", apps[i].displayName) << i;
}

}  // namespace
}  // namespace quillon
