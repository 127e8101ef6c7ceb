#include "core/localization/l10n.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

// A text that no table holds falls back to its Japanese source, which must come out
// exactly as written in the code: percent signs single, values in their places.
TEST(L10n, UntranslatedTextsShowTheirSourceWithTheValues) {
  const struct {
    const char* name;
    LocalizedText text;
    const char* key;
    const char* shown;
  } cases[] = {
      {"percent sign", LocalizedText("残り100%"), "残り100%%", "残り100%"},
      {"two values", LocalizedText::format("{}を{}件追加", "Notch A", 3), "%1$@を%2$@件追加", "Notch Aを3件追加"},
      {"value next to a percent sign", LocalizedText::format("{}%完了", 50), "%1$@%%完了", "50%完了"},
      // Values are inserted as they are, never expanded again.
      {"value that looks like a placeholder", LocalizedText::format("「{}」", "%1$@ 5%%"), "「%1$@」", "「%1$@ 5%%」"},
      {"more markers than values", LocalizedText::format("{}と{}", "A"), "%1$@と{}", "Aと{}"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.key, c.text.key());
    EXPECT_EQ(c.shown, L10n::text(c.text, "ja"));
    EXPECT_EQ(c.shown, L10n::text(c.text, "en"));
  }
}

TEST(L10n, FormattingPlacesPositionalAndSequentialValues) {
  const struct {
    const char* format;
    const char* result;
  } cases[] = {
      {"%2$@ then %1$@", "b then a"},  // translations may reorder
      {"%@ and %@", "a and b"},
      {"%3$@", ""},      // beyond the values: nothing
      {"%0$@", "%0$@"},  // not a placeholder
      {"100%", "100%"},  // a lone trailing percent sign
      {"%%1$@", "%1$@"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.format);
    EXPECT_EQ(c.result, L10n::formatted(c.format, {"a", "b"}));
  }
  EXPECT_EQ("x10", L10n::formatted("%10$@", {"", "", "", "", "", "", "", "", "", "x10"}));
}

TEST(L10n, JapaneseUnlessTheUserPrefersEnglish) {
  const struct {
    const char* locale;
    const char* language;
  } cases[] = {
      {"en", "en"}, {"en_US.UTF-8", "en"}, {"en-GB", "en"},   {"en@quot", "en"}, {"ja_JP.UTF-8", "ja"}, {"", "ja"},
      {"C", "ja"},  {"POSIX", "ja"},       {"C.UTF-8", "ja"}, {"fr_FR", "ja"},   {"eo", "ja"},          {"enx", "ja"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.locale);
    EXPECT_EQ(c.language, L10n::languageFor(c.locale));
  }
  // A table entry is used in its language: the storage texts are translated.
  const LocalizedText text("保存データのサイズが上限を超えています。元のデータを退避して初期化できます。");
  EXPECT_EQ("ja", L10n::preferredLanguage());
  EXPECT_EQ(text.key(), L10n::text(text));
  L10n::usePreferredLanguage("en_US.UTF-8");
  EXPECT_NE(text.key(), L10n::text(text));
  L10n::usePreferredLanguage("C");
  EXPECT_EQ(text.key(), L10n::text(text));
}

}  // namespace
}  // namespace quillon
