#include "core/storage/preferences/launch_modifier_shortcut.h"

#include "core/storage/plist/launch_decoding_error.h"

namespace quillon {

std::optional<LaunchModifierShortcut> LaunchModifierShortcut::fromRawValue(std::uint64_t rawValue) {
  if (rawValue == 0 || (rawValue & ~supportedFlags) != 0) return std::nullopt;
  return LaunchModifierShortcut(rawValue);
}

LaunchModifierShortcut LaunchModifierShortcut::decode(std::uint64_t rawValue) {
  auto shortcut = fromRawValue(rawValue);
  if (!shortcut) throw LaunchDecodingError(decodingErrorDescription);
  return *shortcut;
}

std::string LaunchModifierShortcut::displayString() const {
  std::string text;
  if (rawValue_ & controlFlag) text += "⌃";
  if (rawValue_ & optionFlag) text += "⌥";
  if (rawValue_ & shiftFlag) text += "⇧";
  if (rawValue_ & commandFlag) text += "⌘";
  return text;
}

}  // namespace quillon
