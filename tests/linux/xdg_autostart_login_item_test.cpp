#include "linux/xdg_autostart_login_item.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "support/scoped_environment.h"
#include "support/storage_test_files.h"
#include "support/temporary_directory.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;
using testing_files::readText;

TEST(XdgAutostartLoginItem, OffByDefaultThenWritesAndRemovesTheEntryUnderXdgConfigHome) {
  TemporaryDirectory temporary;
  const ScopedEnvironment config("XDG_CONFIG_HOME", (temporary / "config").string());
  const ScopedEnvironment home("HOME", (temporary / "home").string());
  auto item = XdgAutostartLoginItem::forCurrentUser();
  ASSERT_TRUE(item);
  const fs::path entry = temporary / "config" / "autostart" / "quillon.desktop";
  ASSERT_EQ(entry.string(), item->entryPath());
  EXPECT_FALSE(item->isEnabled());

  ASSERT_TRUE(item->setEnabled(true));
  EXPECT_TRUE(item->isEnabled());
  const std::string text = readText(entry);
  EXPECT_EQ(0u, text.find("[Desktop Entry]\nType=Application\n")) << text;
  // This very executable, so that a session starts what the user turned the switch on in.
  EXPECT_NE(std::string::npos, text.find("\nExec=" + fs::read_symlink("/proc/self/exe").string() + "\n")) << text;
  EXPECT_FALSE(fs::exists(temporary / "home")) << "XDG_CONFIG_HOME wins over HOME";
  EXPECT_EQ(1, std::distance(fs::directory_iterator(entry.parent_path()), fs::directory_iterator{}))
      << "no temporary file is left beside the entry";

  ASSERT_TRUE(item->setEnabled(false));
  EXPECT_FALSE(fs::exists(entry));
  EXPECT_TRUE(item->setEnabled(false)) << "turning off what is off succeeds";
}

TEST(XdgAutostartLoginItem, FindsTheConfigurationDirectoryByTheBaseDirectoryRules) {
  struct Case {
    std::optional<std::string> xdgConfigHome, home;
    std::optional<std::string> entry;  // none: no entry can be placed
  };
  const Case cases[] = {
      {"/x/config", "/home/u", "/x/config/autostart/quillon.desktop"},
      {"relative/config", "/home/u", "/home/u/.config/autostart/quillon.desktop"},
      {"", "/home/u", "/home/u/.config/autostart/quillon.desktop"},
      {std::nullopt, "relative", std::nullopt},
      {std::nullopt, std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.xdgConfigHome.value_or("(unset)") + " " + c.home.value_or("(unset)"));
    const ScopedEnvironment config("XDG_CONFIG_HOME", c.xdgConfigHome);
    const ScopedEnvironment home("HOME", c.home);
    const auto item = XdgAutostartLoginItem::forCurrentUser();
    EXPECT_EQ(c.entry, item ? std::optional(item->entryPath()) : std::nullopt);
  }
}

TEST(XdgAutostartLoginItem, ReadsEntriesItDidNotWriteSafely) {
  TemporaryDirectory temporary;
  XdgAutostartLoginItem item((temporary / "config").string(), "/opt/My Apps/quillon");
  const fs::path entry = item.entryPath();
  ASSERT_TRUE(item.setEnabled(true));
  EXPECT_NE(std::string::npos, readText(entry).find("\nExec=\"/opt/My Apps/quillon\"\n"))
      << "a path with a space is quoted";

  struct Case {
    const char* name;
    std::string contents;  // empty: a folder stands where the entry belongs
    bool enabled;
  };
  const Case cases[] = {
      {"hidden by the session's settings", "[Desktop Entry]\nHidden=true\n", false},
      {"switched off in GNOME", "[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n", false},
      {"written by hand", "[Desktop Entry]\nExec=quillon\n", true},
      {"a folder", "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(entry);
    if (c.contents.empty()) {
      fs::create_directory(entry);
    } else {
      std::ofstream(entry) << c.contents;
    }
    EXPECT_EQ(c.enabled, item.isEnabled());
  }
  // A folder in the entry's place is the user's: neither replaced nor deleted.
  EXPECT_FALSE(item.setEnabled(true));
  EXPECT_FALSE(item.setEnabled(false));
  EXPECT_TRUE(fs::is_directory(entry));
}

}  // namespace
}  // namespace quillon
