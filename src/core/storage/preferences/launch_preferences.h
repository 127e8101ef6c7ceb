#pragma once

#include "core/storage/preferences/launch_modifier_shortcut.h"

namespace quillon {

// The user's two settings: the invocation chord and whether previews are kept on disk
// between runs.
struct LaunchPreferences {
  LaunchModifierShortcut shortcut = LaunchModifierShortcut::command();
  bool savePreviews = true;

  friend bool operator==(const LaunchPreferences&, const LaunchPreferences&) = default;
};

}  // namespace quillon
