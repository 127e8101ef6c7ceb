#include "core/records/preferences/launch_shortcut_state.h"

namespace quillon {

LaunchShortcutState::LaunchShortcutState(LaunchModifierShortcut shortcut, EventFlags flags)
    : shortcut_(shortcut),
      isHeld_(shortcut.matches(flags)),
      blockedUntilRelease_(!shortcut.matches(flags) && shortcut.isHeld(flags)) {}

void LaunchShortcutState::reset(LaunchModifierShortcut shortcut, EventFlags flags) {
  shortcut_ = shortcut;
  isHeld_ = false;
  blockedUntilRelease_ = shortcut.isHeld(flags);
}

LaunchShortcutState::Action LaunchShortcutState::update(EventFlags flags) {
  const EventFlags supported = flags & LaunchModifierShortcut::supportedFlags;
  const bool allDown = shortcut_.isHeld(flags);
  if (blockedUntilRelease_) {
    if (!allDown) blockedUntilRelease_ = false;
    return Action::none;
  }
  if (isHeld_ && (supported & ~shortcut_.rawValue()) != 0) {
    isHeld_ = false;
    blockedUntilRelease_ = allDown;
    return Action::cancel;
  }
  if (!allDown) {
    const bool wasHeld = isHeld_;
    isHeld_ = false;
    return wasHeld ? Action::release : Action::none;
  }
  if (supported != shortcut_.rawValue()) {
    blockedUntilRelease_ = true;
    return Action::none;
  }
  if (!isHeld_) {
    isHeld_ = true;
    return Action::press;
  }
  return Action::none;
}

}  // namespace quillon
