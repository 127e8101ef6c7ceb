#include "linux/desktop_session.h"

#include <unistd.h>

#include <cstdlib>
#include <string_view>
#include <vector>

namespace quillon {

namespace {

struct Desktop {
  std::string_view name;  // as $XDG_CURRENT_DESKTOP lists it
  const char* program;
};

constexpr Desktop kDesktops[] = {
    {"GNOME", "gnome-control-center"},
    {"KDE", "systemsettings"},
    {"XFCE", "xfce4-settings-manager"},
};

std::optional<std::string> onPath(std::string_view path, const char* program) {
  while (!path.empty()) {
    const auto end = path.find(':');
    const std::string_view folder = path.substr(0, end);
    path = end == std::string_view::npos ? std::string_view() : path.substr(end + 1);
    if (folder.empty() || folder.front() != '/') continue;  // relative entries are not trusted
    std::string candidate = std::string(folder) + "/" + program;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return std::nullopt;
}

std::string_view variable(const EnvironmentLookup& lookup, const char* name) {
  const char* value = lookup ? lookup(name) : std::getenv(name);
  return value != nullptr ? value : "";
}

}  // namespace

bool isWaylandSession(const EnvironmentLookup& lookup) {
  return variable(lookup, "XDG_SESSION_TYPE") == "wayland" || !variable(lookup, "WAYLAND_DISPLAY").empty();
}

std::optional<std::string> desktopSettingsProgram(const EnvironmentLookup& lookup) {
  const auto get = [&](const char* name) { return variable(lookup, name); };
  const std::string_view path = get("PATH");
  // "ubuntu:GNOME", "KDE", "XFCE": a colon-separated list, most specific first.
  std::string_view current = get("XDG_CURRENT_DESKTOP");
  std::vector<const char*> order;
  while (!current.empty()) {
    const auto end = current.find(':');
    for (const auto& desktop : kDesktops) {
      if (current.substr(0, end) == desktop.name) order.push_back(desktop.program);
    }
    current = end == std::string_view::npos ? std::string_view() : current.substr(end + 1);
  }
  for (const auto& desktop : kDesktops) order.push_back(desktop.program);
  for (const char* program : order) {
    if (auto found = onPath(path, program)) return found;
  }
  return std::nullopt;
}

}  // namespace quillon
