#include "linux/desktop_motion_setting.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "linux/desktop_session.h"
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

// The running desktop's own program first, else any known one that can run; none
// without an absolute PATH entry holding one.
TEST(DesktopSettingsProgram, PrefersTheRunningDesktopsProgramThatCanRun) {
  TemporaryDirectory bin;
  for (const char* name : {"systemsettings", "xfce4-settings-manager", "gnome-control-center"}) {
    std::ofstream(bin / name) << "#!/bin/sh\n";
  }
  namespace fs = std::filesystem;
  for (const char* name : {"systemsettings", "xfce4-settings-manager"}) {
    fs::permissions(bin / name, fs::perms::owner_exec, fs::perm_options::add);
  }
  const std::string path = "relative:" + bin.path().string();
  const struct {
    const char* desktop;
    std::string path;
    const char* found;  // the program's name, or none
  } rows[] = {
      {"XFCE", path, "xfce4-settings-manager"},
      {"ubuntu:GNOME", path, "systemsettings"},  // GNOME's is there but cannot run
      {"", path, "systemsettings"},
      {"XFCE", "", nullptr},
      {"XFCE", "relative", nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.desktop) + " on " + row.path);
    const std::map<std::string, std::string> variables = {{"XDG_CURRENT_DESKTOP", row.desktop}, {"PATH", row.path}};
    const auto found = desktopSettingsProgram([&](const char* name) { return variables.at(name).c_str(); });
    EXPECT_EQ(row.found ? std::optional((bin / row.found).string()) : std::nullopt, found);
  }
}

}  // namespace
}  // namespace quillon
