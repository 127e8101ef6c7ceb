#include "linux/x11_accessibility.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "sample_app_process.h"
#include "x11_test_display.h"

namespace quillon {
namespace {

constexpr double kScreenWidth = 1512;

TEST(X11Accessibility, WindowUnderPointIsTheFrontmostOne) {
  X11TestDisplay display;
  X11Accessibility accessibility(display.adapters());
  EXPECT_TRUE(accessibility.isTrusted(false));
  SampleAppProcess app("Aurora", {"--pinned"});
  ASSERT_TRUE(app.waitUntilMapped());
  display.createWindow({.bounds = {100, 300, 100, 100}});
  display.createWindow({.bounds = {150, 300, 100, 100}, .overrideRedirect = true});

  const auto hit = accessibility.elementAtPoint({kScreenWidth / 2, 65}, 5.0);
  ASSERT_TRUE(hit.has_value());
  EXPECT_EQ(hit->processID, app.pid());
  EXPECT_EQ(hit->windowPosition, (GlobalPoint{(kScreenWidth - 420) / 2, 0}));
  EXPECT_EQ(hit->windowSize, (Size{420, 120}));
  const auto front = accessibility.elementAtPoint({175, 350}, 5.0);
  ASSERT_TRUE(front.has_value());
  EXPECT_EQ(front->windowPosition, (GlobalPoint{150, 300}));
  EXPECT_EQ(front->processID, getpid());

  // Just outside the surface, on the bare root window, and at points no window has.
  for (const GlobalPoint point : {GlobalPoint{(kScreenWidth + 420) / 2, 65}, GlobalPoint{kScreenWidth / 2, 120},
                                  GlobalPoint{std::nan(""), 350}, GlobalPoint{1e12, 350}}) {
    SCOPED_TRACE(testing::Message() << point.x << "," << point.y);
    EXPECT_EQ(accessibility.elementAtPoint(point, 5.0), std::nullopt);
  }
}

TEST(X11Accessibility, StalledServerGivesNothingInsteadOfBlocking) {
  // Another client grabbing the server stops it answering us; the hit-test must give
  // up at its time-out and the connection must stay usable afterwards.
  X11TestDisplay display;
  X11Accessibility accessibility(display.adapters());
  display.createWindow({.bounds = {100, 300, 100, 100}});
  auto* other = display.other().get();
  xcb_grab_server(other);
  XcbReply<xcb_get_input_focus_reply_t> sync(xcb_get_input_focus_reply(other, xcb_get_input_focus(other), nullptr));
  EXPECT_EQ(accessibility.elementAtPoint({150, 350}, 0.05), std::nullopt);
  xcb_ungrab_server(other);
  xcb_flush(other);
  EXPECT_TRUE(accessibility.elementAtPoint({150, 350}, 5.0).has_value());
}

}  // namespace
}  // namespace quillon
