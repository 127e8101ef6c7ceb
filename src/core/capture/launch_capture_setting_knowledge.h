#pragma once

#include <optional>

#include "core/localization/localized_text.h"

namespace quillon {

// What is known about a notch app's own setting that hides it from screen recordings.
struct LaunchCaptureSettingKnowledge {
  enum class Kind {
    verified,     // confirmed; `hint` says where the setting is
    unknown,      // not confirmed for the installed version; `hint` may come from its sources
    unavailable,  // the app is known to have no such setting
  };

  Kind kind = Kind::unknown;
  std::optional<LocalizedText> hint;

  static LaunchCaptureSettingKnowledge verified(LocalizedText hint) { return {Kind::verified, std::move(hint)}; }
  static LaunchCaptureSettingKnowledge unknown(std::optional<LocalizedText> hint = std::nullopt) {
    return {Kind::unknown, std::move(hint)};
  }
  static LaunchCaptureSettingKnowledge unavailable() { return {Kind::unavailable, std::nullopt}; }

  friend bool operator==(const LaunchCaptureSettingKnowledge&, const LaunchCaptureSettingKnowledge&) = default;
};

}  // namespace quillon
