#include "linux/desktop_motion_setting.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/temporary_directory.h"

namespace quillon {
namespace {

TEST(DesktopMotionSetting, KdeInstantAnimationsOrGtkAnimationsOffReduceMotion) {
  struct Row {
    const char* file;
    const char* text;
    bool reduce;
  };
  const Row rows[] = {
      {"kdeglobals", "[General]\nx=1\n[KDE]\nAnimationDurationFactor=0\n", true},
      {"kdeglobals", "[KDE]\nAnimationDurationFactor = 0.5\n", false},
      {"kdeglobals", "[General]\nAnimationDurationFactor=0\n", false},  // another section
      {"gtk-3.0/settings.ini", "[Settings]\ngtk-enable-animations=false\n", true},
      {"gtk-3.0/settings.ini", "[Settings]\r\ngtk-enable-animations = 0\r\n", true},
      {"gtk-3.0/settings.ini", "[Settings]\ngtk-enable-animations=true\n", false},
      {"gtk-3.0/settings.ini", "\x01\x02 not an ini file", false},
      {"unrelated", "", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.file) + ": " + row.text);
    TemporaryDirectory config;
    std::filesystem::create_directories((config / row.file).parent_path());
    std::ofstream(config / row.file) << row.text;
    EXPECT_EQ(desktopPrefersReducedMotion(config.path()), row.reduce);
  }
}

}  // namespace
}  // namespace quillon
