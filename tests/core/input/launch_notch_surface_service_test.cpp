#include "core/input/launch_notch_surface_service.h"

#include <gtest/gtest.h>

#include <functional>

#include "core/capture/surface_capture_error.h"
#include "core/input/router_rig.h"
#include "core/product/menu_bar_controller.h"
#include "support/fake_alert_presenter.h"
#include "support/fake_status_menu_host.h"

namespace quillon {
namespace {

using namespace router_testing;
using Phase = LaunchSwitchSession::Phase;

TEST(LaunchNotchSurfaceService, KeepsACaptureReadyAndPresentsItWhenTheWindowIsNotFoundYet) {
  RouterRig r;
  r.surfaces->revalidated = RouterRig::target(101);
  for (int i = 0; i < 5; ++i) r.router->cursorMoved(kOverNotch);
  r.loop.runUntilIdle();
  ASSERT_EQ(r.surfaces->captures.size(), 1u) << "a burst of moves starts one capture";
  r.surfaces->complete(0, r.snapshot(101));
  r.loop.runUntilIdle();
  EXPECT_TRUE(r.router->snapshot());

  // The idle tick renews it while the pointer stays in a notch's zone, and not elsewhere.
  r.loop.advance(LaunchInputRouter::tickInterval);
  ASSERT_EQ(r.surfaces->captures.size(), 1u);
  r.surfaces->complete(0, r.snapshot(101));
  r.loop.runUntilIdle();
  r.router->cursorMoved({100, 100});
  r.loop.runUntilIdle();
  ASSERT_TRUE(r.surfaces->complete(0, r.snapshot(101))) << "a move starts a capture wherever it ends";
  r.loop.runUntilIdle();
  r.loop.advance(3 * LaunchInputRouter::tickInterval);
  EXPECT_TRUE(r.surfaces->captures.empty());
  r.router->cursorMoved(kOverNotch);
  r.loop.runUntilIdle();
  r.surfaces->complete(0, r.snapshot(101));
  r.loop.runUntilIdle();

  // Without the expanded window, a fresh capture completes the preparation.
  r.surfaces->expanded.reset();
  r.surfaces->revalidated.reset();
  r.modifiers(kCommand);
  ASSERT_EQ(r.router->session().phase(), Phase::preparing) << "the kept capture no longer validates";
  r.surfaces->revalidated = RouterRig::target(101);
  ASSERT_EQ(r.surfaces->captures.size(), 1u);
  r.surfaces->complete(0, r.snapshot(101));
  r.loop.runUntilIdle();
  EXPECT_EQ(r.router->session().phase(), Phase::active);
  EXPECT_TRUE(r.overlay.presentation());
}

TEST(LaunchNotchSurfaceService, ChecksTheNewAppsSurfaceForFourSecondsAfterASwitch) {
  struct Row {
    const char* name;
    std::function<Result<LaunchSurfaceSnapshot>(RouterRig&)> capture;
    const char* logged;
    bool reported;
  };
  const Row rows[] = {
      {"captured", [](RouterRig& r) { return Result<LaunchSurfaceSnapshot>(r.snapshot(202)); },
       "destination surface captured pid=202 visible={{556, 0}, {400, 100}}", false},
      {"stale", [](RouterRig& r) { return Result<LaunchSurfaceSnapshot>(r.snapshot(202, 2.5)); }, nullptr, true},
      {"excluded",
       [](RouterRig&) {
         return Result<LaunchSurfaceSnapshot>(
             std::make_exception_ptr(SurfaceCaptureError::of(SurfaceCaptureError::Code::captureExcluded)));
       },
       "destination image unavailable pid=202 issue=applicationExcluded", true},
      {"never",
       [](RouterRig&) {
         return Result<LaunchSurfaceSnapshot>(
             std::make_exception_ptr(SurfaceCaptureError::of(SurfaceCaptureError::Code::staleCapture)));
       },
       "destination surface readiness timed out pid=202", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    RouterRig r;
    r.gesture(1);
    r.modifiers(0);
    r.finishSwitch(202);
    auto& captures = r.surfaces->captures;
    auto aimed = [&] { return std::find_if(captures.begin(), captures.end(), [](auto& c) { return c.point; }); };
    int attempts = 0;
    for (; aimed() != captures.end() && attempts < 100; ++attempts) {
      r.surfaces->complete(static_cast<std::size_t>(aimed() - captures.begin()), row.capture(r));
      r.loop.runUntilIdle();
      r.loop.advance(LaunchNotchSurfaceService::readinessRetryDelay);
    }
    EXPECT_EQ(attempts, std::string(row.name) == "never" ? 27 : 1) << "retried every 0.15 s within 4.0 s";
    if (row.logged) {
      EXPECT_EQ(r.log.lines().back(), std::string("[Quillon/launch-input] ") + row.logged);
    }
    const auto& status = r.status.status();
    EXPECT_EQ(status.has_value(), row.reported);
    EXPECT_EQ(r.router->snapshot().has_value(), !row.reported);
    EXPECT_FALSE(r.router->isCheckingReadiness());
  }
}

// The service writes the image status, the menu reads it from the status model.
TEST(LaunchNotchSurfaceService, TellsTheMenuWhyTheNotchWasNotConfirmedUntilPermissionsChange) {
  RouterRig r;
  FakeStatusMenuHost host;
  FakeAlertPresenter alerts{r.loop};
  MenuBarController menu(host, r.registry, r.coordinator, r.status, alerts, r.loop);
  const std::string unconfirmed = "ノッチ操作は未確認です。メニューからアプリを選択できます";
  r.surfaces->expanded.reset();
  r.modifiers(kCommand);
  r.loop.advance(4.5);  // past the preparation deadline
  ASSERT_TRUE(host.find({unconfirmed}));
  ASSERT_TRUE(host.choose({"画像表示について…"}));
  r.loop.runUntilIdle();
  ASSERT_FALSE(alerts.alerts().empty());
  EXPECT_TRUE(alerts.alerts().back().informativeText.starts_with("Aurora（前回の確認結果）\n\n"));

  r.router->permissionsChanged();
  EXPECT_FALSE(host.find({unconfirmed})) << "the judgement starts over";
  EXPECT_FALSE(host.find({"画像表示について…"}));
}

}  // namespace
}  // namespace quillon
