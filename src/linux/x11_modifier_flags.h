#pragma once

#include <array>
#include <cstdint>

#include "core/records/preferences/launch_modifier_shortcut.h"

namespace quillon {

// An X11 modifier state (the core protocol's key-and-button mask, also what XInput2
// reports as effective modifiers) in the event-flag bits the chord is made of:
// Shift → Shift, Control → Control, Alt (Mod1) → Option, Super (Mod4) → Command, and
// Caps Lock to the platform's Caps Lock bit, which every chord ignores.
EventFlags launchEventFlagsFromX11Modifiers(std::uint32_t state);

// The same, as the gesture must read it: Mod3 and AltGr (Mod5) have no event-flag bit,
// yet holding one is a chord change like any other modifier outside the chord, so it
// shows as the first chord flag that `chord` lacks (a gesture cancels, none begins).
// A chord of all four flags leaves no such bit; those two keys are then ignored.
EventFlags launchEventFlagsForChord(std::uint32_t state, LaunchModifierShortcut chord);

// The X11 modifier mask of a chord (the inverse of the mapping above, chord keys only).
std::uint16_t x11ModifiersFromLaunchEventFlags(EventFlags flags);

// A passive grab matches only the exact modifier state, so a grab meant for `mask` is
// made once for each combination of Caps Lock and Num Lock (Mod2) on top of it: with
// either lock on, the chord would otherwise reach applications unseen.
std::array<std::uint16_t, 4> x11LockVariants(std::uint16_t mask);
// The state with the two locks taken out, for comparing with a chord mask.
std::uint16_t x11WithoutLocks(std::uint32_t state);

}  // namespace quillon
