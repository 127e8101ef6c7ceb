#include "core/records/preferences/launch_modifier_shortcut.h"

#include <algorithm>
#include <vector>

#include "core/localization/l10n.h"
#include "core/storage/plist/launch_decoding_error.h"

namespace quillon {

std::optional<LaunchModifierShortcut> LaunchModifierShortcut::fromRawValue(std::uint64_t rawValue) {
  if (rawValue == 0 || (rawValue & ~supportedFlags) != 0) return std::nullopt;
  return LaunchModifierShortcut(rawValue);
}

LaunchModifierShortcut LaunchModifierShortcut::decode(std::uint64_t rawValue) {
  auto shortcut = fromRawValue(rawValue);
  if (!shortcut) throw LaunchDecodingError::unsupportedModifierChord;
  return *shortcut;
}

std::string LaunchModifierShortcut::displayString() const {
  // Each key as the platform's table names it: a symbol on the home platform, written
  // together ("⌥⇧"), or a word elsewhere, joined by "+" ("Alt+Shift").
  std::vector<std::string> keys;
  if (rawValue_ & controlFlag) keys.push_back(L10n::text(LocalizedText("⌃")));
  if (rawValue_ & optionFlag) keys.push_back(L10n::text(LocalizedText("⌥")));
  if (rawValue_ & shiftFlag) keys.push_back(L10n::text(LocalizedText("⇧")));
  if (rawValue_ & commandFlag) keys.push_back(L10n::text(LocalizedText("⌘")));
  const bool words = std::any_of(keys.begin(), keys.end(), [](const std::string& key) {
    return std::any_of(key.begin(), key.end(), [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); });
  });
  std::string text;
  for (const auto& key : keys) text += (text.empty() || !words ? "" : "+") + key;
  return text;
}

}  // namespace quillon
