#include "core/storage/launch_modifier_shortcut.h"

#include <gtest/gtest.h>

#include "core/storage/launch_decoding_error.h"
#include "core/storage/launch_shortcut_state.h"

namespace quillon {
namespace {

using S = LaunchModifierShortcut;
constexpr LaunchEventFlags shift = S::shiftFlag;
constexpr LaunchEventFlags control = S::controlFlag;
constexpr LaunchEventFlags option = S::optionFlag;
constexpr LaunchEventFlags command = S::commandFlag;
constexpr LaunchEventFlags capsLock = 0x10000;
constexpr LaunchEventFlags function = 0x800000;

TEST(LaunchModifierShortcut, OnlyNonEmptyCombinationsOfTheFourModifiersAreShortcuts) {
  const std::vector<std::pair<std::uint64_t, bool>> rows = {
      {0, false},
      {shift, true},
      {control, true},
      {option, true},
      {command, true},
      {control | option | shift | command, true},
      {command | capsLock, false},
      {command | function, false},
      {0x1, false},
      {std::uint64_t{1} << 63, false},
  };
  for (const auto& [raw, valid] : rows) {
    SCOPED_TRACE(raw);
    EXPECT_EQ(valid, S::fromRawValue(raw).has_value());
    if (valid) {
      EXPECT_EQ(raw, S::decode(raw).rawValue());
    } else {
      try {
        S::decode(raw);
        ADD_FAILURE() << "decoded";
      } catch (const LaunchDecodingError& error) {
        EXPECT_EQ("Empty or unsupported modifier chord", error.description());
      }
    }
  }
}

TEST(LaunchModifierShortcut, MatchingIgnoresOtherFlagsAndHoldingAllowsExtraModifiers) {
  const auto chord = S::command();
  EXPECT_TRUE(chord.matches(command | capsLock | function));
  EXPECT_FALSE(chord.matches(command | shift));
  EXPECT_TRUE(chord.isHeld(command | shift));
  EXPECT_FALSE(S::optionShift().isHeld(option));
  EXPECT_TRUE(S::optionShift().matches(option | shift | capsLock));
}

TEST(LaunchModifierShortcut, DisplayStringUsesTheFixedSymbolOrder) {
  EXPECT_EQ("⌘", S::command().displayString());
  EXPECT_EQ("⌥⇧", S::optionShift().displayString());
  EXPECT_EQ("⌃⌘", S::fromRawValue(command | control)->displayString());
  EXPECT_EQ("⌃⌥⇧⌘", S::fromRawValue(S::supportedFlags)->displayString());
}

using Action = LaunchShortcutState::Action;

struct Step {
  LaunchEventFlags flags;
  Action expected;
};

void play(LaunchShortcutState& state, const std::vector<Step>& steps) {
  for (std::size_t i = 0; i < steps.size(); ++i) {
    SCOPED_TRACE("step " + std::to_string(i));
    EXPECT_EQ(steps[i].expected, state.update(steps[i].flags));
  }
}

TEST(LaunchShortcutState, AnotherModifierWhileHeldCancelsAndBlocksUntilRelease) {
  LaunchShortcutState state(S::command(), 0);
  play(state, {
                  {command, Action::press},
                  {command, Action::none},
                  {command | shift, Action::cancel},
                  {command, Action::none},  // still blocked: ⌘ was never released
                  {0, Action::none},
                  {command, Action::press},
                  {0, Action::release},
                  {0, Action::none},
              });
}

TEST(LaunchShortcutState, AChordReachedThroughOtherKeysNeverPresses) {
  LaunchShortcutState state(S::command(), 0);
  play(state, {
                  {option, Action::none},
                  {option | command, Action::none},
                  {command, Action::none},
                  {0, Action::none},
                  {command | capsLock, Action::press},
              });
}

TEST(LaunchShortcutState, TwoKeyChordsPressWhenTheLastKeyGoesDown) {
  LaunchShortcutState state(S::optionShift(), 0);
  play(state, {
                  {option, Action::none},
                  {option | shift, Action::press},
                  {option | shift | control, Action::cancel},
                  {option, Action::none},
                  {option | shift, Action::press},
                  {shift, Action::release},
              });
}

TEST(LaunchShortcutState, StartingAndResettingWithKeysDown) {
  LaunchShortcutState exact(S::command(), command);
  EXPECT_TRUE(exact.isHeld());
  EXPECT_EQ(Action::release, exact.update(0));

  LaunchShortcutState crowded(S::command(), command | option);
  EXPECT_TRUE(crowded.blockedUntilRelease());
  play(crowded, {{command, Action::none}, {0, Action::none}, {command, Action::press}});

  crowded.reset(S::optionShift(), option | shift);
  EXPECT_FALSE(crowded.isHeld());
  EXPECT_TRUE(crowded.blockedUntilRelease());
  play(crowded, {{option | shift, Action::none}, {option, Action::none}, {option | shift, Action::press}});

  crowded.reset(S::command(), 0);
  EXPECT_FALSE(crowded.blockedUntilRelease());
  EXPECT_EQ(Action::press, crowded.update(command));
}

}  // namespace
}  // namespace quillon
