#include "core/product/quillon_about_presenter.h"

#include <gtest/gtest.h>

#include "core/bundle/own_application.h"
#include "core/localization/l10n.h"
#include "support/fake_alert_presenter.h"
#include "support/manual_main_loop.h"

namespace quillon {
namespace {

struct QuillonAboutTest : ::testing::Test {
  ManualClock clock;
  ManualMainLoop loop{clock};
  FakeAlertPresenter alerts{loop};
  int onboardingShown = 0;
  int settingsShown = 0;

  void present(std::initializer_list<int> answers, const PropertyListValue::Dictionary& info = {}) {
    for (int answer : answers) alerts.answerNextAlert(answer);
    QuillonAboutPresenter presenter(alerts, QuillonAboutContent::fromInfoDictionary(info));
    EXPECT_TRUE(runTask(loop, presenter.present(
                                  "⌥⇧", [this] { ++onboardingShown; }, [this] { ++settingsShown; })));
  }
};

TEST_F(QuillonAboutTest, TheVersionIsShownOrUnknown) {
  present({0}, OwnApplication::builtInInfoDictionary());
  present({0}, {{"CFBundleVersion", PropertyListValue{std::int64_t{7}}}});
  ASSERT_EQ(2u, alerts.alerts().size());
  EXPECT_EQ(0u, alerts.alerts()[0].informativeText.rfind(
                    std::string("バージョン ") + QUILLON_VERSION + "（ビルド " + QUILLON_VERSION + "）", 0));
  EXPECT_EQ(0u, alerts.alerts()[1].informativeText.rfind("バージョン 不明（ビルド 不明）", 0));
  EXPECT_EQ(0, onboardingShown + settingsShown);
  for (const auto& alert : alerts.alerts()) {
    EXPECT_EQ(Alert::Icon::application, alert.icon);
    EXPECT_EQ("閉じる", alert.buttons.at(0));
  }
}

// The chain goes on only when the user answers: nothing else runs in between.
TEST_F(QuillonAboutTest, EachAlertOfTheChainWaitsForItsAnswer) {
  QuillonAboutPresenter presenter(alerts, QuillonAboutContent::fromInfoDictionary({}));
  const auto handle = spawn(loop, presenter.present("⌘", [this] { ++onboardingShown; }, {}));
  loop.runUntilIdle();
  ASSERT_TRUE(alerts.isAlertOpen());
  EXPECT_EQ(1u, alerts.alerts().size());
  alerts.answerAlert(1);
  loop.runUntilIdle();
  ASSERT_EQ(2u, alerts.alerts().size());
  EXPECT_EQ("Quillonの使い方", alerts.alerts()[1].messageText);
  EXPECT_EQ(0, onboardingShown);
  alerts.answerAlert(1);
  loop.runUntilIdle();
  EXPECT_EQ(1, onboardingShown);
  EXPECT_TRUE(handle.isFinished());
}

TEST_F(QuillonAboutTest, UsageNamesTheChordAndPrivacyOpensTheSettingsOnlyWhenAsked) {
  present({1, 1});
  EXPECT_NE(std::string::npos, alerts.alerts()[1].informativeText.find("⌥⇧ を押したまま"));
  EXPECT_EQ(1, onboardingShown);
  present({2, AlertPresenter::closedWithoutButton});
  present({2, 1});
  ASSERT_EQ(6u, alerts.alerts().size());
  EXPECT_EQ(L10n::text(QuillonAboutContent::privacy()), alerts.alerts()[3].informativeText);
  EXPECT_EQ(1, settingsShown);
  EXPECT_EQ(1, onboardingShown);
}

}  // namespace
}  // namespace quillon
