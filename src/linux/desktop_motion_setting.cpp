#include "linux/desktop_motion_setting.h"

#include <cstdlib>
#include <fstream>
#include <string>

namespace quillon {

namespace {

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The value of `key` in `[section]` of an INI-style file; none when absent or unreadable.
std::optional<std::string> iniValue(const std::filesystem::path& file, const std::string& section,
                                    const std::string& key) {
  std::ifstream in(file);
  std::string line;
  bool inSection = false;
  // Settings files are small; a bound keeps a hostile one from being read forever.
  for (int count = 0; count < 10'000 && std::getline(in, line); ++count) {
    line = trimmed(line);
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    if (line.front() == '[') {
      inSection = line == "[" + section + "]";
      continue;
    }
    const auto equals = line.find('=');
    if (inSection && equals != std::string::npos && trimmed(line.substr(0, equals)) == key) {
      return trimmed(line.substr(equals + 1));
    }
  }
  return std::nullopt;
}

}  // namespace

bool desktopPrefersReducedMotion(const std::filesystem::path& configHome) {
  if (const auto factor = iniValue(configHome / "kdeglobals", "KDE", "AnimationDurationFactor")) {
    char* end = nullptr;
    const double value = std::strtod(factor->c_str(), &end);
    if (end != factor->c_str() && value == 0) return true;
  }
  if (const auto enabled = iniValue(configHome / "gtk-3.0" / "settings.ini", "Settings", "gtk-enable-animations")) {
    if (*enabled == "false" || *enabled == "0") return true;
  }
  return false;
}

std::optional<std::filesystem::path> userConfigHome() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && config[0] == '/') return std::filesystem::path(config);
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return std::filesystem::path(home) / ".config";
  return std::nullopt;
}

}  // namespace quillon
