#include "linux/x11_global_event_tap.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <xcb/xtest.h>

#include <fstream>

#include "core/input/launch_input_trace.h"
#include "linux/x11_input_system.h"
#include "linux/x11_screens.h"
#include "sample_app_process.h"
#include "support/fake_input_router.h"
#include "support/temporary_directory.h"
#include "x11_test_display.h"

namespace quillon {
namespace {

constexpr xcb_keysym_t kSuper = 0xffeb, kAlt = 0xffe9, kEscape = 0xff1b, kLetterA = 0x61;
constexpr auto kCommand = LaunchModifierShortcut::commandFlag;

// A tap on the adapters' connection; the test's own connection plays the user (XTest)
// and the other clients.
struct TapTest : ::testing::Test {
  X11TestDisplay display;
  FakeInputRouter router;
  FakeLogSink log;
  X11Screens screens{display.adapters()};
  TemporaryDirectory directory;
  SystemClock clock;
  LaunchInputTrace trace{(directory / "trace").string(), clock};
  std::unique_ptr<X11GlobalEventTap> tap =
      std::make_unique<X11GlobalEventTap>(display.adapters(), display.loop(), router, screens, trace, log);
  xcb_connection_t* user = display.other().get();

  bool until(const std::function<bool()>& done) { return display.loop().runUntil(done, 20.0); }
  void sync() {
    XcbReply<xcb_get_input_focus_reply_t>(xcb_get_input_focus_reply(user, xcb_get_input_focus(user), nullptr));
  }
  void fake(std::uint8_t type, std::uint8_t detail) {
    xcb_test_fake_input(user, type, detail, XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0, 0, 0);
    sync();
  }
  xcb_keycode_t keycode(xcb_keysym_t keysym) {
    const auto* setup = xcb_get_setup(user);
    XcbReply<xcb_get_keyboard_mapping_reply_t> map(xcb_get_keyboard_mapping_reply(
        user,
        xcb_get_keyboard_mapping(user, setup->min_keycode,
                                 static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1)),
        nullptr));
    const auto* syms = xcb_get_keyboard_mapping_keysyms(map.get());
    for (int i = 0; i < xcb_get_keyboard_mapping_keysyms_length(map.get()); ++i) {
      if (syms[i] == keysym) return static_cast<xcb_keycode_t>(setup->min_keycode + i / map->keysyms_per_keycode);
    }
    return 0;
  }
  void key(xcb_keysym_t keysym, bool down) { fake(down ? XCB_KEY_PRESS : XCB_KEY_RELEASE, keycode(keysym)); }
  void click(std::uint8_t button) {
    fake(XCB_BUTTON_PRESS, button);
    fake(XCB_BUTTON_RELEASE, button);
  }
  // The trace's messages, without their time stamps.
  std::vector<std::string> records() {
    trace.flush();
    std::ifstream file(directory / "trace");
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) lines.push_back(line.substr(line.find(' ') + 1));
    return lines;
  }
  // Whether another client may now take the pointer and Escape, which the tap and an
  // Escape tap hold while started and claimed.
  bool othersCanGrab() {
    const auto held = [&](xcb_void_cookie_t cookie) {
      return XcbReply<xcb_generic_error_t>(xcb_request_check(user, cookie)) != nullptr;
    };
    const bool escape = !held(xcb_grab_key_checked(user, 0, display.other().root(), XCB_MOD_MASK_ANY, keycode(kEscape),
                                                   XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    xcb_ungrab_key(user, XCB_GRAB_ANY, display.other().root(), XCB_MOD_MASK_ANY);
    return escape && grabPointer() && (xcb_ungrab_pointer(user, XCB_CURRENT_TIME), sync(), true);
  }
  bool grabPointer() {
    XcbReply<xcb_grab_pointer_reply_t> grabbed(
        xcb_grab_pointer_reply(user,
                               xcb_grab_pointer(user, 0, display.other().root(), 0, XCB_GRAB_MODE_ASYNC,
                                                XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE, XCB_CURRENT_TIME),
                               nullptr));
    return grabbed && grabbed->status == XCB_GRAB_STATUS_SUCCESS;
  }
};

// Over a sample app that stays expanded throughout: while scrolls are claimed (the
// switcher is up) none reaches the app, whatever the router answers; otherwise every one
// does, chord or not. A wheel press afterwards, unclaimed, marks where the app's report
// of the first ends. The router hears every scroll once.
TEST_F(TapTest, TheAppGetsNoScrollWhileClaimedAndEveryScrollOtherwise) {
  ASSERT_TRUE(tap->start());
  SampleAppProcess app("Aurora");
  ASSERT_TRUE(app.waitUntilMapped());
  display.movePointer(756, 5);
  ASSERT_TRUE(app.waitFor("expanded"));
  const struct {
    const char* name;
    bool chord, claimed, routerClaims, delivered;
  } cases[] = {{"claimed, router takes it", true, true, true, false},
               {"claimed, router declines", true, true, false, false},
               {"chord, not claimed", true, false, true, true},
               {"no chord, not claimed", false, false, false, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    router.claimScrolls = c.routerClaims;
    router.scrolls.clear();
    if (c.chord) key(kSuper, true);
    ASSERT_TRUE(until([&] { return !c.chord || (!router.modifiers.empty() && router.modifiers.back() == kCommand); }));
    tap->claimScrolls(c.claimed);
    click(6);
    ASSERT_TRUE(until([&] { return router.scrolls.size() == 1; }));
    EXPECT_EQ(router.scrolls[0].event.lineDeltaAxis2, 1.0) << "button 6 scrolls left";
    EXPECT_EQ(router.scrolls[0].event.flags, c.chord ? kCommand : 0);
    EXPECT_EQ(router.scrolls[0].cursor, (ScreenPoint{756, 977}));
    tap->claimScrolls(false);
    if (c.chord) key(kSuper, false);
    ASSERT_TRUE(until([&] { return router.modifiers.back() == 0; }));
    click(4);
    std::vector<std::string> lines;
    for (std::string line = app.nextLine(); line.find("button=4") == std::string::npos; line = app.nextLine()) {
      ASSERT_FALSE(line.empty()) << "the app never reported the closing scroll";
      lines.push_back(line);
    }
    EXPECT_EQ(lines.size(), c.delivered ? 1U : 0U) << (lines.empty() ? "" : lines.front());
    ASSERT_TRUE(until([&] { return router.scrolls.size() == 2; }));
  }
  EXPECT_TRUE(router.interruptions.empty()) << "every claim got the pointer";
}

TEST_F(TapTest, ModifiersAndMovesReachTheRouterInScreenCoordinates) {
  ASSERT_TRUE(tap->start());
  display.movePointer(100, 200);
  ASSERT_TRUE(until([&] { return !router.moves.empty() && router.moves.back() == ScreenPoint{100, 782}; }));
  // A warp moves the pointer without raw motion; the press is still judged where it is.
  xcb_warp_pointer(user, XCB_NONE, display.other().root(), 0, 0, 0, 0, 300, 12);
  sync();
  key(kSuper, true);
  key(kAlt, true);
  key(kSuper, false);
  key(kAlt, false);
  ASSERT_TRUE(until([&] { return router.modifiers.size() == 4; }));
  EXPECT_EQ(router.modifiers, (std::vector<EventFlags>{kCommand, kCommand | LaunchModifierShortcut::optionFlag,
                                                       LaunchModifierShortcut::optionFlag, 0}));
  EXPECT_EQ(router.modifierCursors.front(), (ScreenPoint{300, 970}));
  const auto lines = records();
  ASSERT_GE(lines.size(), 3U);
  EXPECT_EQ(lines[0], "tap.start requested");
  EXPECT_EQ(lines[1], "tap.start success");
  EXPECT_EQ(lines[2].rfind("tap.flags eventTimestamp=", 0), 0U);
  EXPECT_NE(lines[2].find(" flags=0x100000"), std::string::npos) << lines[2];
  EXPECT_EQ(log.lines(), std::vector<std::string>{"[Quillon] event tap started"});
}

// While the tap is started Escape reaches it and never the focused window, whatever its
// answer (the keyboard is never frozen waiting for one), also when another client already
// holds Super+Escape; the letter typed after it marks the end of what the window had.
TEST_F(TapTest, EscapeTapTakesEveryEscapeWhileStarted) {
  const xcb_window_t focus = display.createWindow({.bounds = {10, 300, 100, 100}});
  const std::uint32_t keys = XCB_EVENT_MASK_KEY_PRESS;
  xcb_change_window_attributes(user, focus, XCB_CW_EVENT_MASK, &keys);
  xcb_set_input_focus(user, XCB_INPUT_FOCUS_POINTER_ROOT, focus, XCB_CURRENT_TIME);
  X11InputSystem input(display.adapters());
  for (const auto& [claim, superEscapeTaken] : {std::pair{true, false}, {false, false}, {true, true}}) {
    SCOPED_TRACE(std::string(claim ? "claimed" : "declined") + (superEscapeTaken ? ", Super+Escape taken" : ""));
    if (superEscapeTaken) {
      xcb_grab_key(user, 1, display.other().root(), XCB_MOD_MASK_4, keycode(kEscape), XCB_GRAB_MODE_ASYNC,
                   XCB_GRAB_MODE_ASYNC);
      sync();
    }
    int calls = 0;
    auto escape = input.makeEscapeTap([&, claims = claim] {
      ++calls;
      return claims;
    });
    ASSERT_TRUE(escape->start());
    key(kEscape, true);
    key(kEscape, false);
    ASSERT_TRUE(until([&] { return calls == 1; }));
    key(kLetterA, true);
    key(kLetterA, false);
    int escapes = 0;
    for (;;) {
      pollfd fd{xcb_get_file_descriptor(user), POLLIN, 0};
      XcbReply<xcb_generic_event_t> event(xcb_poll_for_event(user));
      if (!event) {
        ASSERT_GT(::poll(&fd, 1, 20'000), 0) << "the window never got the letter";
        continue;
      }
      if ((event->response_type & 0x7f) != XCB_KEY_PRESS) continue;
      const auto detail = reinterpret_cast<xcb_key_press_event_t*>(event.get())->detail;
      if (detail == keycode(kLetterA)) break;
      escapes += detail == keycode(kEscape) ? 1 : 0;
    }
    EXPECT_EQ(escapes, 0);
  }
}

// With another client holding the pointer the switcher's scrolls cannot be taken: the
// gesture is interrupted, with the key state of that moment, and the tap carries on.
TEST_F(TapTest, AnotherClientsPointerGrabInterruptsTheGesture) {
  ASSERT_TRUE(tap->start());
  key(kSuper, true);
  ASSERT_TRUE(until([&] { return !router.modifiers.empty(); }));
  ASSERT_TRUE(grabPointer());
  tap->claimScrolls(true);
  ASSERT_TRUE(until([&] { return !router.interruptions.empty(); }));
  EXPECT_EQ(router.interruptions, std::vector<EventFlags>{kCommand});
  const auto lines = records();
  const auto at = std::find(lines.begin(), lines.end(), "tap.interrupted reason=user-input");
  ASSERT_NE(at, lines.end());
  ASSERT_NE(at + 1, lines.end());
  EXPECT_EQ(at[1], "tap.reenabled");
  EXPECT_EQ(log.lines().back(), "[Quillon] tap re-enabled after user input");
}

// Every way the grabs end leaves the pointer and Escape free for others.
TEST_F(TapTest, EveryEndReleasesTheGrabs) {
  X11InputSystem input(display.adapters());
  for (const char* end : {"destruction", "connection lost"}) {
    SCOPED_TRACE(end);
    ASSERT_TRUE(tap->start());
    tap->followScrollClaims(input);
    auto escape = input.makeEscapeTap([] { return true; });
    ASSERT_TRUE(escape->start());
    input.claimScrolls(true);
    EXPECT_FALSE(othersCanGrab()) << "the grabs are held";
    if (std::string(end) == "destruction") {
      tap.reset();
      escape.reset();
      tap = std::make_unique<X11GlobalEventTap>(display.adapters(), display.loop(), router, screens, trace, log);
      // The releases must have reached the server before the other client asks.
      display.adapters()
          .pending(xcb_get_input_focus(display.adapters().get()))
          .take<xcb_get_input_focus_reply_t>(x11DeadlineAfter(kX11QueryBound));
    } else {
      auto* adapters = display.adapters().get();
      const xcb_pixmap_t resource = xcb_generate_id(adapters);  // names the connection to kill
      display.adapters().check(xcb_create_pixmap_checked(adapters, display.adapters().screen().root_depth, resource,
                                                         display.adapters().root(), 1, 1),
                               x11DeadlineAfter(kX11QueryBound));
      xcb_kill_client(user, resource);
      sync();
      ASSERT_TRUE(until([&] { return !router.interruptions.empty(); }));
      EXPECT_EQ(records().back(), "tap.interrupted reason=connection-lost");
    }
    EXPECT_TRUE(othersCanGrab());
  }
}

}  // namespace
}  // namespace quillon
