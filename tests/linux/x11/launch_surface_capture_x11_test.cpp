#include <gtest/gtest.h>
#include <png.h>
#include <signal.h>
#include <unistd.h>
#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "core/async/launch_async_wait_error.h"
#include "core/capture/launch_surface_capture.h"
#include "core/capture/launch_window_target_probe.h"
#include "core/capture/surface_capture_error.h"
#include "linux/process_running_application.h"
#include "linux/x11_accessibility.h"
#include "linux/x11_connection.h"
#include "linux/x11_screen_capture_service.h"
#include "linux/x11_screens.h"
#include "linux/x11_window_list.h"
#include "linux/x11_window_server.h"
#include "sample_app_process.h"
#include "support/fake_log_sink.h"
#include "x11_test_display.h"

namespace quillon {
namespace {

using Pixel = std::array<std::uint8_t, 4>;

constexpr int kScreenWidth = 1512;
constexpr int kExpandedWidth = 420;
constexpr int kExpandedHeight = 120;
// Where every sample app's expanded notch lies when it is not shifted.
constexpr GlobalRect kAuroraNotch{(kScreenWidth - kExpandedWidth) / 2, 0, kExpandedWidth, kExpandedHeight};
// Body colours of the sample bundles (opaque, so premultiplied equals straight).
constexpr Pixel kAuroraBody{0x2f, 0x7d, 0xe1, 0xff};
constexpr Pixel kEmberBody{0xd9, 0x48, 0x2b, 0xff};
constexpr Pixel kClear{0, 0, 0, 0};

Pixel pixelAt(const Bitmap& bitmap, int x, int y) {
  const auto* p = bitmap.pixel(x, y);
  return {p[0], p[1], p[2], p[3]};
}

// The real adapters on a fresh X server, with one sample app's notch expanded under
// the pointer.
struct CaptureOnX11 {
  // The app's notch is expanded by hovering over it, unless it is pinned where the
  // arguments place it.
  explicit CaptureOnX11(const char* bundle, std::vector<std::string> arguments = {}) : app(bundle, arguments) {
    EXPECT_TRUE(app.waitUntilMapped());
    if (std::find(arguments.begin(), arguments.end(), "--pinned") == arguments.end()) {
      display.movePointer(kScreenWidth / 2, 10);
      EXPECT_TRUE(app.waitFor("expanded"));
    }
    application = ProcessRunningApplication::forProcess(app.pid());
  }

  // One capture through `through` (the rig's own unless a test wraps the service).
  std::optional<Result<LaunchSurfaceSnapshot>> runCapture(LaunchSurfaceCapture* through = nullptr) {
    return display.finish((through ? *through : capture).capture(application, GlobalPoint{756, 10}));
  }

