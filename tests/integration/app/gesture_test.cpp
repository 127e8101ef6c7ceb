// The switching gesture as a user makes it, on the real quillon executable with XTest
// input only: the pointer over the running notch app's expanded notch, the chord (Super)
// held, sideways wheel lines paging the carousel, the release switching to the app shown
// and Escape cancelling. The sample app announces every wheel press it receives, which
// tells whether the gesture kept the claimed scrolls from it; the input trace tells which
// way each press went.

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
  for (const std::string& record : std::vector<std::string>{
           "tap.start success", "router.press admitted pid=" + std::to_string(aurora->pid()), "initial presentation pid=",
           "cancel reason=Escape key tap phase=active", "router.press admitted pid=",
           "router.release received phase=active"}) {
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

}  // namespace
}  // namespace quillon
