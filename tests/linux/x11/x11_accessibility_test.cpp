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

}  // namespace
}  // namespace quillon
