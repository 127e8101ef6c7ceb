#include "core/localization/l10n.h"

#include <exception>

#include "core/localization/platform_string_tables.h"

namespace quillon {

namespace embedded {
extern const std::string_view japaneseStringTable;
extern const std::string_view englishStringTable;
}  // namespace embedded

namespace {

void skipSpaceAndComments(std::string_view text, std::size_t& i) {
  while (i < text.size()) {
    if (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r') {
      ++i;
    } else if (text.substr(i, 2) == "//") {
      while (i < text.size() && text[i] != '\n') ++i;
    } else if (text.substr(i, 2) == "/*") {
      const auto end = text.find("*/", i + 2);
      i = end == std::string_view::npos ? text.size() : end + 2;
    } else {
      break;
    }
  }
}

std::optional<std::string> quoted(std::string_view text, std::size_t& i) {
  if (i >= text.size() || text[i] != '"') return std::nullopt;
  std::string value;
  for (++i; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {
      ++i;
      return value;
    }
    if (c != '\\') {
      value.push_back(c);
      continue;
    }
    if (++i >= text.size()) return std::nullopt;
    switch (text[i]) {
      case 'n': value.push_back('\n'); break;
      case 't': value.push_back('\t'); break;
      case '"': value.push_back('"'); break;
      case '\\': value.push_back('\\'); break;
      default: return std::nullopt;
    }
  }
  return std::nullopt;
}

StringTable loadEmbedded(std::string_view source) {
  auto table = StringTable::parse(source);
  // The tables are part of the program; a malformed one is a build defect that the
  // string-table tests catch, never a run-time condition.
  if (!table) std::terminate();
  return std::move(*table);
}

}  // namespace

std::optional<StringTable> StringTable::parse(std::string_view text) {
  StringTable table;
  std::size_t i = 0;
  while (true) {
    skipSpaceAndComments(text, i);
    if (i >= text.size()) return table;
    auto key = quoted(text, i);
    if (!key) return std::nullopt;
    skipSpaceAndComments(text, i);
    if (i >= text.size() || text[i] != '=') return std::nullopt;
    ++i;
    skipSpaceAndComments(text, i);
    auto value = quoted(text, i);
    if (!value) return std::nullopt;
    skipSpaceAndComments(text, i);
    if (i >= text.size() || text[i] != ';') return std::nullopt;
    ++i;
    table.entries_.insert_or_assign(std::move(*key), std::move(*value));
  }
}

const std::string* StringTable::find(const std::string& key) const {
  auto found = entries_.find(key);
  return found == entries_.end() ? nullptr : &found->second;
}

const StringTable& L10n::japaneseTable() {
  static const StringTable table = loadEmbedded(embedded::japaneseStringTable);
  return table;
}

const StringTable& L10n::englishTable() {
  static const StringTable table = loadEmbedded(embedded::englishStringTable);
  return table;
}

namespace {
// Main thread only, like every caller of L10n::text.
std::string& currentLanguage() {
  static std::string language = "ja";
  return language;
}

struct PlatformTables {
  StringTable japanese;
  StringTable english;
};

std::optional<PlatformTables>& platformTables() {
  static std::optional<PlatformTables> tables;
  return tables;
}
}  // namespace

void usePlatformStringTables(std::string_view japanese, std::string_view english) {
  platformTables() = PlatformTables{loadEmbedded(japanese), loadEmbedded(english)};
}

std::string L10n::preferredLanguage() { return currentLanguage(); }

void L10n::usePreferredLanguage(std::string_view localeName) { currentLanguage() = languageFor(localeName); }

std::string L10n::languageFor(std::string_view localeName) {
  // "en", "en_US.UTF-8", "en-GB", "en@quot": the language ends where the territory,
  // codeset or modifier begins; "eo" or "enx" are other languages.
  if (localeName.substr(0, 2) != "en") return "ja";
  if (localeName.size() == 2) return "en";
  const char next = localeName[2];
  return next == '_' || next == '-' || next == '.' || next == '@' ? "en" : "ja";
}

std::string L10n::formatted(std::string_view format, const std::vector<std::string>& arguments) {
  std::string out;
  std::size_t next = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') {
      out.push_back(format[i]);
      continue;
    }
    if (i + 1 < format.size() && format[i + 1] == '%') {
      out.push_back('%');
      ++i;
      continue;
    }
    if (i + 1 < format.size() && format[i + 1] == '@') {
      if (next < arguments.size()) out += arguments[next++];
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    std::size_t index = 0;
    while (j < format.size() && format[j] >= '0' && format[j] <= '9') {
      index = index * 10 + static_cast<std::size_t>(format[j] - '0');
      ++j;
    }
    if (j > i + 1 && format.substr(j, 2) == "$@" && index >= 1) {
      if (index <= arguments.size()) out += arguments[index - 1];
      i = j + 1;
      continue;
    }
    out.push_back('%');
  }
  return out;
}

std::string L10n::text(const LocalizedText& text) { return L10n::text(text, preferredLanguage()); }

std::string L10n::text(const LocalizedText& text, std::string_view language) {
  const bool japanese = language.substr(0, 2) == "ja";
  const std::string* value = nullptr;
  if (const auto& platform = platformTables()) {
    value = (japanese ? platform->japanese : platform->english).find(text.key());
  }
  if (value == nullptr) value = (japanese ? japaneseTable() : englishTable()).find(text.key());
  return formatted(value != nullptr ? *value : text.key(), text.arguments());
}

}  // namespace quillon
