#include "linux/x11_screen_capture_service.h"

#include <gtest/gtest.h>

#include <array>

#include "core/async/launch_task.h"
#include "linux/x11_window_list.h"
#include "sample_app_process.h"
#include "x11_test_display.h"

namespace quillon {
namespace {

using Pixel = std::array<std::uint8_t, 4>;

constexpr int kScreenWidth = 1512;
constexpr int kExpandedWidth = 420;
constexpr int kExpandedHeight = 120;
// Body colours of the sample bundles (opaque, so premultiplied equals straight).
constexpr Pixel kAuroraBody{0x2f, 0x7d, 0xe1, 0xff};
constexpr Pixel kEmberBody{0xd9, 0x48, 0x2b, 0xff};
constexpr Pixel kClear{0, 0, 0, 0};

Pixel pixelAt(const Bitmap& bitmap, int x, int y) {
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

template <class T>
std::optional<long> errorCodeOf(X11TestDisplay& display, Task<T> task) {
  try {
    await(display, std::move(task));
  } catch (const LaunchCaptureServiceError& error) {
    EXPECT_EQ(error.domain, "X11Capture");
    return error.code;
  }
  return std::nullopt;
}

TEST(X11ScreenCaptureService, DisplayRegionHoldsExactlyTheGivenWindowsInTheirStacking) {
  X11TestDisplay display;
  X11ScreenCaptureService capture(display.adapters());
  SampleAppProcess aurora("Aurora", {"--pinned", "--offset-x", "-300"});
  SampleAppProcess ember("Ember", {"--pinned", "--offset-x", "300"});
  SampleAppProcess tide("Tide", {"--pinned"});
  ASSERT_TRUE(aurora.waitUntilMapped());
  ASSERT_TRUE(ember.waitUntilMapped());
  ASSERT_TRUE(tide.waitUntilMapped());
  const int auroraLeft = (kScreenWidth - kExpandedWidth) / 2 - 300;
  const int emberLeft = (kScreenWidth - kExpandedWidth) / 2 + 300;
  // An opaque window in front of part of Aurora's body must not appear in the capture.
  display.createWindow({.bounds = {static_cast<double>(auroraLeft + 10), 40, 60, 60}, .overrideRedirect = true});

  const auto content = await(display, capture.shareableContent());
  ASSERT_EQ(content.displays.size(), 1U);
  EXPECT_EQ(content.displays.front().frame, (GlobalRect{0, 0, 1512, 982}));
  const auto listed = std::find_if(content.windows.begin(), content.windows.end(),
                                   [&](const auto& w) { return w.windowID == ember.window(); });
  ASSERT_NE(listed, content.windows.end());
  EXPECT_EQ(listed->ownerProcessID, ember.pid());
  EXPECT_EQ(listed->windowLayer, kX11OverrideLayer);
  EXPECT_EQ(listed->frame, (GlobalRect{static_cast<double>(emberLeft), 0, kExpandedWidth, kExpandedHeight}));

  const auto displayID = content.displays.front().displayID;
  const Rect region{static_cast<double>(auroraLeft), 0, static_cast<double>(emberLeft + kExpandedWidth - auroraLeft),
                    kExpandedHeight};
  const LaunchCaptureConfiguration configuration{static_cast<int>(region.width), static_cast<int>(region.height),
                                                 region, false, true};
  const Bitmap image =
      await(display, capture.captureDisplay(displayID, {aurora.window(), ember.window()}, configuration));
  ASSERT_EQ(image.width, static_cast<int>(region.width));
  ASSERT_EQ(image.height, kExpandedHeight);
  EXPECT_EQ(pixelAt(image, 40, 70), kAuroraBody) << "covered by the white window on screen";
  EXPECT_EQ(pixelAt(image, emberLeft - auroraLeft + 30, 60), kEmberBody);
  // Between the two, only Tide is on screen: nothing of it may be in the capture.
  EXPECT_EQ(pixelAt(image, (emberLeft + kExpandedWidth - auroraLeft) / 2, 60), kClear);
  EXPECT_EQ(pixelAt(image, 0, 0), kClear) << "Aurora's rounded corner";
  EXPECT_EQ(errorCodeOf(display, capture.captureDisplay(12345, {}, {})), X11ScreenCaptureService::unknownDisplay);
  // Plain 24-bit windows have no alpha channel of their own: every pixel is opaque. Given
  // front first, the stacking on screen, not the order of the list, decides the overlap.
  const auto back = display.createWindow({.bounds = {100, 300, 100, 100}, .rgb = 0xff0000});
  const auto front = display.createWindow({.bounds = {150, 300, 100, 100}, .rgb = 0x0000ff});
  const Bitmap stacked =
      await(display, capture.captureDisplay(displayID, {front, back}, {150, 100, {100, 300, 150, 100}, false, true}));
  EXPECT_EQ(pixelAt(stacked, 10, 50), (Pixel{255, 0, 0, 255}));
  EXPECT_EQ(pixelAt(stacked, 75, 50), (Pixel{0, 0, 255, 255})) << "overlap shows the front window";
  const auto gone = tide.window();
  ASSERT_EQ(tide.terminate(), 0);
  EXPECT_EQ(errorCodeOf(display, capture.captureWindow(gone, {})), X11ScreenCaptureService::windowNotOnScreen);
}

}  // namespace
}  // namespace quillon
