#pragma once

// The switching gesture as a user makes it, with XTest input only: the pointer over the
// running notch app's expanded notch, the chord held, sideways wheel lines paging the
// carousel. Shared by the tests of the gesture on the bare X server and on a desktop.

#include "app/quillon_app_fixture.h"

namespace quillon {

constexpr xcb_keysym_t superKey = 0xffeb, altKey = 0xffe9, shiftKey = 0xffe1;
constexpr std::uint8_t scrollRight = 7;
constexpr int linesPerPage = 1;  // one wheel click pages once

struct GestureTest : SwitchMenuTest {
  fs::path trace = temporary / "input-trace.log";
  int scrollsOutside = 0;

  void SetUp() override {
    auroraOptions = {"--announce"};
    quillonEnvironment.push_back("NOTCH_INPUT_TRACE_PATH=" + trace.string());
    SwitchMenuTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(waitForTrace("tap.start success")) << readText(trace) << quillon->errorText();
    // Only the expanded notch offers the switcher; it expands under the pointer.
    fakeInput(XCB_MOTION_NOTIFY, 0, x11->root(), x11->screen().width_in_pixels / 2.0, 8);
    xcb_flush(x11->get());
    waitUntilExpanded();
  }

  // The switcher above the notch may take the hover from it for a while.
  void waitUntilExpanded() {
    const std::string& text = aurora->errorText();
    const auto collapsed = text.rfind("collapsed\n");
    const std::size_t from = collapsed == std::string::npos ? 0 : collapsed + 1;
    ASSERT_TRUE(aurora->waitForErrorLineStartingWith("expanded", deadline, from)) << aurora->errorText();
  }

  // The trace is written behind the input handling, so a record is looked for until the
  // deadline.
  bool waitForTrace(const std::string& record, int count = 1) {
    return waitUntil([&] {
      const std::string text = readText(trace);
      int found = 0;
      for (auto at = text.find(record); at != std::string::npos; at = text.find(record, at + 1)) ++found;
      return found >= count;
    });
  }

  void scroll(int lines) {
    for (int i = 0; i < lines; ++i) {
      fakeInput(XCB_BUTTON_PRESS, scrollRight);
      fakeInput(XCB_BUTTON_RELEASE, scrollRight);
    }
    xcb_flush(x11->get());
  }

  // Scrolls with the chord up reach the app: each press is announced with its count.
  // A gesture that just ended may not have let the pointer go yet: its trace record and
  // the switcher leaving the screen can come a moment before the ungrab reaches the
  // server, and a scroll sent meanwhile goes to the grab.
  void scrollOutsideTheGesture(int lines) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(deadline);
    while (pointerHolder().starts_with("pointer grab: held") && std::chrono::steady_clock::now() < end) {
    }
    scroll(lines);
    scrollsOutside += lines;
    ASSERT_TRUE(aurora->waitForErrorLine("scroll count=" + std::to_string(scrollsOutside) + " button=7", deadline))
        << aurora->errorText() << readText(trace) << quillon->errorText() << pointerHolder();
  }

  // Whether another client holds the pointer, as a grab of our own finds out: a scroll
  // that never reached the app was either taken by such a grab or sent elsewhere.
  std::string pointerHolder() {
    XcbReply<xcb_grab_pointer_reply_t> grab(
        xcb_grab_pointer_reply(x11->get(),
                               xcb_grab_pointer(x11->get(), 0, x11->root(), 0, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC,
                                                XCB_WINDOW_NONE, XCB_CURSOR_NONE, XCB_CURRENT_TIME),
                               nullptr));
    XcbReply<xcb_query_pointer_reply_t> pointer(
        xcb_query_pointer_reply(x11->get(), xcb_query_pointer(x11->get(), x11->root()), nullptr));
    const std::string under = pointer ? "pointer at (" + std::to_string(pointer->root_x) + "," +
                                            std::to_string(pointer->root_y) + ") over top-level " +
                                            std::to_string(pointer->child) + "\n"
                                      : "pointer: no answer\n";
    if (!grab) return "pointer grab: no answer\n" + under;
    if (grab->status != XCB_GRAB_STATUS_SUCCESS) return "pointer grab: held by another client\n" + under;
    xcb_ungrab_pointer(x11->get(), XCB_CURRENT_TIME);
    xcb_flush(x11->get());
    return "pointer grab: free\n" + under;
  }

  std::optional<GlobalRect> waitForSwitcher(bool gone = false) {
    return waitForWindow(
        [&](const WindowRow& row) { return ownedByQuillon(row) && row.layer > 0 && row.bounds->y < 200; }, gone);
  }
  QImage pictureOf(const GlobalRect& area) {
    return grabScreen().copy(static_cast<int>(area.x), static_cast<int>(area.y), static_cast<int>(area.width),
                             static_cast<int>(area.height));
  }
  // Waits until `area` differs from `before` and then shows the same between two looks:
  // the carousel's slide has ended.
  bool waitForSlide(const GlobalRect& area, const QImage& before) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(deadline);
    QImage last = before;
    bool moved = false;
    while (std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));  // between two looks only
      QImage now = pictureOf(area);
      if (moved && now == last) return true;
      moved = moved || now != before;
      last = std::move(now);
    }
    return false;
  }

  // Holds the chord, pages the carousel `pages` times to the right (quillon logs each
  // page) and leaves the chord held with the switcher on screen.
  void holdAndPage(int pages, const std::string& screenshot, const std::vector<xcb_keysym_t>& chord = {superKey}) {
    for (const auto key : chord) sendKey(key, true);
    const auto switcher = waitForSwitcher();
    ASSERT_TRUE(switcher) << "the switcher did not appear\n"
                          << quillon->errorText() << readText(trace) << aurora->errorText();
    for (int page = 0; page < pages; ++page) {
      const QImage before = pictureOf(*switcher);
      const auto mark = outputMark();
      scroll(linesPerPage);
      ASSERT_TRUE(quillon->waitForErrorLineStartingWith("[Quillon/launch-input] page ", deadline, mark))
          << quillon->errorText() << readText(trace);
      // A burst right after a page is dropped; the next one comes once the slide ended.
      ASSERT_TRUE(waitForSlide(*switcher, before)) << "the carousel did not move";
    }
    // The slide has ended, so the switcher is drawn (its rounded corner shows the desktop).
    if (!screenshot.empty()) saveScreenshot(screenshot);
  }

  // Opens the settings window from the menu; the line that logged its controls.
  std::string openSettings() {
    const auto mark = outputMark();
    choose(6);
    const auto line = waitForControls(settings, {"Alt+Shift を使う"}, mark);
    EXPECT_TRUE(line) << "the settings window did not open\n" << quillon->errorText();
    return line.value_or("");
  }
  // Puts the pointer back over the notch, which expands under it.
  void backToTheNotch() {
    fakeInput(XCB_MOTION_NOTIFY, 0, x11->root(), x11->screen().width_in_pixels / 2.0, 8);
    xcb_flush(x11->get());
    waitUntilExpanded();
  }
  std::size_t keptImages() const {
    std::error_code ignored;
    const auto folder = dataDirectory / "Previews";
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder, ignored), fs::directory_iterator()));
  }
  bool waitForKeptImages(std::size_t count) const {
    return waitUntil([&] { return keptImages() == count; });
  }

  const std::string settings = "Quillon 設定";
};

}  // namespace quillon
