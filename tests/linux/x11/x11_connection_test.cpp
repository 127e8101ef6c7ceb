#include "linux/x11_connection.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/uio.h>
#include <unistd.h>
#include <xcb/randr.h>
#include <xcb/xcbext.h>

#include "linux/x11_accessibility.h"
#include "linux/x11_screen_capture_service.h"
#include "linux/x11_screens.h"
#include "linux/x11_window_server.h"
#include "sample_app_process.h"
#include "x11_test_display.h"

namespace quillon {
namespace {

TEST(X11Connection, BrokenConnectionStopsBeingWatched) {
  // Without this the loop would keep waking for a descriptor at end of file.
  X11TestDisplay display;
  ASSERT_TRUE(display.adapters().isWatched());
  // KillClient names the client by one of its resources.
  auto* ours = display.adapters().get();
  const xcb_pixmap_t pixmap = xcb_generate_id(ours);
  xcb_create_pixmap(ours, display.adapters().screen().root_depth, pixmap, display.adapters().root(), 1, 1);
  xcb_flush(ours);
  display.adapters().atom("QUILLON_TEST_SYNC");  // the pixmap exists once this returns
  auto* c = display.other().get();
  xcb_kill_client(c, pixmap);
  XcbReply<xcb_get_input_focus_reply_t> sync(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
  EXPECT_TRUE(display.loop().runUntil([&] { return !display.adapters().isWatched(); }, 20.0));
  EXPECT_TRUE(display.adapters().hasError());
}

// XCB reads what the server sent while it writes, and an event read that way no longer
// makes the descriptor readable; it must reach its handler all the same.
TEST(X11Connection, AnEventReadWhileFlushingStillReachesItsHandler) {
  X11TestDisplay display;
  auto& x = display.adapters();
  const xcb_window_t window = xcb_generate_id(x.get());
  const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
  xcb_create_window(x.get(), XCB_COPY_FROM_PARENT, window, x.root(), 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                    XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
  x.atom("QUILLON_TEST_SYNC");  // the window exists once this returns
  bool drained = false;
  display.loop().post([&] { drained = true; });
  ASSERT_TRUE(display.loop().runUntil([&] { return drained; }, 20.0));  // no dispatch is pending
  int changes = 0;
  auto subscription = x.subscribe([&](const xcb_generic_event_t& event) {
    if ((event.response_type & 0x7f) == XCB_PROPERTY_NOTIFY) ++changes;
  });

  auto* c = display.other().get();
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_CUT_BUFFER1, XCB_ATOM_STRING, 8, 1, "q");
  XcbReply<xcb_get_input_focus_reply_t> sync(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
  pollfd ready{xcb_get_file_descriptor(x.get()), POLLIN, 0};
  ASSERT_EQ(1, ::poll(&ready, 1, 20'000));  // the event waits in the socket
  xcb_no_operation(x.get());
  x.flush();  // reads it while writing
  EXPECT_TRUE(display.loop().runUntil([&] { return changes == 1; }, 20.0));
}

// A request to an extension the server lacks would close the whole connection.
TEST(X11Connection, MissingExtensionsCostOnlyWhatNeedsThem) {
  X11TestDisplay display({"-extension", "XTEST", "-extension", "RANDR"});
  auto& x = display.adapters();
  EXPECT_FALSE(x.hasXTest());
  EXPECT_FALSE(x.hasRandr());
  EXPECT_TRUE(x.hasComposite());
  EXPECT_TRUE(x.hasXRes());
  EXPECT_EQ(display.log().lines(),
            (std::vector<std::string>{
                "[Quillon/startup] The X server has no RandR 1.5 extension; the whole root window is one screen",
                "[Quillon/startup] The X server has no XTEST extension; synthetic input is unavailable"}));

  const auto window = display.createWindow({.bounds = {10, 20, 30, 40}});
  const auto rows = X11WindowServer(x).onScreenWindows(false);
  const auto* row = rowOf(rows, window);
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->ownerPID, getpid());
  EXPECT_EQ(X11Screens(x).screens(), (std::vector<Screen>{{x.root(), ScreenRect{0, 0, 1512, 982}}}));
  SampleAppProcess app("Aurora");
  EXPECT_TRUE(app.waitUntilMapped());
  EXPECT_FALSE(x.hasError());
}

// While another client holds the server, it answers nobody else; the adapters give up
// at their bounds and work again once the grab ends, late replies notwithstanding.
TEST(X11Connection, AServerGrabStallsNoAdapterPastItsBound) {
  X11TestDisplay display;
  X11WindowServer windows(display.adapters());
  X11Screens screens(display.adapters());
  X11ScreenCaptureService capture(display.adapters());
  X11Accessibility accessibility(display.adapters());
  const auto window = display.createWindow({.bounds = {10, 20, 30, 40}, .rgb = 0xff0000});
  auto* c = display.other().get();
  xcb_grab_server(c);
  XcbReply<xcb_get_input_focus_reply_t> sync(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));

  EXPECT_TRUE(windows.onScreenWindows(false).empty());
  EXPECT_TRUE(screens.screens().empty());
  EXPECT_EQ(accessibility.elementAtPoint({20, 30}, 0.05), std::nullopt);
  try {
    capture.windowImage(window, {});
    ADD_FAILURE() << "captured from a grabbed server";
  } catch (const Error& error) {
    EXPECT_EQ(error.platform().code, X11ScreenCaptureService::serverNotAnswering);
  }

  xcb_ungrab_server(c);
  xcb_flush(c);
  EXPECT_NE(rowOf(windows.onScreenWindows(false), window), nullptr);
  EXPECT_EQ(screens.screens().size(), 1U);
  EXPECT_TRUE(accessibility.elementAtPoint({20, 30}, 5.0).has_value());
  const Bitmap image = capture.windowImage(window, {});
  ASSERT_EQ(image.width, 30);
  ASSERT_EQ(image.height, 40);
  EXPECT_EQ(image.pixel(15, 20)[0], 0xff);
  EXPECT_FALSE(display.adapters().hasError());
}

// Off the main thread, a capture waits for a grabbed server on its own connection while
// the main loop goes on, and completes there once the grab ends.
TEST(X11ScreenCaptureService, AGrabbedServerHoldsTheCaptureThreadNotTheMainLoop) {
  X11TestDisplay display;
  X11ScreenCaptureService capture(display.adapters());
  capture.captureOffMainThread(display.loop(), X11Connection::open(display.name().c_str()));
  const auto window = display.createWindow({.bounds = {10, 20, 30, 40}, .rgb = 0xff0000});
  auto* c = display.other().get();
  xcb_grab_server(c);
  XcbReply<xcb_get_input_focus_reply_t> sync(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));

  std::optional<Result<Bitmap>> outcome;
  auto handle = spawn<Bitmap>(display.loop(), capture.captureWindow(window, {}),
                              [&](Result<Bitmap> result) { outcome.emplace(std::move(result)); });
  bool served = false;
  display.loop().post([&] { served = true; });
  display.loop().runUntil([&] { return served; }, 5.0);
  EXPECT_TRUE(served);
  EXPECT_FALSE(outcome) << "the capture waits on its own thread";

  xcb_ungrab_server(c);
  xcb_flush(c);
  display.loop().runUntil([&] { return outcome.has_value(); }, 20.0);
  ASSERT_TRUE(outcome && outcome->hasValue());
  const Bitmap image = std::move(*outcome).get();
  ASSERT_EQ(image.width, 30);
  EXPECT_EQ(image.pixel(15, 20)[0], 0xff);
}

// A capture given up on (its time limit cancels it) stops its request on the worker at
// once, while the server is still grabbed, instead of holding the worker until its own
// bound; the window lists read over the same worker share that cancellation.
TEST(X11ScreenCaptureService, ACancelledCaptureStopsItsRequestWhileTheServerIsStillGrabbed) {
  X11TestDisplay display;
  X11ScreenCaptureService capture(display.adapters());
  capture.captureOffMainThread(display.loop(), X11Connection::open(display.name().c_str()));
  X11WindowServer windows(display.adapters());
  windows.readOffMainThread(capture.worker());
  const auto window = display.createWindow({.bounds = {10, 20, 30, 40}, .rgb = 0xff0000});
  auto* c = display.other().get();
  xcb_grab_server(c);
  XcbReply<xcb_get_input_focus_reply_t> sync(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));

  const auto startedAt = std::chrono::steady_clock::now();
  std::optional<Result<Bitmap>> image;
  std::optional<Result<std::vector<WindowRow>>> rows;
  auto capturing = spawn<Bitmap>(display.loop(), capture.captureWindow(window, {}),
                                 [&](Result<Bitmap> result) { image.emplace(std::move(result)); });
  auto listing =
      spawn<std::vector<WindowRow>>(display.loop(), windows.readOnScreenWindows(false),
                                    [&](Result<std::vector<WindowRow>> result) { rows.emplace(std::move(result)); });
  bool started = false;  // posted after both tasks' starts
  display.loop().post([&] { started = true; });
  display.loop().runUntil([&] { return started; }, 5.0);
  ASSERT_FALSE(image) << "the server is grabbed";
  capturing.cancel();
  listing.cancel();
  display.loop().runUntil([&] { return image && rows; }, 20.0);
  EXPECT_LT(std::chrono::steady_clock::now(), startedAt + kX11CaptureBound) << "stopped, not timed out";
  ASSERT_TRUE(image && image->failure());
  EXPECT_EQ(image->failure()->platform().code, X11ScreenCaptureService::serverNotAnswering);
  ASSERT_TRUE(rows && rows->hasValue());
  EXPECT_TRUE(rows->value().empty());

  xcb_ungrab_server(c);
  xcb_flush(c);
  const auto again = display.finish(capture.captureWindow(window, {}));
  ASSERT_TRUE(again && again->hasValue()) << "the worker is free for the next capture";
  EXPECT_NE(rowOf(display.finish(windows.readOnScreenWindows(false))->value(), window), nullptr);
}

TEST(X11Screens, IdsAreStableAndAnAddedMonitorFollowsTheOneAtTheOriginInCocoaCoordinates) {
  X11TestDisplay display;
  X11Screens screens(display.adapters());
  const auto before = screens.screens();
  ASSERT_EQ(before.size(), 1U);
  EXPECT_NE(before.front().displayID, 0U);
  EXPECT_EQ(before.front().frame, (ScreenRect{0, 0, 1512, 982}));
  // A second connection sees the same IDs: they come from the server, not from us.
  EXPECT_EQ(X11Screens(display.other()).screens(), before);
  int changes = 0;
  const auto subscription = screens.subscribeToChanges([&] { ++changes; });

  // A RandR 1.5 monitor without outputs covering the lower right quarter, added by
  // another client as a display configuration tool would.
  auto* c = display.other().get();
  const xcb_atom_t atom = display.other().atom("QUILLON-TEST");
  xcb_randr_monitor_info_t monitor{atom, 0, 0, 0, 756, 491, 756, 491, 100, 100};
  // WORKAROUND(libxcb 1.15): the generated xcb_randr_set_monitor miscounts the length
  // of a monitor without outputs and trips an assertion, so the request is sent by hand.
  xcb_randr_set_monitor_request_t request{};
  request.window = display.other().root();
  iovec parts[4];
  parts[2] = {&request, sizeof request};
  parts[3] = {&monitor, sizeof monitor};
  xcb_protocol_request_t protocol{2, &xcb_randr_id, XCB_RANDR_SET_MONITOR, 1};
  xcb_send_request(c, 0, parts + 2, &protocol);
  XcbReply<xcb_get_input_focus_reply_t> sync(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));

