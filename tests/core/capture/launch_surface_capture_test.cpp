#include "core/capture/launch_surface_capture.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "core/async/launch_async_wait_error.h"
#include "core/capture/surface_capture_error.h"
#include "support/fake_log_sink.h"
#include "support/fake_screen_capture_service.h"
#include "support/fake_window_server.h"
#include "support/fake_workspace.h"
#include "support/manual_main_loop.h"
#include "support/surface_images.h"

namespace quillon {
namespace {

using Code = SurfaceCaptureError::Code;
constexpr std::int32_t kPid = 500;
constexpr GlobalRect kDisplay{0, 0, 1000, 600};
constexpr GlobalRect kNotch{400, 0, 200, 80};

// A notch surface at scale 2: a body 10 pixels in from each side down to row 140 (70
// points), then a 4-pixel translucent fringe that is drawn but not solid enough to hit.
Bitmap bodyWithFringe() {
  Bitmap image = Bitmap::transparent(400, 160);
  for (int y = 0; y < 144; ++y) {
    for (int x = 20; x < 380; ++x) image.pixel(x, y)[3] = y < 140 ? 255 : 100;
  }
  return image;
}

// Everything a capture talks to, with one notch window of the app on the first of two
// displays.
struct CaptureRig {
  CaptureRig() {
    app->pid = kPid;
    setWindows({{7, kNotch, 25}});
    service.setWindowImage(7, roundedSurfaceImage(200, 80, 12));
  }

  void setWindows(const std::vector<LaunchWindowCandidate>& windows, std::optional<int> sharing = 1) {
    ShareableContent content{{}, {{1, kDisplay}, {2, kDisplay.offsetBy(1000, 0)}}};
    std::vector<WindowRow> rows;
    for (const auto& w : windows) {
      content.windows.push_back({w.windowID, kPid, w.frame, w.windowLayer, true});
      auto row = FakeWindowServer::row(kPid, w.windowID, w.frame, w.windowLayer);
      row.sharingState = sharing;
      rows.push_back(row);
    }
    service.setContent(content);
    windowServer.setWindows(rows);
  }

  std::optional<Result<LaunchSurfaceSnapshot>> run(std::optional<GlobalPoint> point = GlobalPoint{500, 10}) {
    return runTask(loop, capture.capture(app, point));
  }
  Code failure() {
    try {
      if (auto outcome = run()) std::move(*outcome).get();
    } catch (const Error& error) {
      return error.code<Code>().value();
    }
    ADD_FAILURE() << "no capture error";
    return Code::captureTimedOut;
  }

