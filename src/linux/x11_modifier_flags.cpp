#include "linux/x11_modifier_flags.h"

#include <xcb/xproto.h>

namespace quillon {

namespace {

constexpr EventFlags capsLockFlag = 0x10000;

constexpr EventFlags fromX11(std::uint32_t state) {
  EventFlags flags = 0;
  if (state & XCB_MOD_MASK_SHIFT) flags |= LaunchModifierShortcut::shiftFlag;
  if (state & XCB_MOD_MASK_CONTROL) flags |= LaunchModifierShortcut::controlFlag;
  if (state & XCB_MOD_MASK_1) flags |= LaunchModifierShortcut::optionFlag;
  if (state & XCB_MOD_MASK_4) flags |= LaunchModifierShortcut::commandFlag;
  if (state & XCB_MOD_MASK_LOCK) flags |= capsLockFlag;
  return flags;
}

// The whole table, checked when this file compiles.
static_assert(fromX11(0) == 0);
static_assert(fromX11(XCB_MOD_MASK_SHIFT) == LaunchModifierShortcut::shiftFlag);
static_assert(fromX11(XCB_MOD_MASK_CONTROL) == LaunchModifierShortcut::controlFlag);
static_assert(fromX11(XCB_MOD_MASK_1) == LaunchModifierShortcut::optionFlag);
static_assert(fromX11(XCB_MOD_MASK_4) == LaunchModifierShortcut::commandFlag);
static_assert(fromX11(XCB_MOD_MASK_1 | XCB_MOD_MASK_SHIFT) == LaunchModifierShortcut::optionShift().rawValue());
// Num Lock (Mod2), Mod3, AltGr (Mod5) and the pointer buttons are not modifiers of a chord.
static_assert(fromX11(XCB_MOD_MASK_2 | XCB_MOD_MASK_3 | XCB_MOD_MASK_5 | XCB_BUTTON_MASK_1) == 0);
static_assert(LaunchModifierShortcut::command().matches(fromX11(XCB_MOD_MASK_4 | XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2)));

}  // namespace

EventFlags launchEventFlagsFromX11Modifiers(std::uint32_t state) { return fromX11(state); }

EventFlags launchEventFlagsForChord(std::uint32_t state, LaunchModifierShortcut chord) {
  EventFlags flags = fromX11(state);
  if ((state & (XCB_MOD_MASK_3 | XCB_MOD_MASK_5)) == 0) return flags;
  for (const EventFlags flag : {LaunchModifierShortcut::controlFlag, LaunchModifierShortcut::optionFlag,
                                LaunchModifierShortcut::shiftFlag, LaunchModifierShortcut::commandFlag}) {
    if ((chord.rawValue() & flag) == 0) return flags | flag;
  }
  return flags;
}

std::uint16_t x11ModifiersFromLaunchEventFlags(EventFlags flags) {
  std::uint16_t mask = 0;
  if (flags & LaunchModifierShortcut::shiftFlag) mask |= XCB_MOD_MASK_SHIFT;
  if (flags & LaunchModifierShortcut::controlFlag) mask |= XCB_MOD_MASK_CONTROL;
  if (flags & LaunchModifierShortcut::optionFlag) mask |= XCB_MOD_MASK_1;
  if (flags & LaunchModifierShortcut::commandFlag) mask |= XCB_MOD_MASK_4;
  return mask;
}

std::array<std::uint16_t, 4> x11LockVariants(std::uint16_t mask) {
  return {mask, static_cast<std::uint16_t>(mask | XCB_MOD_MASK_LOCK), static_cast<std::uint16_t>(mask | XCB_MOD_MASK_2),
          static_cast<std::uint16_t>(mask | XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2)};
}

std::uint16_t x11WithoutLocks(std::uint32_t state) {
  return static_cast<std::uint16_t>(state & 0xff & ~static_cast<std::uint32_t>(XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2));
}

}  // namespace quillon
