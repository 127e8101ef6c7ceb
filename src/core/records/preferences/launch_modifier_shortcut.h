#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/support/event_flags.h"

namespace quillon {

// The invocation chord: a non-empty combination of Shift, Control, Option and Command.
class LaunchModifierShortcut {
 public:
  static constexpr EventFlags shiftFlag = 0x20000;
  static constexpr EventFlags controlFlag = 0x40000;
  static constexpr EventFlags optionFlag = 0x80000;
  static constexpr EventFlags commandFlag = 0x100000;
  static constexpr EventFlags supportedFlags = 0x1E0000;

  static constexpr LaunchModifierShortcut command() { return LaunchModifierShortcut(commandFlag); }
  static constexpr LaunchModifierShortcut optionShift() { return LaunchModifierShortcut(optionFlag | shiftFlag); }

  // None for 0 or a value with any bit outside supportedFlags.
  static std::optional<LaunchModifierShortcut> fromRawValue(std::uint64_t rawValue);
  // The stored form; throws LaunchDecodingError::unsupportedModifierChord.
  static LaunchModifierShortcut decode(std::uint64_t rawValue);

  constexpr std::uint64_t rawValue() const { return rawValue_; }

  // Exactly the chord's keys among the four supported modifiers.
  constexpr bool matches(EventFlags flags) const { return (flags & supportedFlags) == rawValue_; }
  // Every key of the chord is down; other modifiers may be down too.
  constexpr bool isHeld(EventFlags flags) const { return (flags & rawValue_) == rawValue_; }
  // The chord's symbols in the fixed order ⌃ ⌥ ⇧ ⌘, without separators.
  std::string displayString() const;

  friend bool operator==(const LaunchModifierShortcut&, const LaunchModifierShortcut&) = default;

 private:
  explicit constexpr LaunchModifierShortcut(std::uint64_t rawValue) : rawValue_(rawValue) {}
  std::uint64_t rawValue_;
};

}  // namespace quillon
