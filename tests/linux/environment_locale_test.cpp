#include "linux/environment_locale.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace quillon {
namespace {

TEST(EnvironmentLocale, FollowsTheMessageLocalePrecedence) {
  using Variables = std::map<std::string, std::string>;
  const struct {
    const char* name;
    Variables variables;
    const char* preferred;
  } cases[] = {
      {"nothing set", {}, ""},
      {"LANG only", {{"LANG", "en_US.UTF-8"}}, "en_US.UTF-8"},
      {"LC_MESSAGES over LANG", {{"LANG", "ja_JP.UTF-8"}, {"LC_MESSAGES", "en_GB"}}, "en_GB"},
      {"LC_ALL over both", {{"LANG", "en_US"}, {"LC_MESSAGES", "en_GB"}, {"LC_ALL", "ja_JP"}}, "ja_JP"},
      {"an empty variable is unset", {{"LC_ALL", ""}, {"LANG", "en_US"}}, "en_US"},
      {"first entry of LANGUAGE", {{"LANG", "ja_JP"}, {"LANGUAGE", "en:ja"}}, "en"},
      {"empty first entry of LANGUAGE", {{"LANG", "ja_JP"}, {"LANGUAGE", ":en"}}, "ja_JP"},
      {"C locale ignores LANGUAGE", {{"LC_ALL", "C"}, {"LANGUAGE", "en"}}, "C"},
      {"no locale ignores LANGUAGE", {{"LANGUAGE", "en"}}, ""},
      {"POSIX", {{"LANG", "POSIX"}}, "POSIX"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const EnvironmentLocale locale([&](const char* name) -> const char* {
      const auto found = c.variables.find(name);
      return found == c.variables.end() ? nullptr : found->second.c_str();
    });
    EXPECT_EQ(c.preferred, locale.preferredLanguage());
  }
}

}  // namespace
}  // namespace quillon
