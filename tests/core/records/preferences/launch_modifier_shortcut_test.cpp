#include "core/records/preferences/launch_modifier_shortcut.h"

#include <gtest/gtest.h>

#include "core/localization/l10n.h"
#include "core/localization/platform_string_tables.h"
#include "core/records/preferences/launch_shortcut_state.h"
#include "core/storage/plist/launch_decoding_error.h"

namespace quillon {
namespace {

using S = LaunchModifierShortcut;
using Action = LaunchShortcutState::Action;
constexpr EventFlags shift = S::shiftFlag;
constexpr EventFlags control = S::controlFlag;
constexpr EventFlags option = S::optionFlag;
constexpr EventFlags command = S::commandFlag;
constexpr EventFlags capsLock = 0x10000;
constexpr EventFlags function = 0x800000;

TEST(LaunchModifierShortcut, OnlyNonEmptyCombinationsOfTheFourModifiersDecode) {
  for (std::uint64_t raw :
       {std::uint64_t{0}, command | capsLock, command | function, std::uint64_t{1}, std::uint64_t{1} << 63}) {
    SCOPED_TRACE(raw);
    EXPECT_FALSE(S::fromRawValue(raw));
    EXPECT_THROW(S::decode(raw), Error);
  }
  for (std::uint64_t raw : {shift, control, option, command, S::supportedFlags})
    EXPECT_EQ(raw, S::decode(raw).rawValue());
  EXPECT_EQ("⌃⌥⇧⌘", S::fromRawValue(S::supportedFlags)->displayString());
}

// A platform that names the keys in words joins them, in the same order, in both languages.
TEST(LaunchModifierShortcut, KeysNamedInWordsByThePlatformAreJoined) {
  usePlatformStringTables(R"("⌘" = "Super"; "⌥" = "Alt"; "⇧" = "Shift";)", R"("⌘" = "Super"; "⌥" = "Alt";)");
  for (const char* language : {"ja", "en"}) {
    SCOPED_TRACE(language);
    L10n::usePreferredLanguage(language);
    EXPECT_EQ("Super", S::command().displayString());
    EXPECT_EQ("⌃+Alt", S::fromRawValue(control | option)->displayString());
  }
  EXPECT_EQ("Alt+⇧", S::optionShift().displayString());  // English: the platform names no Shift
  L10n::usePreferredLanguage("ja");
  EXPECT_EQ("Alt+Shift", S::optionShift().displayString());
  usePlatformStringTables("", "");
  EXPECT_EQ("⌥⇧", S::optionShift().displayString());
}

TEST(LaunchModifierShortcut, MatchingIgnoresOtherFlagsAndHoldingAllowsExtraModifiers) {
  EXPECT_TRUE(S::command().matches(command | capsLock | function));
  EXPECT_FALSE(S::command().matches(command | shift));
  EXPECT_TRUE(S::command().isHeld(command | shift));
  EXPECT_FALSE(S::optionShift().isHeld(option));
}

TEST(LaunchShortcutState, PressReleaseAndCancelFollowTheKeys) {
  const struct {
    const char* name;
    S chord;
    EventFlags initial;
    std::vector<std::pair<EventFlags, Action>> steps;
  } rows[] = {
      {"another modifier cancels and blocks until release",
       S::command(),
       0,
       {{command, Action::press},
        {command, Action::none},
        {command | shift, Action::cancel},
        {command, Action::none},
        {0, Action::none},
        {command, Action::press},
        {0, Action::release},
        {0, Action::none}}},
      {"a chord reached through other keys never presses",
       S::command(),
       0,
       {{option, Action::none},
        {option | command, Action::none},
        {command, Action::none},
        {0, Action::none},
        {command | capsLock, Action::press}}},
      {"two-key chords press when the last key goes down",
       S::optionShift(),
       0,
       {{option, Action::none},
        {option | shift, Action::press},
        {option | shift | control, Action::cancel},
        {option, Action::none},
        {option | shift, Action::press},
        {shift, Action::release}}},
      {"started while the chord is held", S::command(), command, {{0, Action::release}, {command, Action::press}}},
      {"started with more keys down",
       S::command(),
       command | option,
       {{command, Action::none}, {0, Action::none}, {command, Action::press}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    LaunchShortcutState state(row.chord, row.initial);
    for (std::size_t i = 0; i < row.steps.size(); ++i)
      EXPECT_EQ(row.steps[i].second, state.update(row.steps[i].first)) << i;
  }
}

TEST(LaunchShortcutState, ResettingWithKeysDownBlocksUntilTheyAreReleased) {
  LaunchShortcutState state(S::command(), command);
  state.reset(S::optionShift(), option | shift);
  EXPECT_FALSE(state.isHeld());
  EXPECT_EQ(Action::none, state.update(option | shift));
  EXPECT_EQ(Action::none, state.update(option));
  EXPECT_EQ(Action::press, state.update(option | shift));
  state.reset(S::command(), 0);
  EXPECT_EQ(Action::press, state.update(command));
}

}  // namespace
}  // namespace quillon
