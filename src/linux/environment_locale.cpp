#include "linux/environment_locale.h"

#include <cstdlib>
#include <string_view>

#include "core/localization/l10n.h"
#include "core/localization/platform_string_tables.h"

namespace quillon {

namespace embedded {
extern const std::string_view linuxJapaneseStringTable;
extern const std::string_view linuxEnglishStringTable;
}  // namespace embedded

void useLinuxTexts(const Locale& locale) {
  L10n::usePreferredLanguage(locale.preferredLanguage());
  usePlatformStringTables(embedded::linuxJapaneseStringTable, embedded::linuxEnglishStringTable);
}

EnvironmentLocale::EnvironmentLocale(Lookup lookup) : lookup_(std::move(lookup)) {
  if (!lookup_) lookup_ = [](const char* name) { return static_cast<const char*>(std::getenv(name)); };
}

std::string EnvironmentLocale::preferredLanguage() const {
  std::string locale;
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = lookup_(variable);
    if (value != nullptr && *value != '\0') {
      locale = value;
      break;
    }
  }
  // An unset locale is the "C" locale too.
  if (locale.empty() || locale == "C" || locale == "POSIX") return locale;
  if (const char* languages = lookup_("LANGUAGE"); languages != nullptr) {
    const std::string_view list(languages);
    const std::string_view first = list.substr(0, list.find(':'));
    if (!first.empty()) return std::string(first);
  }
  return locale;
}

}  // namespace quillon
