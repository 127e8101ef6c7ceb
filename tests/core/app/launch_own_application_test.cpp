#include "core/app/launch_own_application.h"

#include <filesystem>
#include <gtest/gtest.h>

#include "support/temporary_directory.h"
#include "support/test_app_bundle.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

TEST(LaunchOwnApplication, AnExecutableInsideABundleIsThatBundle) {
  TemporaryDirectory temporary;
  const fs::path root = fs::canonical(temporary.path());
  TestAppBundle spec;
  spec.identifier = "com.quillon.app";
  spec.executable = "quillon";
  spec.shortVersion = "2.5";
  const auto app = spec.writeTo(root / "Quillon.app");
  fs::create_directory_symlink(root, root / "alias");

  const auto own = LaunchOwnApplication::fromExecutablePath((root / "alias/Quillon.app/Contents/MacOS/quillon").string());
  EXPECT_EQ("com.quillon.app", own.bundleIdentifier);
  EXPECT_EQ(canonicalDirectoryUrl(app), own.bundleURL);
  EXPECT_EQ("2.5", stringValue(own.infoDictionary, "CFBundleShortVersionString"));
}

TEST(LaunchOwnApplication, ElsewhereThereIsNoBundleAndTheBuiltInInfo) {
  TemporaryDirectory temporary;
  const fs::path root = fs::canonical(temporary.path());
  fs::create_directories(root / "Tool/Contents/MacOS");
  for (const std::string& path : {std::string("/usr/bin/quillon"), (root / "Tool/Contents/MacOS/quillon").string(),
                                 std::string("relative/X.app/Contents/MacOS/x"), std::string()}) {
    SCOPED_TRACE(path);
    const auto own = LaunchOwnApplication::fromExecutablePath(path);
    EXPECT_EQ("com.quillon.app", own.bundleIdentifier);
    EXPECT_EQ(std::nullopt, own.bundleURL);
    EXPECT_EQ(QUILLON_VERSION, stringValue(own.infoDictionary, "CFBundleShortVersionString"));
    EXPECT_EQ(QUILLON_VERSION, stringValue(own.infoDictionary, "CFBundleVersion"));
  }
}

}  // namespace
}  // namespace quillon