  ManualClock clock{1000};
  ManualMainLoop loop{clock};
  FakeScreenCaptureService service;
  FakeWindowServer windowServer;
  FakeLogSink log;
  std::shared_ptr<FakeRunningApplication> app = std::make_shared<FakeRunningApplication>();
  LaunchSurfaceCapture capture{loop, service, windowServer, log};
};

class LaunchSurfaceCaptureTest : public ::testing::Test, public CaptureRig {};

TEST_F(LaunchSurfaceCaptureTest, SnapshotMapsBothMasksOntoTheWindowAtItsScale) {
  service.setScale(2);
  service.setWindowImage(7, bodyWithFringe());
  clock.setNow(1'700'000'000);
  auto outcome = run(GlobalPoint{500, 10});
  ASSERT_TRUE(outcome && outcome->hasValue());
  const auto& s = outcome->value();
  EXPECT_EQ(kNotch, s.sourceQuartzRect);
  EXPECT_EQ((GlobalRect{410, 0, 180, 72}), s.visibleQuartzRect);
  EXPECT_EQ((GlobalRect{410, 0, 180, 70}), s.interactionQuartzRect);
  EXPECT_EQ((Rect{20, 0, 360, 144}), s.presentationPixelBounds);
  EXPECT_EQ(128, s.alphaMask.alphaThreshold());
  EXPECT_EQ(1'700'000'000, s.sampledAt);
  EXPECT_EQ(1000, s.sampledAtUptime);
  EXPECT_EQ(7u, s.windowID);
  EXPECT_EQ(kPid, s.processID);
  EXPECT_EQ(25, s.windowLayer);
  EXPECT_EQ((std::vector<LaunchWindowCandidate>{{7, kNotch, 25}}), s.sourceWindows);
  ASSERT_EQ(1u, service.captures().size());
  EXPECT_EQ(7u, service.captures()[0].windowID);
  EXPECT_EQ(400, service.captures()[0].configuration.width);
  EXPECT_EQ(160, service.captures()[0].configuration.height);
  EXPECT_TRUE(log.lines().empty());
  EXPECT_FALSE(capture.isRunning());
  EXPECT_EQ(2u, windowServer.readOptions().size()) << "the selection and the re-check";
  EXPECT_EQ(0, windowServer.blockingReads()) << "the main thread never waits for the window list";
}

TEST_F(LaunchSurfaceCaptureTest, NeighbouringWindowsAreCapturedTogetherFromTheirDisplay) {
  const GlobalRect left{1400, 0, 90, 80};
  const GlobalRect right = left.offsetBy(110, 0);
  setWindows({{7, left, 25}, {8, right, 26}});
  service.setScale(1.5);
  service.setDisplayImage(roundedSurfaceImage(300, 120, 12));
  auto outcome = run(GlobalPoint{1500, 10});
  ASSERT_TRUE(outcome && outcome->hasValue());
  EXPECT_EQ(26, outcome->value().windowLayer);
  EXPECT_EQ((GlobalRect{1400, 0, 200, 80}), outcome->value().sourceQuartzRect);
  ASSERT_EQ(1u, service.captures().size());
  const auto& request = service.captures()[0];
  EXPECT_EQ(2u, request.displayID);
  EXPECT_EQ((std::vector<std::uint32_t>{7, 8}), request.windowIDs);
  EXPECT_EQ((Rect{400, 0, 200, 80}), request.configuration.sourceRect);  // display-local points
  EXPECT_EQ(300, request.configuration.width);
}

TEST_F(LaunchSurfaceCaptureTest, EveryRefusalIsItsOwnError) {
  const struct {
    const char* name;
    std::function<void(CaptureRig&)> setUp;
    Code expected;
    std::size_t screenshots;
    const char* logLine;
  } rows[] = {
      {"no permission", [](auto& t) { t.service.setPermission(false); }, Code::permissionMissing, 0, nullptr},
      {"app gone", [](auto& t) { t.app->probeError = ESRCH; }, Code::targetUnavailable, 0, nullptr},
      {"content unavailable",
       [](auto& t) {
         t.service.failNextContent({"SCStreamErrorDomain", -3801});
       },
       Code::imageCaptureFailed, 0, "[Quillon/capture] content unavailable domain=SCStreamErrorDomain code=-3801"},
      {"only a normal window",
       [](auto& t) {
         t.setWindows({{7, kNotch, 0}});
       },
       Code::noCandidateWindow, 0, nullptr},
      {"excluded from capture",
       [](auto& t) {
         t.setWindows({{7, kNotch, 25}}, 0);
       },
       Code::captureExcluded, 0, nullptr},
      {"20,000 points at scale 2",
       [](auto& t) {
         t.setWindows({{7, {0, 0, 20000, 80}, 25}});
         t.service.setScale(2);
       },
       Code::invalidGeometry, 0, nullptr},
      {"screenshot fails",
       [](auto& t) {
         t.service.failNextCapture({"SCStreamErrorDomain", -3802});
       },
       Code::imageCaptureFailed, 1, "[Quillon/capture] image unavailable domain=SCStreamErrorDomain code=-3802"},
      {"fully transparent", [](auto& t) { t.service.setWindowImage(7, Bitmap::transparent(200, 80)); },
       Code::emptyAlpha, 1, nullptr},
      {"moved one point while captured",
       [](auto& t) { t.service.setDuringCapture([&t] {
                       t.setWindows({{7, kNotch.offsetBy(1, 0), 25}});
                     }); },
       Code::staleCapture, 1, nullptr},
      {"another piece appeared while captured",
       [](auto& t) {
         t.service.setDuringCapture([&t] { t.setWindows({{7, kNotch, 25}, {9, {600, 0, 20, 40}, 25}}); });
       },
       Code::staleCapture, 1, nullptr},
      {"quit while captured", [](auto& t) { t.service.setDuringCapture([&t] { t.app->terminated = true; }); },
       Code::targetUnavailable, 1, nullptr},
      {"older than 2 s when done", [](auto& t) { t.service.setDuringCapture([&t] { t.clock.advance(2.001); }); },
       Code::staleCapture, 1, nullptr},
      {"not a bounded surface",
       [](auto& t) {
         t.setWindows({{7, {300, 0, 400, 300}, 25}});
         t.service.setWindowImage(7, filledImage(400, 300, 0, 0, 0, 255));
       },
       Code::ambiguousSurface, 1, nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    CaptureRig t;
    row.setUp(t);
    EXPECT_EQ(row.expected, t.failure());
    EXPECT_EQ(row.screenshots, t.service.captures().size());
    EXPECT_EQ(row.logLine ? std::vector<std::string>{row.logLine} : std::vector<std::string>{}, t.log.lines());
    EXPECT_FALSE(t.capture.isRunning());
  }
}

TEST_F(LaunchSurfaceCaptureTest, AliveMeansSignalledOrOwnedBySomeoneElse) {
  app->probeError = EPERM;
  EXPECT_TRUE(run()->hasValue());
}

TEST_F(LaunchSurfaceCaptureTest, OpaqueBackingIsDroppedOnlyWhenItIsPureBlack) {
  Bitmap nearlyBlack = filledImage(200, 80, 0, 0, 0, 255);
  nearlyBlack.pixel(199, 79)[2] = 1;
  const Bitmap front = surfaceWithMargin(200, 80, 10);
  const struct {
    const char* name;
    Bitmap front;
    Bitmap back;
    bool normalised;
    std::size_t screenshots;
  } rows[] = {
      {"black canvas behind a rounded surface", front, filledImage(200, 80, 0, 0, 0, 255), true, 3},
      {"one blue unit in the canvas", front, nearlyBlack, false, 3},
      {"canvas not opaque", front, filledImage(200, 80, 0, 0, 0, 254), false, 3},
      {"front without transparent parts", filledImage(200, 80, 9, 9, 9, 255), filledImage(200, 80, 0, 0, 0, 255), false,
       2},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    CaptureRig t;
    t.setWindows({{7, kNotch, 25}, {8, kNotch, 24}});
    const Bitmap composite = filledImage(200, 80, 0, 0, 0, 255);
    t.service.setDisplayImage(composite);
    t.service.setWindowImage(7, row.front);
    t.service.setWindowImage(8, row.back);
    auto outcome = t.run();
    ASSERT_TRUE(outcome && outcome->hasValue());
    EXPECT_EQ(row.normalised ? row.front.pixels : composite.pixels, outcome->value().image.pixels);
    EXPECT_EQ(row.screenshots, t.service.captures().size());
    EXPECT_EQ(row.normalised
                  ? std::vector<std::string>{"[Quillon/capture] normalized opaque backing pid=500 front=7 back=8"}
                  : std::vector<std::string>{},
              t.log.lines());
    EXPECT_EQ((std::vector<LaunchWindowCandidate>{{7, kNotch, 25}, {8, kNotch, 24}}), outcome->value().sourceWindows);
  }
}

TEST_F(LaunchSurfaceCaptureTest, OneCaptureAtATimeBoundedAndCancelledAfterTwoAndAHalfSeconds) {
  service.holdNextContent(loop);
  std::optional<Result<LaunchSurfaceSnapshot>> first;
  auto handle = spawn<LaunchSurfaceSnapshot>(loop, capture.capture(app, std::nullopt),
                                             [&](Result<LaunchSurfaceSnapshot> r) { first.emplace(std::move(r)); });
  loop.runUntilIdle();
  ASSERT_TRUE(service.isHoldingContent());

  auto second = run(std::nullopt);
  ASSERT_TRUE(second);
  EXPECT_EQ(quillon::failure(*second), LaunchAsyncWaitError::alreadyRunning);

  loop.advance(2.49);
  EXPECT_FALSE(first);
  loop.advance(0.02);
  ASSERT_TRUE(first);
  try {
    std::move(*first).get();
    ADD_FAILURE() << "not timed out";
  } catch (const Error& error) {
    EXPECT_EQ(error, SurfaceCaptureError::of(Code::captureTimedOut));
  }
  EXPECT_TRUE(capture.isRunning());  // the operation has not noticed yet

  service.releaseContent();
  loop.runUntilIdle();
  EXPECT_FALSE(capture.isRunning());
  EXPECT_TRUE(service.captures().empty());  // cancelled before taking the screenshot
  EXPECT_TRUE(run()->hasValue());
}

}  // namespace
}  // namespace quillon
