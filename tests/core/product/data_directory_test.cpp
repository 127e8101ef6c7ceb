#include "core/product/data_directory.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "support/temporary_directory.h"

namespace quillon {
namespace {

TEST(DataDirectory, FollowsTheBaseDirectoryRules) {
  const struct {
    const char* xdgDataHome;
    const char* home;
    std::optional<std::string> expected;
  } cases[] = {
      {"/data/share", "/home/u", "/data/share"},
      {"/data/share/", "/home/u", "/data/share"},
      {"", "/home/u", "/home/u/.local/share"},                // empty counts as unset
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
    EXPECT_EQ(c.expected, DataDirectory::xdgApplicationSupportPath(c.xdgDataHome, c.home));
  }
  // No doubled slash when the base is the root.
  EXPECT_EQ("/com.quillon.app", DataDirectory::url(Url::fileUrl("/", true)).path());
}

TEST(DataDirectory, CreatesOnlyWhatIsMissingAndPrivately) {
  TemporaryDirectory temporary;
  std::filesystem::create_directory(temporary / "home");
  ::chmod((temporary / "home").c_str(), 0755);
  const auto share = temporary / "home" / ".local" / "share";
  EXPECT_EQ(0, DataDirectory::createMissingPrivately(share.string()));
  auto mode = [](const std::filesystem::path& p) {
    struct stat info {};
    ::stat(p.c_str(), &info);
    return info.st_mode & 0777;
  };
  EXPECT_EQ(0755u, mode(temporary / "home")) << "an existing directory is left alone";
  EXPECT_EQ(0700u, mode(temporary / "home" / ".local"));
  EXPECT_EQ(0700u, mode(share));
  EXPECT_EQ(0, DataDirectory::createMissingPrivately(share.string()));  // idempotent
  std::ofstream(temporary / "plain") << "x";
  EXPECT_EQ(ENOTDIR, DataDirectory::createMissingPrivately((temporary / "plain" / "x").string()));
}

}  // namespace
}  // namespace quillon