  // The screens are remembered: the new monitor shows once the server has said so.
  EXPECT_TRUE(display.loop().runUntil([&] { return changes > 0; }, 20.0));
  const auto after = screens.screens();
  ASSERT_EQ(after.size(), 2U);
  EXPECT_EQ(after.front(), before.front());
  EXPECT_EQ(after.back().displayID, atom);
  // Root y 491..982 is the bottom half, which in Cocoa space starts at y 0.
  EXPECT_EQ(after.back().frame, (ScreenRect{756, 0, 756, 491}));
}

TEST(X11Screens, DisablingAMonitorCallsTheChangeHandlerOnTheMainLoop) {
  X11TestDisplay display;
  X11Screens screens(display.adapters());
  int changes = 0;
  const auto subscription = screens.subscribeToChanges([&] { ++changes; });
  auto* c = display.other().get();
  XcbReply<xcb_randr_get_screen_resources_current_reply_t> resources(xcb_randr_get_screen_resources_current_reply(
      c, xcb_randr_get_screen_resources_current(c, display.other().root()), nullptr));
  ASSERT_TRUE(resources);
  ASSERT_GT(xcb_randr_get_screen_resources_current_crtcs_length(resources.get()), 0);
  const auto crtc = xcb_randr_get_screen_resources_current_crtcs(resources.get())[0];
  // Switching the CRTC off, as unplugging the display would.
  XcbReply<xcb_randr_set_crtc_config_reply_t> off(xcb_randr_set_crtc_config_reply(
      c,
      xcb_randr_set_crtc_config(c, crtc, XCB_CURRENT_TIME, resources->config_timestamp, 0, 0, XCB_NONE,
                                XCB_RANDR_ROTATION_ROTATE_0, 0, nullptr),
      nullptr));
  ASSERT_TRUE(off);
  ASSERT_EQ(off->status, XCB_RANDR_SET_CONFIG_SUCCESS);
  EXPECT_TRUE(display.loop().runUntil([&] { return changes > 0; }, 20.0));
}

}  // namespace
}  // namespace quillon
