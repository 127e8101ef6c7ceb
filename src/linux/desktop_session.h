#pragma once

#include <functional>
#include <optional>
#include <string>

namespace quillon {

// The desktop's own settings program, for the guide's button that opens it: the one of
// the running desktop ($XDG_CURRENT_DESKTOP names GNOME, KDE or XFCE), else the first
// of gnome-control-center, systemsettings and xfce4-settings-manager installed. Its full
// path, found on $PATH; none where the desktop has no known one, so the button is hidden
// rather than failing every time.
using EnvironmentLookup = std::function<const char*(const char* name)>;
std::optional<std::string> desktopSettingsProgram(const EnvironmentLookup& lookup = {});

// Whether the desktop session is a Wayland one ($XDG_SESSION_TYPE is "wayland" or
// $WAYLAND_DISPLAY is set). Quillon then runs through XWayland, where the gesture sees
// neither native Wayland windows nor their input; switching from the menu still works.
bool isWaylandSession(const EnvironmentLookup& lookup = {});

}  // namespace quillon
