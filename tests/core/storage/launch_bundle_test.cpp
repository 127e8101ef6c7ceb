#include "core/storage/launch_bundle.h"

#include <filesystem>
#include <gtest/gtest.h>

#include "support/temporary_directory.h"
#include "support/test_app_bundle.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

struct LaunchBundleTest : ::testing::Test {
  TemporaryDirectory temporary;
  fs::path root = fs::canonical(temporary.path());
};

TEST_F(LaunchBundleTest, AnyDirectoryOpensButOnlyADirectory) {
  fs::create_directories(root / "Plain.app");
  writeTestFile(root / "File.app", "x");
  const auto plain = LaunchBundle::open(directoryUrl(root / "Plain.app"));
  ASSERT_TRUE(plain);
  EXPECT_TRUE(plain->infoDictionary().empty());
  EXPECT_EQ(std::nullopt, plain->bundleIdentifier());
  EXPECT_EQ(std::nullopt, plain->executableURL());
  EXPECT_FALSE(LaunchBundle::open(Url::fileUrl((root / "File.app").string(), false)));
  EXPECT_FALSE(LaunchBundle::open(directoryUrl(root / "Missing.app")));
  EXPECT_FALSE(LaunchBundle::open(*Url::parse("https://example.com/Plain.app/")));
}

TEST_F(LaunchBundleTest, DisplayNamePrefersDisplayNameThenNameAndIgnoresOtherTypes) {
  struct Row {
    const char* label;
    PropertyListValue::Dictionary info;
    std::optional<std::string> expected;
  };
  const std::vector<Row> rows = {
      {"both", {{"CFBundleDisplayName", PropertyListValue{std::string("Shown")}}, {"CFBundleName", PropertyListValue{std::string("Name")}}}, "Shown"},
      {"name only", {{"CFBundleName", PropertyListValue{std::string("Name")}}}, "Name"},
      {"display name not a string", {{"CFBundleDisplayName", PropertyListValue{true}}, {"CFBundleName", PropertyListValue{std::string("Name")}}}, "Name"},
      {"neither", {}, std::nullopt},
  };
  int index = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    TestAppBundle spec;
    spec.extraInfo = row.info;
    const auto app = spec.writeTo(root / ("N" + std::to_string(index++) + ".app"));
    const auto bundle = LaunchBundle::open(directoryUrl(app));
    ASSERT_TRUE(bundle);
    EXPECT_EQ(row.expected, bundle->displayName());
  }
}

TEST_F(LaunchBundleTest, BundleUrlIsTheStandardizedDirectoryUrl) {
  const auto app = TestAppBundle{}.writeTo(root / "Notch.app");
  const auto bundle = LaunchBundle::open(Url::fileUrl((root / "x" / ".." / "Notch.app").string(), false));
  ASSERT_TRUE(bundle);
  EXPECT_EQ(directoryUrl(app), bundle->bundleURL());
  EXPECT_EQ(Url::fileUrl((app / "Contents/MacOS/Notch").string(), false), bundle->executableURL());
  EXPECT_EQ("com.example.notch", bundle->bundleIdentifier());
}

TEST_F(LaunchBundleTest, EmptyExecutableNameFallsBackToTheBundleName) {
  TestAppBundle spec;
  spec.executable = "";
  spec.writeTo(root / "Fallback.app");
  writeTestFile(root / "Fallback.app/Contents/MacOS/Fallback", "#!/bin/sh\n", 0755);
  const auto bundle = LaunchBundle::open(directoryUrl(root / "Fallback.app"));
  ASSERT_TRUE(bundle);
  EXPECT_EQ(Url::fileUrl((root / "Fallback.app/Contents/MacOS/Fallback").string(), false), bundle->executableURL());
}

}  // namespace
}  // namespace quillon
