// Every text of local data and of the About panel has an English translation: each
// flow is run in English and nothing Japanese may be left in what the user sees.
#include <gtest/gtest.h>

#include "core/app/quillon_about_presenter.h"
#include "core/localization/l10n.h"
#include "core/storage/app_registration_service.h"
#include "core/storage/app_registry.h"
#include "core/storage/app_registry_recovery.h"
#include "core/storage/launch_onboarding_application_validator.h"
#include "core/storage/launch_preferences_store.h"
#include "registry_test_support.h"
#include "support/fake_alert_presenter.h"

namespace quillon {
namespace {

using namespace registry_testing;

// Hiragana, katakana, CJK ideographs and full-width forms (U+3040–U+9FFF, U+FF00–U+FFEF).
bool containsJapanese(const std::string& text) {
  for (std::size_t i = 0; i + 2 < text.size(); ++i) {
    const auto a = static_cast<unsigned char>(text[i]);
    const auto b = static_cast<unsigned char>(text[i + 1]);
    if (a == 0xE3 && b >= 0x81) return true;
    if (a >= 0xE4 && a <= 0xE9) return true;
    if (a == 0xEF && (b == 0xBC || b == 0xBD || b == 0xBE || b == 0xBF)) return true;
  }
  return false;
}

struct LocalDataEnglishTest : ::testing::Test, RegistryFixture {
  ScopedEnvironment english{"LANG", "en_US.UTF-8"};
  FakeAlertPresenter alerts;

  void expectEnglish(const std::string& text) { EXPECT_FALSE(containsJapanese(text)) << text; }
  void expectEnglish(const LocalizedText& text) { expectEnglish(L10n::text(text)); }
  void expectAlertsEnglish() {
    for (const auto& alert : alerts.alerts()) {
      expectEnglish(alert.messageText);
      expectEnglish(alert.informativeText);
      for (const auto& button : alert.buttons) expectEnglish(button);
    }
  }
};

TEST_F(LocalDataEnglishTest, ErrorsAndNotices) {
  using O = LaunchOnboardingApplicationError;
  for (auto error : {O::notLocalApplication, O::unavailable, O::invalidBundle, O::missingExecutable, O::isQuillon}) {
    expectEnglish(description(error));
  }
  using R = AppRegistrationError;
  for (auto error : {R::switchInProgress, R::registrationFailed, R::storageUnavailable}) expectEnglish(description(error));
  expectEnglish(SettingsStore::unreadableMessage());
  expectEnglish(LaunchPreferencesStore::fallbackNotice());
  expectEnglish(LaunchPreferencesStore::resetTitle());
  expectEnglish(LaunchPreferencesStore::resetDetail());
}

TEST_F(LocalDataEnglishTest, RegistrationLinesAndCounts) {
  AppRegistry registry(makeStore());
  const auto a = app("A", "com.example.a");
  const auto b = app("B", "com.example.b");
  ASSERT_TRUE(registry.add(directoryUrl(b)));
  auto list = registry.apps();
  list[0].enabled = false;
  ASSERT_TRUE(registry.store().saveApps(list));
  registry.setApps(registry.store().loadApps());
  std::filesystem::create_directories(root / "Folder.app");
  auto report = AppRegistrationService::registerApplications({directoryUrl(a), directoryUrl(a), directoryUrl(b),
                                                              directoryUrl(root / "Folder.app")},
                                                             registry);
  defaults.dropWrites(true);
  TestAppBundle moved;
  moved.identifier = "com.example.a";
  const auto lost = AppRegistrationService::registerApplications({directoryUrl(moved.writeTo(root / "M" / "A.app"))}, registry);
  for (const auto& line : report.lines) expectEnglish(line);
  for (const auto& line : lost.lines) expectEnglish(line);
  expectEnglish(report.registeredCountText());
  expectEnglish(report.failedCountText());
}

TEST_F(LocalDataEnglishTest, AlertsOfTheMenuTheRecoveryAndTheAboutPanel) {
  AppRegistry registry(makeStore());
  std::filesystem::create_directories(root / "Folder.app");
  alerts.answerNextOpenPanel({(root / "Folder.app").string()});
  AppRegistrationService::addFromMenu(registry, alerts, [] { return false; }, [] {});

  store(bytesOf("garbage"));
  registry.setApps(registry.store().loadApps());
  AppRegistryRecovery recovery(registry, alerts, {[] { return false; }, [] {}});
  alerts.answerNextAlert(1);
  const auto result = recovery.reset();
  ASSERT_TRUE(result);
  expectEnglish(*result);
  expectEnglish(*recovery.reload());
  defaults.erase(SettingsStore::defaultAppsKey);
  alerts.answerNextAlert(1);
  EXPECT_FALSE(recovery.reset());

  QuillonAboutPresenter about(alerts, QuillonAboutContent::fromInfoDictionary({}));
  for (int button : {1, 2}) {
    alerts.answerNextAlert(button);
    about.present("⌘", [] {}, [] {});
  }
  EXPECT_EQ(9u, alerts.alerts().size());
  expectAlertsEnglish();
}

}  // namespace
}  // namespace quillon
