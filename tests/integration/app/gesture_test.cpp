// The switching gesture as a user makes it, on the real quillon executable with XTest
// input only: the pointer over the running notch app's expanded notch, the chord (Super)
// held, sideways wheel lines paging the carousel, the release switching to the app shown
// and Escape cancelling. The sample app announces every wheel press it receives, which
// tells whether the gesture kept the claimed scrolls from it; the input trace tells which
// way each press went.

#include <sys/stat.h>

#include "app/gesture_fixture.h"

namespace quillon {
namespace {

TEST_F(GestureTest, TheChordAndSidewaysScrollsSwitchTwoAppsOnAndEscapeCancels) {
  scrollOutsideTheGesture(3);

  // Escape before the release: the switcher goes, nothing switches.
  auto mark = outputMark();
  holdAndPage(1, "gesture-carousel-before-escape.png");
  pressKey(escapeKey);
  EXPECT_TRUE(waitForSwitcher(true)) << "Escape left the switcher on screen";
  sendKey(superKey, false);
  ASSERT_TRUE(waitForTrace("cancel reason=Escape key tap phase=active")) << readText(trace);
  EXPECT_TRUE(aurora->isRunning());
  EXPECT_FALSE(anyProcessRuns(fs::weakly_canonical(executable("Ember"))));
  EXPECT_EQ(std::string::npos, quillon->errorText().find("[Quillon/launch] committed", mark));
  scrollOutsideTheGesture(2);  // the app has the wheel back
  waitUntilExpanded();

  // Two pages on and the release: Aurora quits, Tide runs.
  mark = outputMark();
  holdAndPage(2, "gesture-carousel.png");
  sendKey(superKey, false);
  expectSwitchFromAurora("タイド", "Tide", mark);
  if (HasFatalFailure()) return;
  EXPECT_TRUE(waitForSwitcher(true)) << "the switcher stayed after the switch";
  // Every wheel press the app saw came outside the gestures.
  const std::string& seen = aurora->errorText();
  EXPECT_NE(std::string::npos, seen.find("scroll count=" + std::to_string(scrollsOutside) + " button=7\n")) << seen;
  EXPECT_EQ(std::string::npos, seen.find("scroll count=" + std::to_string(scrollsOutside + 1) + " ")) << seen;

  ASSERT_TRUE(waitForTrace("router.release received phase=active")) << readText(trace);
  const std::string records = readText(trace);
  std::size_t at = 0;
  for (const std::string& record :
       std::vector<std::string>{"tap.start success", "router.press admitted pid=" + std::to_string(aurora->pid()),
                                "initial presentation pid=", "cancel reason=Escape key tap phase=active",
                                "router.press admitted pid=", "router.release received phase=active"}) {
    SCOPED_TRACE(record);
    at = records.find(record, at);
    ASSERT_NE(std::string::npos, at) << records;
  }
}

TEST_F(GestureTest, TheChordChosenInTheSettingsWindowIsTheOnlyOneTheNextGestureTakes) {
  const std::string controls = openSettings();
  auto mark = outputMark();
  clickControl(controls, "Alt+Shift を使う");
  const auto chosen = waitForControls(settings, {"Alt [on]", "Shift [on]", "Super"}, mark);
  ASSERT_TRUE(chosen) << quillon->errorText();
  backToTheNotch();

  // The old chord no longer claims the wheel.
  sendKey(superKey, true);
  scrollOutsideTheGesture(2);
  sendKey(superKey, false);

  // The new one pages the carousel, and its release switches.
  mark = outputMark();
  holdAndPage(1, "gesture-option-shift.png", {altKey, shiftKey});
  sendKey(shiftKey, false);
  sendKey(altKey, false);
  expectSwitchFromAurora("エンバー", "Ember", mark);
}

// A gesture keeps the running app's image in "Previews"; turning the setting off deletes
// what is kept, turning it on keeps the next one over a restart, and the button deletes
// them all.
TEST_F(GestureTest, KeptImagesFollowTheSettingOverARestart) {
  // The app's image is kept when the switcher opens with it: with a capture the idle
  // tick made of the expanded notch. Until then the chord is tried again.
  int presentations = 0;
  const auto kept = [&] {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(deadline);
    for (bool withImage = false; !withImage;) {
      ASSERT_LT(std::chrono::steady_clock::now(), end) << "the switcher never opened with the app's image";
      waitUntilExpanded();
      holdAndPage(0, {});
      const std::string record = "initial presentation pid=";
      ASSERT_TRUE(waitForTrace(record, ++presentations)) << readText(trace);
      const std::string records = readText(trace);
      const auto last = records.rfind(record);
      withImage = records.substr(last, records.find('\n', last) - last).find(" image=true ") != std::string::npos;
      pressKey(escapeKey);
      sendKey(superKey, false);
      ASSERT_TRUE(waitForSwitcher(true));
    }
    EXPECT_TRUE(waitForKeptImages(1)) << "no image was kept\n" << quillon->errorText() << readText(trace);
  };
  kept();
  std::string controls = openSettings();
  auto mark = outputMark();
  clickControl(controls, "前回の画像を再起動後も記憶する [on]");
  const auto off = waitForControls(settings, {"前回の画像を再起動後も記憶する"}, mark);
  ASSERT_TRUE(off) << quillon->errorText();
  EXPECT_TRUE(waitForKeptImages(0)) << "turning the setting off kept the images";

  mark = outputMark();
  clickControl(*off, "前回の画像を再起動後も記憶する");
  ASSERT_TRUE(waitForControls(settings, {"前回の画像を再起動後も記憶する [on]"}, mark)) << quillon->errorText();
  backToTheNotch();
  kept();

  // The image kept before the restart is the one restored after it.
  ASSERT_EQ(0, exitStatus(quillon->killAndWait(SIGTERM)));
  quillon = startQuillon(quillonEnvironment);
  ASSERT_TRUE(quillon->waitForErrorLine("[Quillon/preview-cache] kept images restored: 1", deadline))
      << quillon->errorText();
  EXPECT_EQ(1u, keptImages());

  controls = openSettings();
  clickControl(controls, "保存画像を削除");
  EXPECT_TRUE(waitForKeptImages(0)) << "the button kept the images";
}

// The pointer warped onto the notch (no motion on the way, as window managers and
// accessibility tools move it) starts a gesture that pages and switches.
TEST_F(GestureTest, AGestureAfterAWarpPagesAndSwitches) {
  fakeInput(XCB_MOTION_NOTIFY, 0, x11->root(), 100, 500);
  xcb_flush(x11->get());
  ASSERT_TRUE(aurora->waitForErrorLine("collapsed", deadline)) << aurora->errorText();
  xcb_warp_pointer(x11->get(), XCB_NONE, x11->root(), 0, 0, 0, 0,
                   static_cast<std::int16_t>(x11->screen().width_in_pixels / 2), 8);
  xcb_flush(x11->get());
  waitUntilExpanded();
  const auto mark = outputMark();
  holdAndPage(1, {});
  sendKey(superKey, false);
  expectSwitchFromAurora("エンバー", "Ember", mark);
}

// A client holding the pointer when the switcher comes up keeps it: the gesture is
// interrupted rather than shown with scrolls that would escape it. Once the pointer is
// free the next gesture pages, and the app under it saw no scroll of either.
TEST_F(GestureTest, AnotherClientHoldingThePointerInterruptsTheGesture) {
  XcbReply<xcb_grab_pointer_reply_t> grabbed(
      xcb_grab_pointer_reply(x11->get(),
                             xcb_grab_pointer(x11->get(), 0, x11->root(), 0, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC,
                                              XCB_NONE, XCB_NONE, XCB_CURRENT_TIME),
                             nullptr));
  ASSERT_TRUE(grabbed && grabbed->status == XCB_GRAB_STATUS_SUCCESS);
  sendKey(superKey, true);
  ASSERT_TRUE(waitForTrace("tap.interrupted reason=user-input")) << readText(trace) << quillon->errorText();
  EXPECT_TRUE(waitForTrace("cancel reason=input observation interrupted phase=active")) << readText(trace);
  EXPECT_TRUE(waitForSwitcher(true)) << "the switcher stayed without the pointer";
  sendKey(superKey, false);
  xcb_ungrab_pointer(x11->get(), XCB_CURRENT_TIME);
  xcb_flush(x11->get());

  waitUntilExpanded();
  holdAndPage(1, {});
  pressKey(escapeKey);
  sendKey(superKey, false);
  EXPECT_EQ(std::string::npos, aurora->errorText().find("scroll count=")) << aurora->errorText();
}

// quillon ended by SIGTERM while it holds the pointer for the switcher leaves the pointer
// to others: another client's wheel click reaches it.
TEST_F(GestureTest, SigtermDuringTheGestureLeavesThePointerFree) {
  holdAndPage(1, {});
  EXPECT_EQ(0, exitStatus(quillon->killAndWait(SIGTERM))) << quillon->errorText();
  sendKey(superKey, false);
  waitUntilExpanded();
  scrollOutsideTheGesture(1);
}

// A trace path that is a FIFO nobody reads is refused at once, said once in the log,
// and quillon still ends on SIGTERM.
TEST_F(TrayMenuTest, AFifoAsTraceFileIsRefusedAndQuillonStillEnds) {
  const fs::path fifo = temporary / "trace.fifo";
  ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0600));
  quillon->killAndWait(SIGTERM);
  auto environment = quillonEnvironment;
  environment.push_back("NOTCH_INPUT_TRACE_PATH=" + fifo.string());
  quillon = startQuillon(environment);
  ASSERT_TRUE(quillon->waitForErrorLine(
      "[Quillon/input] input trace off: the path is not a regular file of this user with one link", deadline))
      << quillon->errorText();
  ::kill(quillon->pid(), SIGTERM);
  EXPECT_EQ(0, exitStatus(quillon->waitForExit(deadline))) << "quillon did not end on SIGTERM";
  EXPECT_TRUE(fs::is_fifo(fifo));
}

}  // namespace
}  // namespace quillon
