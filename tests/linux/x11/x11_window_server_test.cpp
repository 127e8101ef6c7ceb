#include "linux/x11_window_server.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "linux/x11_window_list.h"
#include "sample_app_process.h"
#include "x11_test_display.h"

namespace quillon {
namespace {

// Xvfb's screen in the harness: 1512 × 982.
constexpr double kScreenWidth = 1512;

std::optional<LaunchWindowRow> rowOf(const std::vector<LaunchWindowRow>& rows, std::uint32_t window) {
  auto found = std::find_if(rows.begin(), rows.end(), [&](const auto& row) { return row.windowNumber == window; });
  if (found == rows.end()) return std::nullopt;
  return *found;
}

TEST(X11WindowServer, FindsSampleSurfaceCollapsedAndExpandedUnderHover) {
  X11TestDisplay display;
  X11WindowServer server(display.adapters());
  // Away from the top centre, so that the surface does not appear under the pointer.
  display.movePointer(static_cast<int>(kScreenWidth / 2), 600);
  SampleAppProcess app("Aurora");
  ASSERT_TRUE(app.waitUntilMapped());

  auto row = rowOf(server.onScreenWindows(true), app.window());
  ASSERT_TRUE(row.has_value());
  EXPECT_EQ(row->ownerPID, app.pid());
  EXPECT_EQ(row->layer, kX11OverrideLayer);
  EXPECT_EQ(row->alpha, 1.0);
  EXPECT_EQ(row->sharingState, std::nullopt);
  EXPECT_EQ(row->bounds, (Rect{(kScreenWidth - 200) / 2, 0, 200, 32}));

  display.movePointer(static_cast<int>(kScreenWidth / 2), 10);
  ASSERT_TRUE(app.waitFor("expanded"));
  row = rowOf(server.onScreenWindows(true), app.window());
  ASSERT_TRUE(row.has_value());
  EXPECT_EQ(row->bounds, (Rect{(kScreenWidth - 420) / 2, 0, 420, 120}));

  display.movePointer(static_cast<int>(kScreenWidth / 2), 600);
  ASSERT_TRUE(app.waitFor("collapsed"));
  row = rowOf(server.onScreenWindows(true), app.window());
  ASSERT_TRUE(row.has_value());
  EXPECT_EQ(row->bounds, (Rect{(kScreenWidth - 200) / 2, 0, 200, 32}));

  EXPECT_EQ(app.terminate(), 0);
  EXPECT_FALSE(rowOf(server.onScreenWindows(true), app.window()).has_value());
}

TEST(X11WindowServer, LayerAndAlphaFollowTheWindowsHints) {
  X11TestDisplay display;
  X11WindowServer server(display.adapters());
  struct Case {
    const char* name;
    X11TestDisplay::WindowOptions options;
    int layer;
    double alpha;
  };
  const Case cases[] = {
      {"normal", {.bounds = {10, 200, 50, 50}}, kX11NormalLayer, 1.0},
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
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto window = display.createWindow(c.options);
    const auto row = rowOf(server.onScreenWindows(false), window);
    ASSERT_TRUE(row.has_value());
    EXPECT_EQ(row->layer, c.layer);
    EXPECT_NEAR(*row->alpha, c.alpha, 1e-6);
    EXPECT_EQ(row->bounds, c.options.bounds);
    EXPECT_EQ(row->ownerPID, getpid());
  }
}

TEST(X11WindowServer, DesktopWindowIsLeftOutOnlyWhenAsked) {
  X11TestDisplay display;
  X11WindowServer server(display.adapters());
  const auto desktop = display.createWindow({.bounds = {0, 0, 1512, 982}, .type = "_NET_WM_WINDOW_TYPE_DESKTOP"});
  EXPECT_FALSE(rowOf(server.onScreenWindows(true), desktop).has_value());
  const auto row = rowOf(server.onScreenWindows(false), desktop);
  ASSERT_TRUE(row.has_value());
  EXPECT_EQ(row->layer, kX11DesktopLayer);
}

TEST(X11WindowServer, RowsRunFrontToBack) {
  X11TestDisplay display;
  X11WindowServer server(display.adapters());
  const auto back = display.createWindow({.bounds = {100, 300, 80, 80}});
  const auto front = display.createWindow({.bounds = {120, 320, 80, 80}});
  const auto rows = server.onScreenWindows(false);
  const auto position = [&](std::uint32_t window) {
    return std::find_if(rows.begin(), rows.end(), [&](const auto& row) { return row.windowNumber == window; }) -
           rows.begin();
  };
  EXPECT_LT(position(front), position(back));
}

TEST(X11WindowServer, ServerKnownProcessWinsOverAFalseNetWmPid) {
  // Any client can write any number into _NET_WM_PID; the X-Resource record of the
  // connection that created the window cannot be forged that way.
  X11TestDisplay display;
  X11WindowServer server(display.adapters());
  const auto window = display.createWindow({.bounds = {400, 400, 40, 40}, .netWmPid = 1});
  const auto row = rowOf(server.onScreenWindows(false), window);
  ASSERT_TRUE(row.has_value());
  EXPECT_EQ(row->ownerPID, getpid());
}

}  // namespace
}  // namespace quillon
