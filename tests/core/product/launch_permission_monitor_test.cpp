#include "core/product/launch_permission_monitor.h"

#include <gtest/gtest.h>

#include "support/fake_log_sink.h"

namespace quillon {
namespace {

struct PermissionMonitorTest : ::testing::Test {
  LaunchPermissionMonitor::Permissions granted;
  double uptime = 100;
  bool startSucceeds = false;
  int startAttempts = 0, accessibilityRequests = 0, screenRequests = 0;
  std::vector<LaunchPermissionState> changes;
  FakeLogSink log;
  LaunchPermissionMonitor monitor{{[this] { return granted; }, [this] { return uptime; },
                                   [this] { ++accessibilityRequests; }, [this] { ++screenRequests; },
                                   [this] {
                                     ++startAttempts;
                                     return startSucceeds;
                                   },
                                   [this](const LaunchPermissionState& state) { changes.push_back(state); }},
                                  log};
};

TEST_F(PermissionMonitorTest, ReportsAndLogsOnlyChanges) {
  monitor.refresh();
  monitor.refresh();
  ASSERT_EQ(changes.size(), 1u);
  const std::vector<std::string> lines = {"アクセシビリティ: 未許可または未反映（許可・再起動を確認）",
                                          "画面収録（画像用・任意）: 未許可",
                                          "ホットキー切替: 権限待ち（メニューは利用可能）"};
  EXPECT_EQ(changes[0].menuLines(), lines);
  // The log line carries the same three lines after the raw state.
  EXPECT_EQ(log.lines(),
            std::vector<std::string>{"[Quillon/permissions] AX=false screenCapture=false inputTapStarted=false; " +
                                     lines[0] + " / " + lines[1] + " / " + lines[2]});
  EXPECT_EQ(startAttempts, 0);
}

// Granting starts input on the very next poll; a failing start is then retried no more
// often than every five seconds, and a request makes the next poll try again at once.
TEST_F(PermissionMonitorTest, StartsInputWhenGrantedAndRetriesAtABoundedRate) {
  monitor.refresh();
  granted.accessibility = true;
  uptime += 0.1;
  monitor.refresh();
  EXPECT_EQ(startAttempts, 1);
  EXPECT_EQ(changes.back().menuLines()[2], "ホットキー切替: 受付再試行中（再起動も確認）");
  uptime += 4.999;
  monitor.refresh();
  EXPECT_EQ(startAttempts, 1);
  uptime += 0.001;
  monitor.refresh();
  EXPECT_EQ(startAttempts, 2);

  startSucceeds = true;
  monitor.requestPermissions();
  EXPECT_EQ(accessibilityRequests, 0) << "accessibility is already granted";
  EXPECT_EQ(screenRequests, 1);
  EXPECT_EQ(startAttempts, 3);
  EXPECT_EQ(changes.back().menuLines()[1], "画面収録（画像用・任意）: 未許可または未反映");
  EXPECT_EQ(changes.back().menuLines()[2], "ホットキー切替: 入力受付は起動済み（画像なし）");
  uptime += 60;
  granted.accessibility = false;
  monitor.refresh();
  EXPECT_TRUE(changes.back().inputTapStarted) << "a withdrawn permission does not unstart input";
  EXPECT_EQ(startAttempts, 3);

  monitor.stop();
  granted.screen = true;
  monitor.refresh();
  monitor.requestPermissions();
  EXPECT_FALSE(changes.back().screenCaptureAllowed);
  EXPECT_EQ(screenRequests, 1);
}

// Screen capture asked for alone (from the guide) reads as asked for in the menu line;
// asking with both present retries a failed input start at once.
TEST_F(PermissionMonitorTest, ASingleScreenRequestIsRememberedAndAskingRetriesAFailedStart) {
  granted.accessibility = true;
  monitor.refresh();
  monitor.requestScreenCapture();
  EXPECT_EQ(screenRequests, 1);
  EXPECT_EQ(changes.back().menuLines()[1], "画面収録（画像用・任意）: 未許可または未反映");
  EXPECT_EQ(startAttempts, 2);
  granted.screen = true;
  uptime += 1;
  monitor.requestPermissions();
  EXPECT_EQ(screenRequests, 1);
  EXPECT_EQ(startAttempts, 3);
  // A Wayland session adds its one line; the others stay as they are.
  granted.waylandSession = true;
  monitor.refresh();
  EXPECT_EQ(changes.back().menuLines().size(), 4u);
  EXPECT_EQ(changes.back().menuLines()[3], "ジェスチャーにはX11セッションが必要です");
}

}  // namespace
}  // namespace quillon
