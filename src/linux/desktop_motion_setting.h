#pragma once

#include <filesystem>
#include <optional>

namespace quillon {

// The desktop's "reduce motion" choice, where a desktop keeps one in a file: KDE's
// animation speed set to instant (AnimationDurationFactor=0 in kdeglobals) or GTK's
// animations switched off (gtk-enable-animations in gtk-3.0/settings.ini). Unreadable or
// absent files mean no preference, so the switcher animates.
bool desktopPrefersReducedMotion(const std::filesystem::path& configHome);

// $XDG_CONFIG_HOME, else ~/.config; none without either.
std::optional<std::filesystem::path> userConfigHome();

}  // namespace quillon