  X11TestDisplay display;
  X11WindowServer windows{display.adapters()};
  X11Accessibility accessibility{display.adapters()};
  X11Screens screens{display.adapters()};
  X11ScreenCaptureService service{display.adapters()};
  FakeLogSink log;
  LaunchSurfaceCapture capture{display.loop(), service, windows, log};
  SampleAppProcess app;
  std::shared_ptr<ProcessRunningApplication> application;
};

// Saved under the build folder so a person can look at what was captured.
void saveArtifact(const Bitmap& premultiplied, const std::string& name) {
  const auto folder = std::filesystem::path(QUILLON_BINARY_DIR) / "test-artifacts";
  std::filesystem::create_directories(folder);
  std::vector<std::uint8_t> straight(premultiplied.pixels);
  for (std::size_t i = 0; i + 3 < straight.size(); i += 4) {
    const unsigned alpha = straight[i + 3];
    for (std::size_t c = 0; c < 3 && alpha > 0; ++c) {
      straight[i + c] = static_cast<std::uint8_t>(std::min(255u, straight[i + c] * 255u / alpha));
    }
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(premultiplied.width);
  image.height = static_cast<png_uint_32>(premultiplied.height);
  image.format = PNG_FORMAT_RGBA;
  EXPECT_TRUE(png_image_write_to_file(&image, (folder / name).c_str(), 0, straight.data(),
                                      static_cast<png_int_32>(premultiplied.bytesPerRow), nullptr));
}

SurfaceCaptureError::Code failureOf(std::optional<Result<LaunchSurfaceSnapshot>> outcome) {
  try {
    if (outcome) std::move(*outcome).get();
  } catch (const Error& error) {
    return error.code<SurfaceCaptureError::Code>().value();
  }
  ADD_FAILURE() << "the capture did not fail";
  return SurfaceCaptureError::Code::captureTimedOut;
}

TEST(LaunchSurfaceCaptureX11, ProbesAndCapturesTheExpandedNotchOfARealApp) {
  CaptureOnX11 rig("Aurora");
  ASSERT_TRUE(rig.application);
  // Another client's opaque window over part of the body, away from the pointer.
  rig.display.createWindow({.bounds = {kAuroraNotch.x + 10, 40, 60, 60}, .overrideRedirect = true});
  const LaunchWindowTargetProbe probe(rig.windows, rig.accessibility, rig.screens, rig.display.loop().clock(),
                                      getpid());
  const auto target = probe.expandedTarget(*rig.application);
  ASSERT_TRUE(target);
  EXPECT_EQ(rig.app.window(), target->windowID);
  EXPECT_EQ(kAuroraNotch, target->frame);
  EXPECT_EQ((GlobalRect{0, 0, 1512, 982}), target->displayFrame);

  // Found the same over the worker connection, as the gesture's probes ask, which the
  // capture below then uses too.
  rig.service.captureOffMainThread(rig.display.loop(), X11Connection::open(rig.display.name().c_str()));
  rig.windows.readOffMainThread(rig.service.worker());
  rig.accessibility.readOffMainThread(rig.service.worker());
  const auto read = rig.display.finish(probe.readExpandedTarget(*rig.application));
  ASSERT_TRUE(read && read->hasValue() && read->value());
  EXPECT_EQ(target->windowID, read->value()->windowID);
  EXPECT_EQ(target->frame, read->value()->frame);

  auto outcome = rig.runCapture();
  ASSERT_TRUE(outcome && outcome->hasValue());
  const LaunchSurfaceSnapshot& snapshot = outcome->value();
  saveArtifact(snapshot.image, "aurora-expanded-notch.png");
  EXPECT_EQ(kAuroraNotch, snapshot.sourceQuartzRect);
  EXPECT_EQ(rig.app.window(), snapshot.windowID);
  // Rounded corners are clear and outside the mask. The body is inside and keeps its own
  // colour along the top edge, under the covering window and under the pointer.
  const GlobalRect& s = snapshot.sourceQuartzRect;
  const int w = snapshot.image.width - 1;
  const int h = snapshot.image.height - 1;
  for (auto [x, y, body] : {std::tuple{0, 0, false},
                            {w, 0, false},
                            {0, h, false},
                            {w, h, false},
                            {2, h - 2, false},
                            {30, 60, true},
                            {w - 30, 60, true},
                            {150, 5, true},
                            {40, 70, true},
                            {210, 10, true}}) {
    SCOPED_TRACE(testing::Message() << x << "," << y);
    EXPECT_EQ(body, snapshot.alphaMask.hitTest({s.minX() + x + 0.5, s.minY() + y + 0.5}, s));
    EXPECT_EQ(pixelAt(snapshot.image, x, y), body ? kAuroraBody : kClear);
  }
  EXPECT_TRUE(probe.revalidate(snapshot, *rig.application, 1.25, false));
  EXPECT_TRUE(rig.log.lines().empty());
}

TEST(LaunchSurfaceCaptureX11, AnOpaqueBlackBackingIsLeftOutOfTheImage) {
  CaptureOnX11 rig("Ember", {"--opaque-backing"});
  auto outcome = rig.runCapture();
  ASSERT_TRUE(outcome && outcome->hasValue());
  const LaunchSurfaceSnapshot& snapshot = outcome->value();
  saveArtifact(snapshot.image, "ember-over-opaque-backing.png");
  ASSERT_EQ(2u, snapshot.sourceWindows.size());
  EXPECT_EQ(rig.app.window(), snapshot.windowID);
  // Captured together, the black backing would fill the corners and the bottom rows.
  EXPECT_EQ(0, snapshot.image.alphaAt(0, snapshot.image.height - 1));
  EXPECT_EQ(0, snapshot.image.alphaAt(snapshot.image.width / 2, snapshot.image.height - 1));
  EXPECT_EQ(255, snapshot.image.alphaAt(snapshot.image.width / 2, snapshot.image.height / 2));
  EXPECT_EQ(snapshot.sourceQuartzRect.height - 4, snapshot.visibleQuartzRect.height);
  EXPECT_EQ(std::vector<std::string>{"[Quillon/capture] normalized opaque backing pid=" +
                                     std::to_string(rig.app.pid()) + " front=" + std::to_string(rig.app.window()) +
                                     " back=" + std::to_string(snapshot.sourceWindows[1].windowID)},
            rig.log.lines());
}

TEST(LaunchSurfaceCaptureX11, TwoNeighbouringWindowsAreOneSurface) {
  CaptureOnX11 rig("Tide", {"--second-piece"});
  auto outcome = rig.runCapture();
  ASSERT_TRUE(outcome && outcome->hasValue());
  const LaunchSurfaceSnapshot& snapshot = outcome->value();
  saveArtifact(snapshot.image, "tide-in-two-windows.png");
  ASSERT_EQ(2u, snapshot.sourceWindows.size());
  EXPECT_EQ(kAuroraNotch.unionWith({kAuroraNotch.maxX() + 8, 0, 60, 40}), snapshot.sourceQuartzRect);
  EXPECT_EQ(snapshot.sourceQuartzRect, snapshot.visibleQuartzRect);
  EXPECT_EQ(0, snapshot.image.alphaAt(425, 10)) << "the gap between the windows";
  EXPECT_EQ(255, snapshot.image.alphaAt(460, 10)) << "the piece";
}

TEST(LaunchSurfaceCaptureX11, AnAppWithNothingAtTheTopCentreHasNoCandidate) {
  // Pinned far to the left: its surface never reaches the middle 40 % of the display.
  CaptureOnX11 rig("Tide", {"--pinned", "--offset-x", "-600"});
  EXPECT_EQ(SurfaceCaptureError::Code::noCandidateWindow, failureOf(rig.runCapture()));
}

TEST(LaunchSurfaceCaptureX11, ASecondCaptureWhileOneRunsIsRefusedAtOnce) {
  CaptureOnX11 rig("Ember");
  std::optional<Result<LaunchSurfaceSnapshot>> first;
  auto running = spawn<LaunchSurfaceSnapshot>(rig.display.loop(), rig.capture.capture(rig.application, std::nullopt),
                                              [&](auto result) { first.emplace(std::move(result)); });
  auto second = rig.runCapture();
  ASSERT_TRUE(second);
  EXPECT_EQ(failure(*second), LaunchAsyncWaitError::alreadyRunning);
  rig.display.loop().runUntil([&] { return first.has_value(); }, 20.0);
  ASSERT_TRUE(first && first->hasValue());
  saveArtifact(first->value().image, "ember-expanded-notch.png");
}

// Takes the screenshot, then lets the test change the screen before the capture goes on.
class InterferingCaptureService final : public ScreenCaptureService {
 public:
  InterferingCaptureService(ScreenCaptureService& inner, std::function<void()> afterScreenshot)
      : inner_(inner), afterScreenshot_(std::move(afterScreenshot)) {}
  bool preflightPermission() override { return inner_.preflightPermission(); }
  bool requestPermission() override { return inner_.requestPermission(); }
  Task<ShareableContent> shareableContent() override { return inner_.shareableContent(); }
  double pointPixelScaleForWindow(std::uint32_t id) override { return inner_.pointPixelScaleForWindow(id); }
  double pointPixelScaleForDisplay(std::uint32_t id) override { return inner_.pointPixelScaleForDisplay(id); }
  Task<Bitmap> captureWindow(std::uint32_t id, CaptureConfiguration configuration) override {
    Bitmap image = co_await inner_.captureWindow(id, configuration);
    afterScreenshot_();
    co_return image;
  }
  Task<Bitmap> captureDisplay(std::uint32_t id, std::vector<std::uint32_t> windows,
                              CaptureConfiguration configuration) override {
    return inner_.captureDisplay(id, std::move(windows), configuration);
  }

 private:
  ScreenCaptureService& inner_;
  std::function<void()> afterScreenshot_;
};

SurfaceCaptureError::Code failureOf(CaptureOnX11& rig, std::function<void()> afterScreenshot) {
  InterferingCaptureService interfering(rig.service, std::move(afterScreenshot));
  LaunchSurfaceCapture capture(rig.display.loop(), interfering, rig.windows, rig.log);
  return failureOf(rig.runCapture(&capture));
}

TEST(LaunchSurfaceCaptureX11, AnAppKilledMidCaptureIsUnavailable) {
  CaptureOnX11 rig("Aurora");
  EXPECT_EQ(SurfaceCaptureError::Code::targetUnavailable, failureOf(rig, [&] { EXPECT_NE(-1, rig.app.terminate()); }));
}

TEST(LaunchSurfaceCaptureX11, ANotchMovedByOnePointMidCaptureIsStale) {
  CaptureOnX11 rig("Aurora");
  const auto moveByOnePoint = [&] {
    xcb_connection_t* other = rig.display.other().get();
    const std::uint32_t x = static_cast<std::uint32_t>(kAuroraNotch.x + 1);
    xcb_configure_window(other, rig.app.window(), XCB_CONFIG_WINDOW_X, &x);
    // A round trip: the server has applied the move before the capture looks again.
    free(xcb_get_input_focus_reply(other, xcb_get_input_focus(other), nullptr));
  };
  EXPECT_EQ(SurfaceCaptureError::Code::staleCapture, failureOf(rig, moveByOnePoint));
}

template <class T>
T await(X11TestDisplay& display, Task<T> task) {
  auto outcome = display.finish(std::move(task));
  if (!outcome) throw std::runtime_error("task did not finish");
  return std::move(*outcome).get();
}

template <class T>
std::optional<long> errorCodeOf(X11TestDisplay& display, Task<T> task) {
  try {
    await(display, std::move(task));
  } catch (const Error& error) {
    EXPECT_EQ(error.platform().domain, "X11Capture");
    return error.platform().code;
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
  const CaptureConfiguration configuration{static_cast<int>(region.width), static_cast<int>(region.height), region,
                                           false, true};
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
  // Shaped to its left half, the front window leaves the back one showing in the overlap
  // and nothing beside it, as on screen.
  xcb_connection_t* other = display.other().get();
  const xcb_rectangle_t leftHalf{0, 0, 50, 100};
  xcb_shape_rectangles(other, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, 0, front, 0, 0, 1, &leftHalf);
  free(xcb_get_input_focus_reply(other, xcb_get_input_focus(other), nullptr));
  const Bitmap shaped =
      await(display, capture.captureDisplay(displayID, {front, back}, {150, 100, {100, 300, 150, 100}, false, true}));
  EXPECT_EQ(pixelAt(shaped, 75, 50), (Pixel{0, 0, 255, 255}));
  EXPECT_EQ(pixelAt(shaped, 125, 50), kClear) << "outside the front window's shape";
  const auto gone = tide.window();
  ASSERT_EQ(tide.terminate(), 0);
  EXPECT_EQ(errorCodeOf(display, capture.captureWindow(gone, {})), X11ScreenCaptureService::windowNotOnScreen);
}

}  // namespace
}  // namespace quillon
