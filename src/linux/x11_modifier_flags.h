#pragma once

#include <cstdint>

#include "core/storage/preferences/launch_modifier_shortcut.h"

namespace quillon {

// An X11 modifier state (the core protocol's key-and-button mask, also what XInput2
// reports as effective modifiers) in the event-flag bits the chord is made of:
// Shift → Shift, Control → Control, Alt (Mod1) → Option, Super (Mod4) → Command, and
// Caps Lock to the platform's Caps Lock bit, which every chord ignores.
LaunchEventFlags launchEventFlagsFromX11Modifiers(std::uint32_t state);

}  // namespace quillon
