#pragma once

#include "core/records/preferences/launch_modifier_shortcut.h"

namespace quillon {

// The user's settings: the invocation chord, whether previews are kept on disk between
// runs, and whether vertical scrolling also switches (for mice without a horizontal
// wheel; off unless chosen).
struct LaunchPreferences {
  LaunchModifierShortcut shortcut = LaunchModifierShortcut::command();
  bool savePreviews = true;
  bool switchWithVerticalScroll = false;

  friend bool operator==(const LaunchPreferences&, const LaunchPreferences&) = default;
};

}  // namespace quillon
