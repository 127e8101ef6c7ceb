#pragma once

#include <functional>
#include <string>

#include "core/platform/locale.h"

namespace quillon {

// The language for messages as gettext chooses it: the first entry of LANGUAGE, unless
// the locale of LC_ALL, LC_MESSAGES or LANG (the first one set) is "C" or "POSIX",
// which switches translations off; otherwise that locale.
class EnvironmentLocale final : public Locale {
 public:
  using Lookup = std::function<const char*(const char* name)>;
  // `lookup` reads a variable (null when unset); the process environment by default.
  explicit EnvironmentLocale(Lookup lookup = {});

  // Locale:
  std::string preferredLanguage() const override;

 private:
  Lookup lookup_;
};

// Chooses the language of the texts from `locale` and lays the Linux table over the
// common ones, so that keys, the computer, its file manager and settings carry the
// names Linux users know. Once, where the platform is built, before any text is shown.
void useLinuxTexts(const Locale& locale);

}  // namespace quillon
