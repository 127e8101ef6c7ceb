#include "core/app/quillon_about_presenter.h"

#include <gtest/gtest.h>

#include "core/bundle/launch_own_application.h"
#include "core/localization/l10n.h"
#include "support/fake_alert_presenter.h"
#include "support/scoped_environment.h"

namespace quillon {
namespace {

struct QuillonAboutTest : ::testing::Test {
  ScopedEnvironment language{"LANG", "ja_JP.UTF-8"};
  ScopedEnvironment languageAll{"LC_ALL", std::nullopt};
  ScopedEnvironment languageMessages{"LC_MESSAGES", std::nullopt};
  FakeAlertPresenter alerts;
  int onboardingShown = 0;
  int settingsShown = 0;

  void present(std::initializer_list<int> answers, const PropertyListValue::Dictionary& info = {}) {
    for (int answer : answers) alerts.answerNextAlert(answer);
    QuillonAboutPresenter presenter(alerts, QuillonAboutContent::fromInfoDictionary(info));
    presenter.present("⌥⇧", [this] { ++onboardingShown; }, [this] { ++settingsShown; });
  }
};

TEST_F(QuillonAboutTest, TheVersionIsShownOrUnknown) {
  present({0}, LaunchOwnApplication::builtInInfoDictionary());
  present({0}, {{"CFBundleVersion", PropertyListValue{std::int64_t{7}}}});
  ASSERT_EQ(2u, alerts.alerts().size());
  EXPECT_EQ(0u, alerts.alerts()[0].informativeText.rfind(std::string("バージョン ") + QUILLON_VERSION + "（ビルド " + QUILLON_VERSION + "）", 0));
  EXPECT_EQ(0u, alerts.alerts()[1].informativeText.rfind("バージョン 不明（ビルド 不明）", 0));
  EXPECT_EQ(0, onboardingShown + settingsShown);
}

TEST_F(QuillonAboutTest, UsageNamesTheChordAndPrivacyOpensTheSettingsOnlyWhenAsked) {
  present({1, 1});
  EXPECT_NE(std::string::npos, alerts.alerts()[1].informativeText.find("⌥⇧ を押したまま"));
  EXPECT_EQ(1, onboardingShown);
  present({2, LaunchAlertPresenter::closedWithoutButton});
  present({2, 1});
  ASSERT_EQ(6u, alerts.alerts().size());
  EXPECT_EQ(L10n::text(QuillonAboutContent::privacy()), alerts.alerts()[3].informativeText);
  EXPECT_EQ(1, settingsShown);
  EXPECT_EQ(1, onboardingShown);
}

}  // namespace
}  // namespace quillon
