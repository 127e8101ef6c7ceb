#include "linux/x11_screens.h"

#include <gtest/gtest.h>
#include <sys/uio.h>
#include <xcb/randr.h>
#include <xcb/xcbext.h>

#include "x11_test_display.h"

namespace quillon {
namespace {

TEST(X11Screens, IdsAreStableAndAnAddedMonitorFollowsTheOneAtTheOriginInCocoaCoordinates) {
  X11TestDisplay display;
  X11Screens screens(display.adapters());
  const auto before = screens.screens();
  ASSERT_EQ(before.size(), 1U);
  EXPECT_NE(before.front().displayID, 0U);
  EXPECT_EQ(before.front().frame, (ScreenRect{0, 0, 1512, 982}));
  // A second connection sees the same IDs: they come from the server, not from us.
  EXPECT_EQ(X11Screens(display.other()).screens(), before);

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
  auto watching = screens.observeChanges([&] { ++changes; });
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
