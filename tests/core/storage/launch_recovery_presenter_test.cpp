#include "core/storage/launch_recovery_presenter.h"

#include <gtest/gtest.h>

#include "support/fake_alert_presenter.h"
#include "support/scoped_environment.h"

namespace quillon {
namespace {

TEST(RecoveryPresenter, ShowsTheWarningWithCancelFirst) {
  ScopedEnvironment japanese("LC_ALL", "ja_JP.UTF-8");
  FakeAlertPresenter alerts;
  LaunchRecoveryPresenter presenter(alerts);
  presenter.confirm(LocalizedText("案内の進行状態を初期化しますか？"), LocalizedText("詳細"));
  ASSERT_EQ(1u, alerts.alerts().size());
  const LaunchAlert& alert = alerts.alerts()[0];
  EXPECT_EQ(LaunchAlert::Style::warning, alert.style);
  EXPECT_EQ("案内の進行状態を初期化しますか？", alert.messageText);
  EXPECT_EQ("詳細\n\n安全にバックアップを作れない場合は、初期化せず停止します。", alert.informativeText);
  EXPECT_EQ((std::vector<std::string>{"キャンセル", "元のデータを保全して初期化"}), alert.buttons);
}

TEST(RecoveryPresenter, OnlyTheSecondButtonConfirms) {
  const struct {
    int answer;
    bool confirmed;
  } cases[] = {{1, true}, {0, false}, {LaunchAlertPresenter::closedWithoutButton, false}, {2, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    FakeAlertPresenter alerts;
    alerts.answerNextAlert(c.answer);
    EXPECT_EQ(c.confirmed, LaunchRecoveryPresenter(alerts).confirm(LocalizedText("t"), LocalizedText("d")));
  }
}

TEST(RecoveryPresenter, SpeaksEnglishOutsideJapanese) {
  ScopedEnvironment english("LC_ALL", "en_US.UTF-8");
  FakeAlertPresenter alerts;
  LaunchRecoveryPresenter(alerts).confirm(LocalizedText("t"), LocalizedText("d"));
  ASSERT_EQ(1u, alerts.alerts().size());
  EXPECT_EQ((std::vector<std::string>{"Cancel", "Preserve the Original Data and Reset"}), alerts.alerts()[0].buttons);
}

}  // namespace
}  // namespace quillon
