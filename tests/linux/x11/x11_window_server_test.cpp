#include "linux/x11_window_server.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>

#include "linux/x11_accessibility.h"
#include "linux/x11_screen_lock.h"
#include "linux/x11_window_list.h"
#include "sample_app_process.h"
#include "x11_test_display.h"

namespace quillon {
namespace {

// Each window is created in front of the ones before it. Any client can write a false
// _NET_WM_PID; the owner comes from the server's record of the creating connection.
TEST(X11WindowServer, LayerAlphaOwnerAndOrderFollowTheWindows) {
  X11TestDisplay display;
  X11WindowServer server(display.adapters());
  struct Case {
    const char* name;
    X11TestDisplay::WindowOptions options;
    int layer;
    double alpha;
  };
  const Case cases[] = {
      {"desktop", {.bounds = {0, 0, 1512, 982}, .type = "_NET_WM_WINDOW_TYPE_DESKTOP"}, kX11DesktopLayer, 1.0},
      {"normal, false pid", {.bounds = {10, 200, 50, 50}, .netWmPid = 1}, kX11NormalLayer, 1.0},
      {"above", {.bounds = {70, 200, 50, 50}, .state = "_NET_WM_STATE_ABOVE"}, kX11AboveLayer, 1.0},
      {"below", {.bounds = {130, 200, 50, 50}, .state = "_NET_WM_STATE_BELOW"}, kX11BelowLayer, 1.0},
      {"dock", {.bounds = {190, 200, 50, 50}, .type = "_NET_WM_WINDOW_TYPE_DOCK"}, kX11DockLayer, 1.0},
      {"override-redirect over dock",
       {.bounds = {250, 200, 50, 50}, .overrideRedirect = true, .type = "_NET_WM_WINDOW_TYPE_DOCK"},
       kX11OverrideLayer,
       1.0},
      {"half opacity", {.bounds = {310, 200, 50, 50}, .opacity = 0.5}, kX11NormalLayer, 0.5},
      {"transparent", {.bounds = {370, 200, 50, 50}, .opacity = 0.0}, kX11NormalLayer, 0.0},
  };
  std::vector<xcb_window_t> windows;
  for (const auto& c : cases) windows.push_back(display.createWindow(c.options));
  const auto rows = server.onScreenWindows(false);
  std::ptrdiff_t previous = static_cast<std::ptrdiff_t>(rows.size());
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].name);
    const auto* found = rowOf(rows, windows[i]);
    ASSERT_NE(found, nullptr);
    EXPECT_LT(found - rows.data(), previous) << "rows run front to back";
    previous = found - rows.data();
    EXPECT_EQ(found->layer, cases[i].layer);
    EXPECT_NEAR(*found->alpha, cases[i].alpha, 1e-6);
    const Rect root = cases[i].options.bounds;  // the only monitor sits at the root's origin
    EXPECT_EQ(found->bounds, (GlobalRect{root.x, root.y, root.width, root.height}));
    EXPECT_EQ(found->ownerPID, getpid());
  }
  EXPECT_EQ(rowOf(server.onScreenWindows(true), windows[0]), nullptr) << "the desktop is left out when asked";
}

// The server names a local client's process; a client over TCP it cannot name, and
// what that client writes into _NET_WM_PID proves nothing.
TEST(X11WindowServer, AClientOverTcpClaimsNoProcess) {
  X11TestDisplay display({"-listen", "tcp", "-ac"});
  auto remote = X11Connection::open(("127.0.0.1" + display.name()).c_str());
  ASSERT_TRUE(remote);
  const auto window = display.createWindow(
      {.bounds = {10, 20, 30, 40}, .netWmPid = static_cast<std::uint32_t>(getpid()), .client = remote.get()});
  const auto rows = X11WindowServer(display.adapters()).onScreenWindows(false);
  const auto* row = rowOf(rows, window);
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->ownerPID, std::nullopt);
}

constexpr double kScreenWidth = 1512;

TEST(X11Accessibility, WindowUnderPointIsTheFrontmostOne) {
  X11TestDisplay display;
  X11Accessibility accessibility(display.adapters());
  EXPECT_TRUE(accessibility.isTrusted(false));
  SampleAppProcess app("Aurora", {"--pinned"});
  ASSERT_TRUE(app.waitUntilMapped());
  display.createWindow({.bounds = {100, 300, 100, 100}});
  display.createWindow({.bounds = {150, 300, 100, 100}, .overrideRedirect = true});

  const auto front = accessibility.elementAtPoint({175, 350}, 5.0);
  ASSERT_TRUE(front.has_value());
  EXPECT_EQ(front->windowPosition, (GlobalPoint{150, 300}));
  EXPECT_EQ(front->processID, getpid());

  // The surface itself is found by the capture's probe; here, points just outside it, on
  // the bare root window, and points no window has.
  for (const GlobalPoint point : {GlobalPoint{(kScreenWidth + 420) / 2, 65}, GlobalPoint{kScreenWidth / 2, 120},
                                  GlobalPoint{std::nan(""), 350}, GlobalPoint{1e12, 350}}) {
    SCOPED_TRACE(testing::Message() << point.x << "," << point.y);
    EXPECT_EQ(accessibility.elementAtPoint(point, 5.0), std::nullopt);
  }
}

// The X server's screen saver turning on counts as a lock (lockers hook into it), and so
// does the session's LockedHint; the Lock signal alone dismisses without locking.
TEST(X11WindowServer, TheScreenSaverAndTheSessionLockTheScreen) {
  X11TestDisplay display;
  X11ScreenLock lock(display.adapters());
  X11WindowServer server(display.adapters(), &lock);
  int told = 0;
  const auto subscription = lock.subscribe([&] { ++told; });
  EXPECT_FALSE(server.isScreenLocked());
  xcb_force_screen_saver(display.other().get(), XCB_SCREEN_SAVER_ACTIVE);
  display.other().flush();
  display.loop().runUntil([&] { return told == 1; }, 20.0);
  EXPECT_TRUE(server.isScreenLocked());
  xcb_force_screen_saver(display.other().get(), XCB_SCREEN_SAVER_RESET);
  display.other().flush();
  display.loop().runUntil([&] { return !server.isScreenLocked(); }, 20.0);
  EXPECT_FALSE(server.isScreenLocked());

  lock.lockRequested();
  EXPECT_EQ(2, told);
  EXPECT_FALSE(server.isScreenLocked());
  lock.setSessionLocked(true);
  lock.setSessionLocked(true);
  EXPECT_EQ(3, told) << "told once per lock";
  EXPECT_TRUE(server.isScreenLocked());
}

}  // namespace
}  // namespace quillon
