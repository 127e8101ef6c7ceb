#include "core/bundle/own_application.h"

#include <gtest/gtest.h>

#include "support/temporary_directory.h"
#include "support/test_app_bundle.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

TEST(OwnApplication, OnlyAnExecutableInsideARealBundleIsThatBundle) {
  TemporaryDirectory temporary;
  const fs::path root = fs::canonical(temporary.path());
  TestAppBundle layout;
  layout.identifier = "com.quillon.app";
  layout.executable = "quillon";
  layout.shortVersion = "2.5";
  const auto app = layout.writeTo(root / "Quillon.app");
  fs::create_directory_symlink(root, root / "alias");
  const auto own = OwnApplication::fromExecutablePath((root / "alias/Quillon.app/Contents/MacOS/quillon").string());
  EXPECT_EQ(canonicalDirectoryUrl(app), own.bundleURL);
  EXPECT_EQ("2.5", stringValue(own.infoDictionary, "CFBundleShortVersionString"));

  // Which paths lie inside a bundle is the process identity's table; outside one, the
  // built-in dictionary answers.
  const auto elsewhere = OwnApplication::fromExecutablePath("/usr/bin/quillon");
  EXPECT_EQ("com.quillon.app", elsewhere.bundleIdentifier);
  EXPECT_EQ(std::nullopt, elsewhere.bundleURL);
  EXPECT_EQ(QUILLON_VERSION, stringValue(elsewhere.infoDictionary, "CFBundleShortVersionString"));
}

}  // namespace
}  // namespace quillon
