// The permission monitor over the X11 adapters on real servers: input may be observed
// when the server answers with XInput 2.2 and XKB, screen capture is allowed when it
// composites, and a request only logs that X11 has no prompt. The menu lines
// and the log come out exactly, once per change. (How often a failed input start is
// retried is the monitor's own rule, tested on fakes.)
#include <gtest/gtest.h>

#include "core/product/launch_permission_monitor.h"
#include "linux/x11_accessibility.h"
#include "linux/x11_screen_capture_service.h"
#include "support/fake_log_sink.h"
#include "support/manual_clock.h"
#include "x11_test_display.h"

namespace quillon {
namespace {

TEST(LaunchPermissionMonitorX11, ReportsWhatTheServerOffers) {
  const std::string head = "[Quillon/permissions] AX=true ";
  const std::string retrying = " / ホットキー切替: 受付再試行中（再起動も確認）";
  const std::string noPrompt = "[Quillon/permissions] X11 has no permission prompt; rechecking";
  const struct {
    const char* name;
    std::vector<std::string> serverArguments;
    std::vector<std::string> lines;  // at start, then after the user asked for the permissions
    int startsAfterRequest;          // the failed tap is tried again at once either way
  } cases[] = {
      {"with Composite",
       {},
       {head + "screenCapture=true inputTapStarted=false; アクセシビリティ: 許可済み / 画面収録: 許可済み" + retrying},
       2},
      {"without Composite",
       {"-extension", "Composite"},
       {head +
            "screenCapture=false inputTapStarted=false; アクセシビリティ: 許可済み / 画面収録（画像用・任意）: 未許可" +
            retrying,
        noPrompt,
        head +
            "screenCapture=false inputTapStarted=false; アクセシビリティ: 許可済み / 画面収録（画像用・任意）: "
            "未許可または未反映" +
            retrying},
       2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    X11TestDisplay display(c.serverArguments);
    FakeLogSink log;
    X11Accessibility accessibility(display.adapters(), &log);
    X11ScreenCaptureService capture(display.adapters(), &log);
    ManualClock clock;
    int starts = 0;
    LaunchPermissionMonitor monitor(
        {[&] {
           return LaunchPermissionMonitor::Permissions{accessibility.isTrusted(false), capture.preflightPermission()};
         },
         [&] { return clock.uptime(); }, [&] { accessibility.isTrusted(true); }, [&] { capture.requestPermission(); },
         [&] { return ++starts, false; }, [](const LaunchPermissionState&) {}},
        log);

    monitor.refresh();
    EXPECT_EQ(1, starts);
    // There is no prompt to show, so only what changed is logged.
    monitor.requestPermissions();
    EXPECT_EQ(c.startsAfterRequest, starts);
    EXPECT_EQ(c.lines, log.lines());
  }
}

}  // namespace
}  // namespace quillon
