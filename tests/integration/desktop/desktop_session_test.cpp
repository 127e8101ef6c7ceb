// quillon on a desktop as people run it (scripts/with-x --desktop): openbox manages the
// windows and tint2's panel holds the tray and a taskbar; once more with the picom
// compositor, and once on a 3024 × 1964 screen at 200 % (Xft.dpi 192). The tray icon
// docks in the panel, a menu switch works, and the gesture's panel is the top-most
// window over the notch, in no taskbar, and switches.

#include "app/gesture_fixture.h"
#include "linux/x11_stacking_keeper.h"
#include "x11_screen_probe.h"

namespace quillon {
namespace {

struct DesktopSessionTest : GestureTest, ::testing::WithParamInterface<bool> {
  std::unique_ptr<ChildProcess> compositor;

  void SetUp() override {
    if (GetParam()) {
      compositor = std::make_unique<ChildProcess>(std::vector<std::string>{"/usr/bin/picom", "--backend", "xrender"},
                                                  std::vector<std::string>{});
      ASSERT_TRUE(waitUntil([&] { return x11HasCompositingManager(*x11); })) << "picom did not start";
    }
    GestureTest::SetUp();
  }
  std::string name(const std::string& what) const { return (GetParam() ? "desktop-picom-" : "desktop-") + what; }

  // The windows the window manager lists for taskbars and pagers.
  std::vector<xcb_window_t> managedClients() {
    XcbReply<xcb_get_property_reply_t> list(xcb_get_property_reply(
        x11->get(),
        xcb_get_property(x11->get(), 0, x11->root(), x11->atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 0, 1024),
        nullptr));
    if (!list) return {};
    const auto* windows = static_cast<const xcb_window_t*>(xcb_get_property_value(list.get()));
    return {windows, windows + xcb_get_property_value_length(list.get()) / 4};
  }
  std::optional<WindowRow> switcherRow() {
    const X11WindowServer windows(*x11);
    for (const auto& row : windows.onScreenWindows(false)) {
      if (row.bounds && ownedByQuillon(row) && row.layer > 0 && row.bounds->y < 200) return row;
    }
    return std::nullopt;
  }
};

TEST_P(DesktopSessionTest, TheTrayDocksTheGesturePanelCoversTheNotchAndBothWaysSwitch) {
  ASSERT_TRUE(waitUntil([&] { return trayIcon().has_value(); })) << "the status item did not dock in tint2's tray";
  saveScreenshot(name("tray.png"));

  auto mark = outputMark();
  holdAndPage(1, name("gesture.png"));
  if (HasFatalFailure()) return;
  const auto panel = switcherRow();
  ASSERT_TRUE(panel);
  const auto notch = waitForWindow([&](const WindowRow& row) { return row.ownerPID == aurora->pid(); });
  ASSERT_TRUE(notch);
  EXPECT_TRUE(panel->bounds->x <= notch->x && panel->bounds->maxX() >= notch->maxX() && panel->bounds->y <= notch->y);
  // Above every window, the notch app's and the panel's docks included, and in no list.
  EXPECT_EQ(panel->windowNumber, topmostMapped(*x11));
  // Beside the shoulders the desktop shows: without a compositor through the window's
  // shape, with one through the window's own alpha (the screen itself cannot tell under
  // Xvfb, where the compositor's output is not what a display would show).
  if (GetParam()) {
    XcbReply<xcb_get_image_reply_t> own(
        xcb_get_image_reply(x11->get(),
                            xcb_get_image(x11->get(), XCB_IMAGE_FORMAT_Z_PIXMAP, panel->windowNumber.value_or(0), 0, 0,
                                          static_cast<std::uint16_t>(panel->bounds->width),
                                          static_cast<std::uint16_t>(panel->bounds->height), ~0U),
                            nullptr));
    ASSERT_TRUE(own);
    ASSERT_EQ(32, own->depth) << "the panel is not an ARGB window under a compositor";
    const QImage pixels(xcb_get_image_data(own.get()), static_cast<int>(panel->bounds->width),
                        static_cast<int>(panel->bounds->height), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(0, qAlpha(pixels.pixel(2, 2)));
    EXPECT_EQ(255, qAlpha(pixels.pixel(static_cast<int>(panel->bounds->width / 2), 60)));
  } else {
    EXPECT_EQ(qRgb(0x2f, 0x6f, 0xb0), pictureOf({panel->bounds->x + 2, 2, 1, 1}).pixel(0, 0));
  }
  const auto clients = managedClients();
  EXPECT_FALSE(clients.empty()) << "openbox lists no clients";
  EXPECT_EQ(clients.end(), std::find(clients.begin(), clients.end(), panel->windowNumber));
  sendKey(superKey, false);
  expectSwitchFromAurora("エンバー", "Ember", mark);
  if (HasFatalFailure()) return;
  EXPECT_TRUE(waitForSwitcher(true));

  mark = outputMark();
  choose(3, name("menu.png"));
  EXPECT_TRUE(quillon->waitForErrorLineStartingWith("[Quillon/launch] committed タイド pid=", deadline, mark))
      << quillon->errorText();
}

INSTANTIATE_TEST_SUITE_P(WindowManager, DesktopSessionTest, ::testing::Values(false, true),
                         [](const auto& row) { return row.param ? "WithPicom" : "WithoutCompositor"; });

// Run on the 3024 × 1964 screen at 200 %: the core's points are the screen's pixels, so
// the panel is centred over the notch at the size it asked for, not twice that.
struct HighDensityTest : GestureTest {};

TEST_F(HighDensityTest, ThePanelSitsOverTheNotchAtItsOwnSizeAndTheSettingsRead) {
  if (x11->screen().width_in_pixels != 3024) GTEST_SKIP() << "needs the 3024-pixel-wide screen";
  holdAndPage(0, {});
  if (HasFatalFailure()) return;
  const auto panel = waitForSwitcher();
  const auto notch = waitForWindow([&](const WindowRow& row) { return row.ownerPID == aurora->pid(); });
  ASSERT_TRUE(panel && notch);
  EXPECT_TRUE(waitForSlide(*panel, {})) << "the entrance did not end";
  saveScreenshot("hidpi-gesture.png");
  EXPECT_NEAR(notch->midX(), panel->midX(), 1.0);
  EXPECT_EQ(0, panel->y);
  // 260 points tall at least, or the notch and 64 below it; then 24 of margin.
  EXPECT_EQ(std::max(260.0, notch->maxY() + 64) + 24, panel->height);
  EXPECT_LT(panel->width, 1512);
  pressKey(escapeKey);
  sendKey(superKey, false);
  ASSERT_TRUE(waitForSwitcher(true));

  ASSERT_FALSE(openSettings().empty());
  saveScreenshot("hidpi-settings.png",
                 waitForWindow([&](const WindowRow& row) { return ownedByQuillon(row) && row.layer == 0; }));
}

}  // namespace
}  // namespace quillon
