// The fakes are shared by every core test, so the behaviour those tests lean on is
// pinned here: scripted answers in order, recorded effects, and what a platform would
// do at the edges (a prompt that grants, a front-most hit area).

#include <gtest/gtest.h>

#include "support/fake_accessibility.h"
#include "support/fake_image_codec.h"
#include "support/fake_screen_capture_service.h"
#include "support/fake_screens.h"
#include "support/fake_status_menu_host.h"
#include "support/fake_window_server.h"
#include "support/manual_main_loop.h"

namespace quillon {
namespace {

TEST(PlatformFakes, WindowServerPlaysItsScriptThenKeepsTheLastList) {
  FakeWindowServer server;
  server.queueWindows({FakeWindowServer::row(10, 1, {0, 0, 10, 10})});
  server.queueWindows({});
  EXPECT_EQ(server.onScreenWindows(true).size(), 1U);
  EXPECT_TRUE(server.onScreenWindows(false).empty());
  EXPECT_TRUE(server.onScreenWindows(true).empty());
  EXPECT_EQ(server.readOptions(), (std::vector<bool>{true, false, true}));
}

TEST(PlatformFakes, AccessibilityAnswersFromTheFirstAreaHoldingThePoint) {
  FakeAccessibility accessibility;
  accessibility.addHit({0, 0, 100, 100}, {7, Point{0, 0}, Size{100, 100}});
  accessibility.addHit({0, 0, 300, 300}, {8, Point{0, 0}, Size{300, 300}});
  EXPECT_EQ(accessibility.elementAtPoint({50, 50}, 0.03)->processID, 7);
  EXPECT_EQ(accessibility.elementAtPoint({150, 50}, 0.03)->processID, 8);
  EXPECT_EQ(accessibility.elementAtPoint({100, 300}, 0.03), std::nullopt) << "half-open areas";
  accessibility.setUnresponsive(true);
  EXPECT_EQ(accessibility.elementAtPoint({50, 50}, 0.03), std::nullopt);
  EXPECT_EQ(accessibility.queries().size(), 4U);

  accessibility.setTrusted(false);
  EXPECT_FALSE(accessibility.isTrusted(true));
  accessibility.setGrantsOnPrompt(true);
  EXPECT_FALSE(accessibility.isTrusted(false)) << "no prompt, no change";
  EXPECT_TRUE(accessibility.isTrusted(true));
  EXPECT_EQ(accessibility.promptCount(), 2);
}

TEST(PlatformFakes, CaptureServiceFailsAsScriptedAndRecordsEveryCapture) {
  ManualClock clock;
  ManualMainLoop loop(clock);
  FakeScreenCaptureService capture;
  capture.setWindowImage(5, Bitmap::transparent(2, 2));
  capture.failNextCapture({"Test", 9});
  capture.failNextContent({"Test", 3});

  auto content = runTask(loop, capture.shareableContent());
  ASSERT_TRUE(content.has_value());
  EXPECT_THROW(std::move(*content).get(), LaunchCaptureServiceError);
  auto failed = runTask(loop, capture.captureWindow(5, {}));
  ASSERT_TRUE(failed.has_value());
  EXPECT_THROW(std::move(*failed).get(), LaunchCaptureServiceError);
  auto image = runTask(loop, capture.captureWindow(5, {2, 2, {}, false, true}));
  ASSERT_TRUE(image.has_value());
  EXPECT_EQ(std::move(*image).get().width, 2);
  auto display = runTask(loop, capture.captureDisplay(1, {5, 6}, {}));
  ASSERT_TRUE(display.has_value());
  EXPECT_THROW(std::move(*display).get(), LaunchCaptureServiceError) << "no display image was set";
  ASSERT_EQ(capture.captures().size(), 3U);
  EXPECT_EQ(capture.captures()[2].windowIDs, (std::vector<std::uint32_t>{5, 6}));
}

TEST(PlatformFakes, ScreensNotifyOnlyOnChange) {
  FakeScreens screens;
  int changes = 0;
  screens.setChangeHandler([&] { ++changes; });
  screens.setScreens({{1, {0, 0, 100, 100}}});
  screens.changeScreens({{2, {0, 0, 200, 100}}});
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(screens.screens().front().displayID, 2U);
}

TEST(PlatformFakes, StatusMenuChoosesOnlyEnabledItemsThroughSubmenus) {
  FakeStatusMenuHost host;
  int removed = 0;
  LaunchMenuItem entry;
  entry.title = "オーロラ";
  entry.action = [&] { ++removed; };
  LaunchMenuItem disabled = entry;
  disabled.title = "エンバー";
  disabled.enabled = false;
  LaunchMenuItem remove;
  remove.kind = LaunchMenuItem::Kind::submenu;
  remove.title = "登録を解除";
  remove.submenu = {entry, disabled};
  host.setMenu({{remove}});
  EXPECT_TRUE(host.choose({"登録を解除", "オーロラ"}));
  EXPECT_FALSE(host.choose({"登録を解除", "エンバー"}));
  EXPECT_FALSE(host.choose({"オーロラ"}));
  EXPECT_EQ(removed, 1);
}

TEST(PlatformFakes, ImageCodecRoundTripsAndRefusesOtherData) {
  FakeImageCodec codec;
  Bitmap bitmap = Bitmap::transparent(2, 1);
  bitmap.pixel(1, 0)[3] = 200;
  const auto encoded = codec.encodePng(bitmap);
  ASSERT_TRUE(encoded.has_value());
  const auto decoded = codec.decodePng(*encoded);
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(decoded->pixels, bitmap.pixels);
  Bytes truncated(encoded->begin(), encoded->end() - 1);
  EXPECT_FALSE(codec.decodePng(truncated).has_value());
  codec.setEncodeFails(true);
  EXPECT_FALSE(codec.encodePng(bitmap).has_value());
}

}  // namespace
}  // namespace quillon
