#pragma once

#include <string>

#include "core/platform/locale.h"

namespace quillon {

// The first of the user's preferred languages ("ja-JP", "en-US"), as set in System
// Settings; empty when none is set.
class MacLocale final : public Locale {
 public:
  // Locale:
  std::string preferredLanguage() const override;
};

}  // namespace quillon
