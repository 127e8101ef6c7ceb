#include "core/app/launch_data_directory.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/temporary_directory.h"

namespace quillon {
namespace {

TEST(LaunchDataDirectory, FollowsTheBaseDirectoryRules) {
  const struct {
    const char* xdgDataHome;
    const char* home;
    std::optional<std::string> expected;
  } cases[] = {
      {"/data/share", "/home/u", "/data/share"},
      {"/data/share/", "/home/u", "/data/share"},
      {"", "/home/u", "/home/u/.local/share"},             // empty counts as unset
      {"relative/share", "/home/u", "/home/u/.local/share"},  // relative is invalid
      {nullptr, "/home/u/", "/home/u/.local/share"},
      {nullptr, "/", "/.local/share"},
      {nullptr, nullptr, std::nullopt},
      {nullptr, "", std::nullopt},
      {nullptr, "home", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << (c.xdgDataHome ? c.xdgDataHome : "(unset)") << " / "
                                      << (c.home ? c.home : "(unset)"));
    EXPECT_EQ(c.expected, LaunchDataDirectory::xdgApplicationSupportPath(c.xdgDataHome, c.home));
  }
}

TEST(LaunchDataDirectory, FilesLiveInComQuillonApp) {
  const Url support = Url::fileUrl("/home/u/.local/share", true);
  EXPECT_EQ("/home/u/.local/share/com.quillon.app/preferences.plist",
            LaunchDataDirectory::preferencesFileUrl(support).path());
  EXPECT_EQ("/home/u/.local/share/com.quillon.app/onboarding.plist",
            LaunchDataDirectory::onboardingFileUrl(support).path());
  EXPECT_EQ("/home/u/.local/share/com.quillon.app", LaunchDataDirectory::url(support).path());
  EXPECT_TRUE(LaunchDataDirectory::url(support).hasDirectoryPath());
  EXPECT_EQ("/com.quillon.app", LaunchDataDirectory::url(Url::fileUrl("/", true)).path());
}

TEST(LaunchDataDirectory, CreatesOnlyWhatIsMissingAndPrivately) {
  TemporaryDirectory temporary;
  std::filesystem::create_directory(temporary / "home");
  ::chmod((temporary / "home").c_str(), 0755);
  const auto share = temporary / "home" / ".local" / "share";
  EXPECT_EQ(0, LaunchDataDirectory::createMissingPrivately(share.string()));
  auto mode = [](const std::filesystem::path& p) {
    struct stat info {};
    ::stat(p.c_str(), &info);
    return info.st_mode & 0777;
  };
  EXPECT_EQ(0755u, mode(temporary / "home"));  // existing: untouched
  EXPECT_EQ(0700u, mode(temporary / "home" / ".local"));
  EXPECT_EQ(0700u, mode(share));
  EXPECT_EQ(0, LaunchDataDirectory::createMissingPrivately(share.string()));  // idempotent
  std::filesystem::create_directories(temporary / "file-parent");
  std::ofstream(temporary / "file-parent" / "plain") << "x";
  EXPECT_EQ(ENOTDIR, LaunchDataDirectory::createMissingPrivately((temporary / "file-parent" / "plain" / "x").string()));
}

}  // namespace
}  // namespace quillon
