#include "linux/x11_window_server.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "linux/x11_window_list.h"
#include "x11_test_display.h"

namespace quillon {
namespace {

std::optional<LaunchWindowRow> rowOf(const std::vector<LaunchWindowRow>& rows, std::uint32_t window) {
  auto found = std::find_if(rows.begin(), rows.end(), [&](const auto& row) { return row.windowNumber == window; });
  if (found == rows.end()) return std::nullopt;
  return *found;
}

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
    const auto found =
        std::find_if(rows.begin(), rows.end(), [&](const auto& row) { return row.windowNumber == windows[i]; });
    ASSERT_NE(found, rows.end());
    EXPECT_LT(found - rows.begin(), previous) << "rows run front to back";
    previous = found - rows.begin();
    EXPECT_EQ(found->layer, cases[i].layer);
    EXPECT_NEAR(*found->alpha, cases[i].alpha, 1e-6);
    const Rect root = cases[i].options.bounds;  // the only monitor sits at the root's origin
    EXPECT_EQ(found->bounds, (GlobalRect{root.x, root.y, root.width, root.height}));
    EXPECT_EQ(found->ownerPID, getpid());
  }
  EXPECT_FALSE(rowOf(server.onScreenWindows(true), windows[0]).has_value()) << "the desktop is left out when asked";
}

// The server names a local client's process; a client over TCP it cannot name, and
// what that client writes into _NET_WM_PID proves nothing.
TEST(X11WindowServer, AClientOverTcpClaimsNoProcess) {
  X11TestDisplay display({"-listen", "tcp", "-ac"});
  auto remote = X11Connection::open(("127.0.0.1" + display.name()).c_str());
  ASSERT_TRUE(remote);
  const auto window = display.createWindow(
      {.bounds = {10, 20, 30, 40}, .netWmPid = static_cast<std::uint32_t>(getpid()), .client = remote.get()});
  const auto row = rowOf(X11WindowServer(display.adapters()).onScreenWindows(false), window);
  ASSERT_TRUE(row.has_value());
  EXPECT_EQ(row->ownerPID, std::nullopt);
}

}  // namespace
}  // namespace quillon
