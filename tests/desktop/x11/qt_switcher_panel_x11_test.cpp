#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QWindow>
#include <memory>

#include "core/overlay/launch_switcher_content_view.h"
#include "desktop/qt_main_loop.h"
#include "desktop/qt_switcher_panel.h"
#include "linux/x11_connection.h"
#include "linux/x11_stacking_keeper.h"
#include "support/fake_workspace.h"
#include "support/scoped_environment.h"
#include "../qt_spin.h"
#include "x11_screen_probe.h"

namespace quillon {
namespace {

// Another client's plain window over the notch area, as a notch app's would be, filled
// with a colour the panel never draws.
constexpr std::uint32_t desktopBlue = 0x2060C0;
xcb_window_t mapWindow(X11Connection& x, std::int16_t left, std::uint16_t width) {
  const xcb_window_t window = xcb_generate_id(x.get());
  xcb_create_window(x.get(), XCB_COPY_FROM_PARENT, window, x.root(), left, 0, width, 400, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL, &desktopBlue);
  xcb_map_window(x.get(), window);
  xcb_flush(x.get());
  return window;
}

TEST(QtSwitcherPanelOnX11, StaysAboveRaisedWindowsIsShapedAndGoesIdle) {
  SystemClock clock;
  QtMainLoop loop(clock);
  auto adapters = X11Connection::open();
  auto other = X11Connection::open();
  ASSERT_TRUE(adapters && other);
  adapters->attach(loop);
  const xcb_window_t notchApp = mapWindow(*other, 0, 1000);

  ScopedEnvironment language("LC_ALL", "ja_JP.UTF-8");
  FakeWorkspace workspace;
  LaunchSwitcherContentView content(clock, workspace, {0, 0, 668, 284});
  LaunchSwitcherConfiguration configuration;
  for (const char* name : {"オーロラ", "エンバー"}) {
    ManagedNotchApp app;
    app.id = LaunchUuid::random();
    app.displayName = name;
    configuration.apps.push_back(app);
  }
  configuration.selectedID = configuration.apps[0].id;
  configuration.sourceLocalRect = {234, 252, 200, 32};
  configuration.shellBounds = Rect{24, 24, 620, 260};
  configuration.shortcutLabel = "⌃⌘";
  content.configure(configuration);
  content.setEntrance(LaunchEntranceMotion{configuration.sourceLocalRect, content.finalOutlineBounds(),
                                           content.bounds()});
  content.applyAppearanceFrame(0);

  const bool compositing = x11HasCompositingManager(*adapters);
  auto panel = std::make_unique<QtSwitcherPanel>(content, clock, compositing);
  panel->move(66, 0);
  panel->show();
  ASSERT_TRUE(spinUntil([&] { return panel->windowHandle() && panel->windowHandle()->isExposed(); }));
  content.animateAppearance();
  panel->contentChanged();
  X11StackingKeeper keeper(*adapters, static_cast<std::uint32_t>(panel->winId()));
  EXPECT_TRUE(spinUntil([&] { return topmostMapped(*other) == keeper.topLevel(); }));

  // Another client raises its window: the panel comes back on top.
  const std::uint32_t above = XCB_STACK_MODE_ABOVE;
  xcb_configure_window(other->get(), notchApp, XCB_CONFIG_WINDOW_STACK_MODE, &above);
  xcb_flush(other->get());
  EXPECT_TRUE(spinUntil([&] { return keeper.restackCount() > 1 && topmostMapped(*other) == keeper.topLevel(); }));
  const xcb_window_t late = mapWindow(*other, 0, 300);
  EXPECT_TRUE(spinUntil([&] { return topmostMapped(*other) == keeper.topLevel(); }));

  // Repaints stop once the entrance is over.
  EXPECT_TRUE(spinUntil([&] { return !panel->isAnimating(); }));
  EXPECT_GT(panel->paintedFrames(), 2u);
  if (!compositing) {
    // The corners beside the shoulders are cut out of the window: the window below shows.
    EXPECT_FALSE(panel->mask().contains(QPoint(2, 2)));
    EXPECT_TRUE(panel->mask().contains(QPoint(334, 140)));
    const QRect area(66, 0, 668, 284);
    QImage shot;
    EXPECT_TRUE(spinUntil([&] {
      shot = screenPixels(*other, area);
      return !shot.isNull() && shot.pixel(2, 2) == (0xFF000000 | desktopBlue) && qGray(shot.pixel(334, 140)) == 0;
    }));
    QDir().mkpath(QStringLiteral(QUILLON_ARTIFACTS_DIR));
    shot.save(QStringLiteral(QUILLON_ARTIFACTS_DIR "/switcher-panel-x11.png"), "PNG");
  }

  panel->setAcceptsMouse(true);
  EXPECT_TRUE(spinUntil([&] { return panel->isVisible() && topmostMapped(*other) == keeper.topLevel(); }));
  panel.reset();
  EXPECT_TRUE(spinUntil([&] { return topmostMapped(*other) == late; }));
}

}  // namespace
}  // namespace quillon
