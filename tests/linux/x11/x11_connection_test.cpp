#include "linux/x11_connection.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "linux/x11_accessibility.h"
#include "linux/x11_screen_capture_service.h"
#include "linux/x11_screens.h"
#include "linux/x11_window_server.h"
#include "sample_app_process.h"
#include "x11_test_display.h"

namespace quillon {
namespace {

const LaunchWindowRow* rowOf(const std::vector<LaunchWindowRow>& rows, xcb_window_t window) {
  const auto found = std::find_if(rows.begin(), rows.end(), [&](const auto& row) { return row.windowNumber == window; });
  return found == rows.end() ? nullptr : &*found;
}

TEST(X11Connection, BrokenConnectionStopsBeingWatched) {
  // Without this the loop would keep waking for a descriptor at end of file.
  X11TestDisplay display;
  ASSERT_TRUE(display.adapters().isWatched());
  // KillClient names the client by one of its resources.
  auto* ours = display.adapters().get();
  const xcb_pixmap_t pixmap = xcb_generate_id(ours);
  xcb_create_pixmap(ours, display.adapters().screen().root_depth, pixmap, display.adapters().root(), 1, 1);
  xcb_flush(ours);
  display.adapters().atom("QUILLON_TEST_SYNC");  // the pixmap exists once this returns
  auto* c = display.other().get();
  xcb_kill_client(c, pixmap);
  XcbReply<xcb_get_input_focus_reply_t> sync(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
  EXPECT_TRUE(display.loop().runUntil([&] { return !display.adapters().isWatched(); }, 20.0));
  EXPECT_TRUE(display.adapters().hasError());
}

// A request to an extension the server lacks would close the whole connection.
TEST(X11Connection, MissingExtensionsCostOnlyWhatNeedsThem) {
  X11TestDisplay display({"-extension", "XTEST", "-extension", "RANDR"});
  auto& x = display.adapters();
  EXPECT_FALSE(x.hasXTest());
  EXPECT_FALSE(x.hasRandr());
  EXPECT_TRUE(x.hasComposite());
  EXPECT_TRUE(x.hasXRes());
  EXPECT_EQ(display.log().lines(),
            (std::vector<std::string>{
                "[Quillon/startup] The X server has no RandR 1.5 extension; the whole root window is one screen",
                "[Quillon/startup] The X server has no XTEST extension; synthetic input is unavailable"}));

  const auto window = display.createWindow({.bounds = {10, 20, 30, 40}});
  const auto rows = X11WindowServer(x).onScreenWindows(false);
  const auto* row = rowOf(rows, window);
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->ownerPID, getpid());
  EXPECT_EQ(X11Screens(x).screens(), (std::vector<LaunchScreen>{{x.root(), ScreenRect{0, 0, 1512, 982}}}));
  SampleAppProcess app("Aurora");
  EXPECT_TRUE(app.waitUntilMapped());
  EXPECT_FALSE(x.hasError());
}

// While another client holds the server, it answers nobody else; the adapters give up
// at their bounds and work again once the grab ends, late replies notwithstanding.
TEST(X11Connection, AServerGrabStallsNoAdapterPastItsBound) {
  X11TestDisplay display;
  X11WindowServer windows(display.adapters());
  X11Screens screens(display.adapters());
  X11ScreenCaptureService capture(display.adapters());
  X11Accessibility accessibility(display.adapters());
  const auto window = display.createWindow({.bounds = {10, 20, 30, 40}, .rgb = 0xff0000});
  auto* c = display.other().get();
  xcb_grab_server(c);
  XcbReply<xcb_get_input_focus_reply_t> sync(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));

  EXPECT_TRUE(windows.onScreenWindows(false).empty());
  EXPECT_TRUE(screens.screens().empty());
  EXPECT_EQ(accessibility.elementAtPoint({20, 30}, 0.05), std::nullopt);
  try {
    capture.windowImage(window, {});
    ADD_FAILURE() << "captured from a grabbed server";
  } catch (const LaunchCaptureServiceError& error) {
    EXPECT_EQ(error.code, X11ScreenCaptureService::serverNotAnswering);
  }

  xcb_ungrab_server(c);
  xcb_flush(c);
  EXPECT_NE(rowOf(windows.onScreenWindows(false), window), nullptr);
  EXPECT_EQ(screens.screens().size(), 1U);
  EXPECT_TRUE(accessibility.elementAtPoint({20, 30}, 5.0).has_value());
  const Bitmap image = capture.windowImage(window, {});
  ASSERT_EQ(image.width, 30);
  ASSERT_EQ(image.height, 40);
  EXPECT_EQ(image.pixel(15, 20)[0], 0xff);
  EXPECT_FALSE(display.adapters().hasError());
}

}  // namespace
}  // namespace quillon
