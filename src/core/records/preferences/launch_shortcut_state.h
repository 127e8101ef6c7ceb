#pragma once

#include "core/records/preferences/launch_modifier_shortcut.h"

namespace quillon {

// Turns modifier-flag changes into press, release and cancel of the chord. A chord
// only presses when its keys go down with no other supported modifier; a chord that
// was already down among other keys (or when the shortcut changed) must be fully
// released before it can press again, so a stray extra key never starts a gesture.
class LaunchShortcutState {
 public:
  enum class Action { none, press, release, cancel };

  LaunchShortcutState(LaunchModifierShortcut shortcut, EventFlags flags);

  void reset(LaunchModifierShortcut shortcut, EventFlags flags);
  Action update(EventFlags flags);

  const LaunchModifierShortcut& shortcut() const { return shortcut_; }
  // The chord is down exactly and its press has been reported.
  bool isHeld() const { return isHeld_; }
  bool blockedUntilRelease() const { return blockedUntilRelease_; }

 private:
  LaunchModifierShortcut shortcut_;
  bool isHeld_ = false;
  bool blockedUntilRelease_ = false;
};

}  // namespace quillon
