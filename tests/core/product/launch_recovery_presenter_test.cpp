#include "core/product/launch_recovery_presenter.h"

#include <gtest/gtest.h>

#include "support/fake_alert_presenter.h"
#include "support/manual_main_loop.h"

namespace quillon {
namespace {

// Cancel comes first, so only an explicit choice of the second button resets; a closed
// alert or an unexpected answer must never count as consent.
TEST(RecoveryPresenter, OnlyTheSecondButtonConfirms) {
  const struct {
    int answer;
    bool confirmed;
  } cases[] = {{1, true}, {0, false}, {AlertPresenter::closedWithoutButton, false}, {2, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    ManualClock clock;
    ManualMainLoop loop(clock);
    FakeAlertPresenter alerts(loop);
    alerts.answerNextAlert(c.answer);
    LaunchRecoveryPresenter presenter(alerts);
    const auto confirmed = runTask(loop, presenter.confirm(LocalizedText("題"), LocalizedText("詳細")));
    ASSERT_TRUE(confirmed);
    EXPECT_EQ(c.confirmed, confirmed->value());
    ASSERT_EQ(1u, alerts.alerts().size());
    const Alert& alert = alerts.alerts()[0];
    EXPECT_EQ(Alert::Style::warning, alert.style);
    EXPECT_EQ("題", alert.messageText);
    EXPECT_EQ(0u, alert.informativeText.rfind("詳細\n\n", 0)) << alert.informativeText;
    EXPECT_EQ((std::vector<std::string>{"キャンセル", "元のデータを保全して初期化"}), alert.buttons);
  }
}

}  // namespace
}  // namespace quillon
