#include "core/app/quillon_about_presenter.h"

#include <gtest/gtest.h>

#include "core/app/launch_own_application.h"
#include "core/storage/launch_modifier_shortcut.h"
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

  void present(const std::string& label, const PropertyListValue::Dictionary& info) {
    QuillonAboutPresenter presenter(alerts, QuillonAboutContent::fromInfoDictionary(info));
    presenter.present(label, [this] { ++onboardingShown; }, [this] { ++settingsShown; });
  }
};

TEST_F(QuillonAboutTest, MissingVersionKeysReadUnknown) {
  const auto content = QuillonAboutContent::fromInfoDictionary({{"CFBundleVersion", PropertyListValue{std::int64_t{7}}}});
  EXPECT_EQ("不明", content.version);
  EXPECT_EQ("不明", content.build);
  EXPECT_EQ(0u, L10n::text(content.summary()).rfind("バージョン 不明（ビルド 不明）\n\nノッチ上で", 0));
}

TEST_F(QuillonAboutTest, TheFirstAlertShowsTheVersionAndLeadsToUsageOrPrivacy) {
  alerts.answerNextAlert(0);
  present("⌘", LaunchOwnApplication::builtInInfoDictionary());
  ASSERT_EQ(1u, alerts.alerts().size());
  const auto& about = alerts.alerts()[0];
  EXPECT_EQ("Quillon", about.messageText);
  EXPECT_EQ(0u, about.informativeText.rfind(std::string("バージョン ") + QUILLON_VERSION + "（ビルド " + QUILLON_VERSION + "）", 0));
  EXPECT_EQ((std::vector<std::string>{"閉じる", "使い方", "プライバシー"}), about.buttons);
  EXPECT_EQ(0, onboardingShown + settingsShown);
}

TEST_F(QuillonAboutTest, UsageNamesTheChordAndOpensTheGuide) {
  alerts.answerNextAlert(1);
  alerts.answerNextAlert(1);
  present(LaunchModifierShortcut::optionShift().displayString(), {});
  ASSERT_EQ(2u, alerts.alerts().size());
  const auto& usage = alerts.alerts()[1];
  EXPECT_EQ("Quillonの使い方", usage.messageText);
  EXPECT_NE(std::string::npos, usage.informativeText.find("\n3. ⌥⇧ を押したまま、枠が表示されてから横スクロールで選びます。"));
  EXPECT_EQ((std::vector<std::string>{"閉じる", "はじめにを開く"}), usage.buttons);
  EXPECT_EQ(1, onboardingShown);
  EXPECT_EQ(0, settingsShown);
}

TEST_F(QuillonAboutTest, PrivacyOpensTheSettingsOnlyWhenAsked) {
  alerts.answerNextAlert(2);
  alerts.answerNextAlert(LaunchAlertPresenter::closedWithoutButton);
  present("⌘", {});
  alerts.answerNextAlert(2);
  alerts.answerNextAlert(1);
  present("⌘", {});
  ASSERT_EQ(4u, alerts.alerts().size());
  const auto& privacy = alerts.alerts()[1];
  EXPECT_EQ("このMac内のデータと権限", privacy.messageText);
  EXPECT_EQ(L10n::text(QuillonAboutContent::privacy()), privacy.informativeText);
  EXPECT_EQ(0u, privacy.informativeText.rfind("登録したアプリの場所・名前・識別子は", 0));
  EXPECT_EQ((std::vector<std::string>{"閉じる", "設定を開く"}), privacy.buttons);
  EXPECT_EQ(1, settingsShown);
  EXPECT_EQ(0, onboardingShown);
}

}  // namespace
}  // namespace quillon
