// The sample notch apps are the real desktop every later test runs against, so what
// those tests rely on is checked here: distinct identities, clean ends.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "linux/x11_screen_capture_service.h"
#include "linux/x11_window_list.h"
#include "sample_app_process.h"
#include "x11_test_display.h"

namespace quillon {
namespace {

std::string utf8Property(X11Connection& x, std::uint32_t window, const char* name) {
  auto* c = x.get();
  XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
      c, xcb_get_property(c, 0, window, x.atom(name), XCB_GET_PROPERTY_TYPE_ANY, 0, 256), nullptr));
  if (!reply) return {};
  return std::string(static_cast<const char*>(xcb_get_property_value(reply.get())),
                     static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
}

TEST(SampleNotchApp, BundlesHaveDistinctNamesAndColours) {
  X11TestDisplay display;
  X11ScreenCaptureService capture(display.adapters());
  struct Expected {
    const char* bundle;
    const char* displayName;
    std::uint32_t rgb;
  };
  const Expected bundles[] = {
      {"Aurora", "オーロラ", 0x2f7de1}, {"Ember", "エンバー", 0xd9482b}, {"Tide", "タイド", 0x1f9e74}};
  for (const auto& expected : bundles) {
    SCOPED_TRACE(expected.bundle);
    SampleAppProcess app(expected.bundle, {"--pinned"});
    ASSERT_TRUE(app.waitUntilMapped());
    EXPECT_EQ(utf8Property(display.other(), app.window(), "_NET_WM_NAME"), expected.displayName);
    EXPECT_EQ(utf8Property(display.other(), app.window(), "WM_CLASS"),
              std::string("sample-notch\0", 13) + expected.bundle + '\0');
    const Bitmap image = capture.windowImage(app.window(), {});
    const auto* body = image.pixel(30, 60);
    EXPECT_EQ((body[0] << 16) | (body[1] << 8) | body[2], static_cast<int>(expected.rgb));
    EXPECT_EQ(app.terminate(), 0) << "SIGTERM ends it cleanly";
  }
}

TEST(SampleNotchApp, EndsCleanlyWhenItsConnectionToTheServerCloses) {
  // What the app sees when the X server goes away: its connection breaks.
  X11TestDisplay display;
  SampleAppProcess app("Aurora");
  ASSERT_TRUE(app.waitUntilMapped());
  auto* c = display.other().get();
  xcb_kill_client(c, app.window());
  xcb_flush(c);
  EXPECT_EQ(app.waitForExit(), 0);
  const auto windows = listX11Windows(display.adapters());
  EXPECT_TRUE(std::none_of(windows.begin(), windows.end(), [&](const auto& w) { return w.window == app.window(); }));
}

}  // namespace
}  // namespace quillon
