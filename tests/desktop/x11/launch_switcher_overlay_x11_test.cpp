#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <memory>

#include <QApplication>
#include <QDir>
#include <QFontMetrics>
#include <QImage>
#include <QWindow>

#include "../qt_spin.h"
#include "core/capture/launch_surface_capture.h"
#include "core/overlay/launch_switcher_content_view.h"
#include "core/overlay/launch_switcher_overlay.h"
#include "desktop/qt_main_loop.h"
#include "desktop/qt_switcher_panel.h"
#include "desktop/qt_switcher_panel_host.h"
#include "linux/process_running_application.h"
#include "linux/x11_connection.h"
#include "linux/x11_screen_capture_service.h"
#include "linux/x11_screens.h"
#include "linux/x11_stacking_keeper.h"
#include "linux/x11_window_server.h"
#include "sample_app_process.h"
#include "support/fake_log_sink.h"
#include "support/fake_overlay_previews.h"
#include "support/fake_workspace.h"
#include "support/manual_clock.h"
#include "support/scoped_environment.h"
#include "support/surface_images.h"
#include "x11_screen_probe.h"

namespace quillon {
namespace {

void sync(X11Connection& x) {
  XcbReply<xcb_get_input_focus_reply_t> focus(
      xcb_get_input_focus_reply(x.get(), xcb_get_input_focus(x.get()), nullptr));
}

// A plain window of another client in a colour the switcher never draws: the desktop.
constexpr std::uint32_t desktopBlue = 0x2060C0;
xcb_window_t mapWindow(X11Connection& x, QRect bounds, bool overrideRedirect = false) {
  const xcb_window_t window = xcb_generate_id(x.get());
  const std::uint32_t values[] = {desktopBlue, overrideRedirect ? 1U : 0U};
  xcb_create_window(x.get(), XCB_COPY_FROM_PARENT, window, x.root(), static_cast<std::int16_t>(bounds.x()),
                    static_cast<std::int16_t>(bounds.y()), static_cast<std::uint16_t>(bounds.width()),
                    static_cast<std::uint16_t>(bounds.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                    XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
  xcb_map_window(x.get(), window);
  sync(x);
  return window;
}

ManagedNotchApp app(const char* name) {
  ManagedNotchApp result;
  result.id = Uuid::random();
  result.displayName = name;
  result.bundleURL = Url::fileUrl(std::string("/Applications/") + name + ".app", true);
  return result;
}

// A notch image of a sample app that is not running: a coloured disc and a bar.
std::shared_ptr<const Bitmap> cachedNotch(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  Bitmap image = filledImage(1200, 300, 22, 22, 26, 255);
  for (int y = 0; y < 300; ++y) {
    for (int x = 0; x < 1200; ++x) {
      const bool disc = (x - 150) * (x - 150) + (y - 150) * (y - 150) < 90 * 90;
      const bool bar = x > 320 && x < 1120 && y > 135 && y < 165;
      if (!disc && !bar) continue;
      auto* p = image.pixel(x, y);
      p[0] = r;
      p[1] = g;
      p[2] = b;
    }
  }
  return std::make_shared<const Bitmap>(std::move(image));
}

TEST(LaunchSwitcherOverlayOnX11, OpensOverARealNotchStaysOnTopAndGoesAway) {
  ScopedEnvironment language("LC_ALL", "ja_JP.UTF-8");
  SystemClock systemClock;
  QtMainLoop loop(systemClock);
  auto adapters = X11Connection::open();
  auto other = X11Connection::open();
  ASSERT_TRUE(adapters && other);
  adapters->attach(loop);
  const xcb_window_t desktop = mapWindow(*other, {0, 0, 1512, 982});

  SampleAppProcess sample("Aurora", {"--pinned"});
  ASSERT_TRUE(sample.waitUntilMapped());
  X11WindowServer windows(*adapters);
  X11ScreenCaptureService service(*adapters);
  X11Screens screens(*adapters);
  FakeLogSink log;
  LaunchSurfaceCapture capture(loop, service, windows, log);
  std::optional<Result<LaunchSurfaceSnapshot>> captured;
  auto running = spawn<LaunchSurfaceSnapshot>(
      loop, capture.capture(ProcessRunningApplication::forProcess(sample.pid()), GlobalPoint{756, 10}),
      [&](auto result) { captured.emplace(std::move(result)); });
  ASSERT_TRUE(spinUntil([&] { return captured.has_value(); }));
  ASSERT_TRUE(captured->hasValue());
  const LaunchSurfaceSnapshot& snapshot = captured->value();

  // The panel draws what the manual clock says, so each screenshot shows one chosen
  // moment of the motion.
  ManualClock clock;
  FakeWorkspace workspace;
  workspace.icon = filledImage(256, 256, 90, 160, 230, 255);
  FakeOverlayPreviews previews;
  std::vector<ManagedNotchApp> apps{app("オーロラ"), app("エンバー"), app("タイドプール"), app("霧の灯台")};
  previews.entries[apps[1].id] = {cachedNotch(230, 120, 40), apps[1].bundleURL};
  previews.entries[apps[2].id] = {cachedNotch(60, 200, 150), apps[2].bundleURL};
  const bool compositing = x11HasCompositingManager(*adapters);
  QtSwitcherPanelHost panels(clock, {compositing,
                                     [&](std::uint64_t window, std::function<void()> covered) {
                                       return X11StackingKeeper::hold(*adapters, static_cast<std::uint32_t>(window),
                                                                      std::move(covered));
                                     },
                                     {},
                                     {}});
  LaunchSwitcherOverlay overlay({clock, workspace, screens, windows, service, panels, previews, log});

  LaunchSwitcherRequest request;
  request.sourceQuartzRect = snapshot.sourceQuartzRect;
  request.hostLevel = snapshot.windowLayer;
  request.snapshot = &snapshot;
  request.apps = apps;
  request.selectedID = apps[0].id;
  request.screenCaptureAllowed = true;
  request.sourcePID = snapshot.processID;
  request.sourceWindowID = snapshot.windowID;
  const double start = clock.uptime();
  overlay.present(request);
  ASSERT_TRUE(overlay.isPresented()) << (log.lines().empty() ? "" : log.lines().front());
  QtSwitcherPanel* panel = QtSwitcherPanelHost::widgetOf(overlay.panel());
  ASSERT_TRUE(panel);
  ASSERT_TRUE(spinUntil([&] { return panel->windowHandle() && panel->windowHandle()->isExposed(); }));
  const auto panelWindow = static_cast<xcb_window_t>(panel->winId());
  const QRect area(panel->geometry());
  EXPECT_EQ(0, area.top());
  EXPECT_TRUE(area.contains(QRect(546, 0, 420, 120))) << "over the notch";
  EXPECT_TRUE(spinUntil([&] { return topmostMapped(*other) == panelWindow; }));

  // The notch app raises itself, another window opens: the panel stays on top.
  const std::uint32_t above = XCB_STACK_MODE_ABOVE;
  xcb_configure_window(other->get(), sample.window(), XCB_CONFIG_WINDOW_STACK_MODE, &above);
  sync(*other);
  EXPECT_TRUE(spinUntil([&] { return topmostMapped(*other) == panelWindow; }));
  const xcb_window_t late = mapWindow(*other, {0, 0, 600, 300});
  EXPECT_TRUE(spinUntil([&] { return topmostMapped(*other) == panelWindow; }));

  for (const ManagedNotchApp& shown : apps) {
    const QString name = QString::fromStdString(shown.displayName);
    for (const uint codePoint : name.toUcs4()) {
      EXPECT_TRUE(QFontMetrics(QApplication::font()).inFontUcs4(codePoint)) << shown.displayName;
    }
  }

  QDir().mkpath(QStringLiteral(QUILLON_ARTIFACTS_DIR));
  auto* qtConnection = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
  const auto shoot = [&](double time, const char* name) {
    clock.setUptime(start + time);
    const auto before = panel->paintedFrames();
    panel->contentChanged();
    EXPECT_TRUE(spinUntil([&] { return panel->paintedFrames() > before; }));
    // Qt's own requests (the frame it drew) are done before the screen is read.
    XcbReply<xcb_get_input_focus_reply_t> done(
        xcb_get_input_focus_reply(qtConnection, xcb_get_input_focus(qtConnection), nullptr));
    const QImage shot = screenPixels(*other, area);
    EXPECT_FALSE(shot.isNull());
    shot.save(QStringLiteral(QUILLON_ARTIFACTS_DIR "/switcher-overlay-%1.png").arg(QLatin1String(name)), "PNG");
    return shot;
  };
  const double duration = overlay.content()->entrance()->duration();
  shoot(0, "entrance-0-start");
  shoot(duration / 3, "entrance-1-third");
  shoot(duration * 2 / 3, "entrance-2-two-thirds");
  const QImage opened = shoot(duration, "entrance-3-end");
  if (!compositing) {
    // Beside the shoulders the desktop shows; inside the body it is black.
    EXPECT_EQ(0xFF000000 | desktopBlue, opened.pixel(2, 2));
    EXPECT_EQ(0xFF000000 | desktopBlue, opened.pixel(area.width() - 3, 2));
    EXPECT_LT(qGray(opened.pixel(60, area.height() - 70)), 8);
  }

  double now = duration + 0.1;
  for (const int page : {1, 2}) {
    clock.setUptime(start + now);
    overlay.select(apps[static_cast<std::size_t>(page)].id, +1);
    now += LaunchSwitcherContentView::selectionDuration;
  }
  shoot(now, "after-two-steps-right");
  overlay.select(apps[3].id, +1);
  now += LaunchSwitcherContentView::selectionDuration;
  clock.setUptime(start + now);
  // From the last app to the first the strip goes on to the right, one page.
  overlay.select(apps[0].id, +1);
  shoot(now + LaunchSwitcherContentView::selectionDuration / 2, "wrapping");
  shoot(now + LaunchSwitcherContentView::selectionDuration, "after-wrap");
  EXPECT_EQ(0, overlay.content()->carousel()->selectedIndex());
  clock.setUptime(start + now + 10);
  EXPECT_TRUE(spinUntil([&] { return !panel->isAnimating(); })) << "no painting once nothing moves";

  overlay.dismiss();
  // The notch app keeps itself above the other windows once the panel is gone.
  EXPECT_TRUE(spinUntil([&] { return topmostMapped(*other) == sample.window(); }));
  XcbReply<xcb_get_window_attributes_reply_t> gone(
      xcb_get_window_attributes_reply(other->get(), xcb_get_window_attributes(other->get(), panelWindow), nullptr));
  EXPECT_TRUE(!gone || gone->map_state != XCB_MAP_STATE_VIEWABLE);
  EXPECT_NE(late, desktop);
  EXPECT_TRUE(log.lines().empty());
}

// A screen locker is just another client on X11: a full-screen override-redirect window,
// usually with the keyboard grabbed. The switcher gives way to it: one mapping over the
// panel takes the panel down (the router then cancels the gesture), and while one is up,
// or another client holds the keyboard, nothing is presented.
TEST(LaunchSwitcherOverlayOnX11, GivesWayToAScreenLocker) {
  SystemClock systemClock;
  QtMainLoop loop(systemClock);
  auto adapters = X11Connection::open();
  auto other = X11Connection::open();
  ASSERT_TRUE(adapters && other);
  adapters->attach(loop);
  X11WindowServer windows(*adapters);
  X11ScreenCaptureService service(*adapters);
  X11Screens screens(*adapters);
  FakeLogSink log;
  ManualClock clock;
  FakeWorkspace workspace;
  FakeOverlayPreviews previews;
  QtSwitcherPanelHost panels(clock, {false,
                                     [&](std::uint64_t window, std::function<void()> covered) {
                                       return X11StackingKeeper::hold(*adapters, static_cast<std::uint32_t>(window),
                                                                      std::move(covered));
                                     },
                                     {},
                                     {}});
  LaunchSwitcherOverlay overlay({clock, workspace, screens, windows, service, panels, previews, log});
  const std::vector<ManagedNotchApp> apps{app("オーロラ"), app("エンバー")};
  LaunchSwitcherRequest request;
  request.sourceQuartzRect = {546, 0, 420, 120};
  request.hostLevel = 1;
  request.apps = apps;
  request.selectedID = apps[0].id;

  overlay.present(request);
  ASSERT_TRUE(overlay.isPresented());
  const xcb_window_t locker = mapWindow(*other, {0, 0, 1512, 982}, true);
  EXPECT_TRUE(spinUntil([&] { return !overlay.isPresented(); }));
  EXPECT_EQ(locker, topmostMapped(*other));
  overlay.present(request);
  EXPECT_FALSE(overlay.isPresented()) << "shown while the locker is up";
  xcb_destroy_window(other->get(), locker);
  sync(*other);

  XcbReply<xcb_grab_keyboard_reply_t> grab(xcb_grab_keyboard_reply(
      other->get(),
      xcb_grab_keyboard(other->get(), 0, other->root(), XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
      nullptr));
  ASSERT_TRUE(grab && grab->status == XCB_GRAB_STATUS_SUCCESS);
  overlay.present(request);
  EXPECT_FALSE(overlay.isPresented()) << "shown while another client holds the keyboard";
  xcb_ungrab_keyboard(other->get(), XCB_CURRENT_TIME);
  sync(*other);
  overlay.present(request);
  EXPECT_TRUE(overlay.isPresented()) << "the keyboard probe kept a grab of its own";
  const std::string refused =
      std::string(LaunchSwitcherOverlay::unavailablePrefix) + LaunchSwitcherOverlay::unsupportedDescription();
  EXPECT_EQ(2, std::count(log.lines().begin(), log.lines().end(), refused));
}

}  // namespace
}  // namespace quillon
