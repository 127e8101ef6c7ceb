#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "core/localization/localized_text.h"

namespace quillon {

// A parsed string table ("key" = "value"; lines, as in Localizable.strings).
class StringTable {
 public:
  // None when the text is not a well-formed table.
  static std::optional<StringTable> parse(std::string_view text);
  const std::string* find(const std::string& key) const;
  const std::map<std::string, std::string>& entries() const { return entries_; }

 private:
  std::map<std::string, std::string> entries_;
};

// Turns LocalizedText into the words shown to the user.
class L10n {
 public:
  // Looks the key up in the table of the user's language (see usePreferredLanguage),
  // falls back to the key itself, and formats the arguments into it ("%%" always
  // becomes "%").
  static std::string text(const LocalizedText& text);
  // The same, in the table of `language` (Japanese when the code starts with "ja").
  static std::string text(const LocalizedText& text, std::string_view language);

  // Replaces "%N$@" with the N-th argument, "%@" with the next one and "%%" with "%".
  static std::string formatted(std::string_view format, const std::vector<std::string>& arguments);

  static const StringTable& japaneseTable();
  static const StringTable& englishTable();
  // The user's language code as the tables see it ("ja" or "en").
  static std::string preferredLanguage();
  // Set once at start from the platform's locale (a language or locale name such as
  // "en", "en_US.UTF-8" or "C"). The texts are written in Japanese, so Japanese stays
  // the language unless the user prefers English: also with no locale, "C" or "POSIX".
  static void usePreferredLanguage(std::string_view localeName);
  // "en" when `localeName` names English, else "ja".
  static std::string languageFor(std::string_view localeName);
};

}  // namespace quillon
