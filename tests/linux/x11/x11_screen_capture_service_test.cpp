#include "linux/x11_screen_capture_service.h"

#include <gtest/gtest.h>

#include <array>
#include <fstream>

#include "core/support/launch_task.h"
#include "linux/x11_window_list.h"
#include "sample_app_process.h"
#include "x11_test_display.h"

namespace quillon {
namespace {

constexpr int kScreenWidth = 1512;
constexpr int kExpandedWidth = 420;
constexpr int kExpandedHeight = 120;
// Body colours of the sample bundles (opaque, so premultiplied equals straight).
constexpr std::array<std::uint8_t, 4> kAuroraBody{0x2f, 0x7d, 0xe1, 0xff};
constexpr std::array<std::uint8_t, 4> kEmberBody{0xd9, 0x48, 0x2b, 0xff};
constexpr std::array<std::uint8_t, 4> kClear{0, 0, 0, 0};

std::array<std::uint8_t, 4> pixelAt(const Bitmap& bitmap, int x, int y) {
  const auto* p = bitmap.pixel(x, y);
  return {p[0], p[1], p[2], p[3]};
}

template <class T>
T await(X11TestDisplay& display, Task<T> task) {
  std::optional<LaunchResult<T>> outcome;
  auto handle =
      spawn<T>(display.loop(), std::move(task), [&](LaunchResult<T> result) { outcome.emplace(std::move(result)); });
  display.loop().runUntil([&] { return outcome.has_value(); }, 20.0);
  if (!outcome) throw std::runtime_error("task did not finish");
  return std::move(*outcome).get();
}

TEST(X11ScreenCaptureService, ExpandedSurfaceKeepsItsAlpha) {
  X11TestDisplay display;
  X11ScreenCaptureService capture(display.adapters());
  ASSERT_TRUE(capture.preflightPermission());
  SampleAppProcess app("Aurora");
  ASSERT_TRUE(app.waitUntilMapped());
  display.movePointer(kScreenWidth / 2, 10);
  ASSERT_TRUE(app.waitFor("expanded"));

  const Bitmap image =
      await(display, capture.captureWindow(app.window(), {kExpandedWidth, kExpandedHeight, {}, false, true}));
  ASSERT_EQ(image.width, kExpandedWidth);
  ASSERT_EQ(image.height, kExpandedHeight);
  const int w = image.width - 1;
  const int h = image.height - 1;
  for (auto [x, y] : {std::pair{0, 0}, {w, 0}, {0, h}, {w, h}, {2, h - 2}}) {
    SCOPED_TRACE(testing::Message() << "corner pixel " << x << "," << y);
    EXPECT_EQ(pixelAt(image, x, y), kClear);
  }
  // Plain body on the left and right of the drawing, and along the top edge.
  for (auto [x, y] : {std::pair{30, 60}, {w - 30, 60}, {150, 5}}) {
    SCOPED_TRACE(testing::Message() << "body pixel " << x << "," << y);
    EXPECT_EQ(pixelAt(image, x, y), kAuroraBody);
  }
  // The pointer rests over the surface; the capture must not contain it, so the pixel
  // under it is the app's own.
  const int pointerX = kScreenWidth / 2 - (kScreenWidth - kExpandedWidth) / 2;
  EXPECT_EQ(pixelAt(image, pointerX, 10), kAuroraBody);
}

TEST(X11ScreenCaptureService, DisplayRegionHoldsExactlyTheGivenWindows) {
  X11TestDisplay display;
  X11ScreenCaptureService capture(display.adapters());
  SampleAppProcess aurora("Aurora", {"--pinned", "--offset-x", "-300"});
  SampleAppProcess ember("Ember", {"--pinned", "--offset-x", "300"});
  SampleAppProcess tide("Tide", {"--pinned"});
  ASSERT_TRUE(aurora.waitUntilMapped());
  ASSERT_TRUE(ember.waitUntilMapped());
  ASSERT_TRUE(tide.waitUntilMapped());
  // An opaque white window in front of part of Aurora's body; its pixels must not
  // appear in the capture.
  const int auroraLeft = (kScreenWidth - kExpandedWidth) / 2 - 300;
  const int emberLeft = (kScreenWidth - kExpandedWidth) / 2 + 300;
  display.createWindow({.bounds = {static_cast<double>(auroraLeft + 10), 40, 60, 60}, .overrideRedirect = true});

  const auto content = await(display, capture.shareableContent());
  ASSERT_FALSE(content.displays.empty());
  const auto displayID = content.displays.front().displayID;
  const Rect region{static_cast<double>(auroraLeft), 0, static_cast<double>(emberLeft + kExpandedWidth - auroraLeft),
                    kExpandedHeight};
  const Bitmap image = await(display, capture.captureDisplay(displayID, {aurora.window(), ember.window()},
                                                             {static_cast<int>(region.width),
                                                              static_cast<int>(region.height), region, false, true}));
  ASSERT_EQ(image.width, static_cast<int>(region.width));
  ASSERT_EQ(image.height, kExpandedHeight);
  EXPECT_EQ(pixelAt(image, 40, 70), kAuroraBody) << "covered by the white window on screen";
  EXPECT_EQ(pixelAt(image, emberLeft - auroraLeft + 30, 60), kEmberBody);
  // Between the two, only Tide is on screen: nothing of it may be in the capture.
  const int gapX = auroraLeft + kExpandedWidth + (emberLeft - auroraLeft - kExpandedWidth) / 2 - auroraLeft;
  EXPECT_EQ(pixelAt(image, gapX, 60), kClear);
  EXPECT_EQ(pixelAt(image, 0, 0), kClear) << "Aurora's rounded corner";
}

TEST(X11ScreenCaptureService, ShareableContentListsSampleWindowWithItsProcess) {
  X11TestDisplay display;
  X11ScreenCaptureService capture(display.adapters());
  SampleAppProcess app("Ember");
  ASSERT_TRUE(app.waitUntilMapped());
  const auto content = await(display, capture.shareableContent());
  const auto found = std::find_if(content.windows.begin(), content.windows.end(),
                                  [&](const auto& w) { return w.windowID == app.window(); });
  ASSERT_NE(found, content.windows.end());
  EXPECT_EQ(found->ownerProcessID, app.pid());
  EXPECT_EQ(found->windowLayer, kX11OverrideLayer);
  EXPECT_EQ(found->frame, (Rect{(kScreenWidth - 200) / 2.0, 0, 200, 32}));
  ASSERT_EQ(content.displays.size(), 1U);
  EXPECT_EQ(content.displays.front().frame, (Rect{0, 0, 1512, 982}));
}

TEST(X11ScreenCaptureService, WindowThatIsGoneFailsWithItsCode) {
  X11TestDisplay display;
  X11ScreenCaptureService capture(display.adapters());
  SampleAppProcess app("Aurora");
  ASSERT_TRUE(app.waitUntilMapped());
  const auto window = app.window();
  ASSERT_EQ(app.terminate(), 0);
  try {
    await(display, capture.captureWindow(window, {}));
    FAIL() << "captured a destroyed window";
  } catch (const LaunchCaptureServiceError& error) {
    EXPECT_EQ(error.domain, "X11Capture");
    EXPECT_EQ(error.code, X11ScreenCaptureService::windowNotOnScreen);
  }
  try {
    await(display, capture.captureDisplay(12345, {}, {}));
    FAIL() << "captured an unknown display";
  } catch (const LaunchCaptureServiceError& error) {
    EXPECT_EQ(error.code, X11ScreenCaptureService::unknownDisplay);
  }
}

TEST(X11ScreenCaptureService, OverlappingWindowsKeepTheirStackingAndOpaqueWindowsTheirColour) {
  X11TestDisplay display;
  X11ScreenCaptureService capture(display.adapters());
  // Plain 24-bit windows: no alpha channel of their own, so every pixel is opaque.
  const auto back = display.createWindow({.bounds = {100, 300, 100, 100}, .rgb = 0xff0000});
  const auto front = display.createWindow({.bounds = {150, 300, 100, 100}, .rgb = 0x0000ff});
  const auto content = await(display, capture.shareableContent());
  const Rect region{100, 300, 150, 100};
  // Given front first: the stacking on screen, not the order of the list, decides.
  const Bitmap image = await(display, capture.captureDisplay(content.displays.front().displayID, {front, back},
                                                             {150, 100, region, false, true}));
  EXPECT_EQ(pixelAt(image, 10, 50), (std::array<std::uint8_t, 4>{255, 0, 0, 255}));
  EXPECT_EQ(pixelAt(image, 75, 50), (std::array<std::uint8_t, 4>{0, 0, 255, 255})) << "overlap shows the front window";
  EXPECT_EQ(pixelAt(image, 140, 50), (std::array<std::uint8_t, 4>{0, 0, 255, 255}));

  const Bitmap backOnly = await(display, capture.captureWindow(back, {}));
  EXPECT_EQ(pixelAt(backOnly, 75, 50), (std::array<std::uint8_t, 4>{255, 0, 0, 255}))
      << "a single-window capture ignores what is in front of it";
}

}  // namespace
}  // namespace quillon
