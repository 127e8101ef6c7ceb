#include "linux/x11_screens.h"

#include <gtest/gtest.h>
#include <sys/uio.h>
#include <xcb/randr.h>
#include <xcb/xcbext.h>

#include "x11_test_display.h"

namespace quillon {
namespace {

TEST(X11Screens, PrimaryScreenHasAStableIdAndTheHarnessSize) {
  X11TestDisplay display;
  X11Screens screens(display.adapters());
  const auto first = screens.screens();
  ASSERT_EQ(first.size(), 1U);
  EXPECT_NE(first.front().displayID, 0U);
  EXPECT_EQ(first.front().frame, (Rect{0, 0, 1512, 982}));
  EXPECT_EQ(screens.screens(), first);
  // A second connection sees the same IDs: they come from the server, not from us.
  X11Screens again(display.other());
  EXPECT_EQ(again.screens(), first);
}

TEST(X11Screens, AddedMonitorFollowsTheOneAtTheOriginInCocoaCoordinates) {
  X11TestDisplay display;
  X11Screens screens(display.adapters());
  const auto before = screens.screens();
  ASSERT_EQ(before.size(), 1U);

  // A RandR 1.5 monitor without outputs covering the lower right quarter, added by
  // another client as a display configuration tool would.
  auto* c = display.other().get();
  const std::string name = "QUILLON-TEST";
  const xcb_atom_t atom = display.other().atom(name);
  struct {
    xcb_randr_monitor_info_t info;
  } monitor{};
  monitor.info.name = atom;
  monitor.info.primary = 0;
  monitor.info.automatic = 0;
  monitor.info.nOutput = 0;
  monitor.info.x = 756;
  monitor.info.y = 491;
  monitor.info.width = 756;
  monitor.info.height = 491;
  monitor.info.width_in_millimeters = 100;
  monitor.info.height_in_millimeters = 100;
  // WORKAROUND(libxcb 1.15): the generated xcb_randr_set_monitor miscounts the length
  // of a monitor without outputs and trips an assertion, so the request is sent by hand.
  xcb_randr_set_monitor_request_t request{};
  request.window = display.other().root();
  iovec parts[4];
  parts[2] = {&request, sizeof request};
  parts[3] = {&monitor.info, sizeof monitor.info};
  xcb_protocol_request_t protocol{2, &xcb_randr_id, XCB_RANDR_SET_MONITOR, 1};
  xcb_send_request(c, 0, parts + 2, &protocol);
  XcbReply<xcb_get_input_focus_reply_t> sync(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));

  const auto after = screens.screens();
  ASSERT_EQ(after.size(), 2U);
  EXPECT_EQ(after.front(), before.front());
  EXPECT_EQ(after.back().displayID, atom);
  // Root y 491..982 is the bottom half, which in Cocoa space starts at y 0.
  EXPECT_EQ(after.back().frame, (Rect{756, 0, 756, 491}));

  xcb_randr_delete_monitor(c, display.other().root(), atom);
  sync.reset(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
  EXPECT_EQ(screens.screens(), before);
}

TEST(X11Screens, DisablingAMonitorCallsTheChangeHandlerOnTheMainLoop) {
  X11TestDisplay display;
  X11Screens screens(display.adapters());
  int changes = 0;
  screens.setChangeHandler([&] { ++changes; });
  auto* c = display.other().get();
  const auto root = display.other().root();
  XcbReply<xcb_randr_get_screen_resources_current_reply_t> resources(
      xcb_randr_get_screen_resources_current_reply(c, xcb_randr_get_screen_resources_current(c, root), nullptr));
  ASSERT_TRUE(resources);
  ASSERT_GT(xcb_randr_get_screen_resources_current_crtcs_length(resources.get()), 0);
  const auto crtc = xcb_randr_get_screen_resources_current_crtcs(resources.get())[0];
  XcbReply<xcb_randr_get_crtc_info_reply_t> saved(
      xcb_randr_get_crtc_info_reply(c, xcb_randr_get_crtc_info(c, crtc, resources->config_timestamp), nullptr));
  ASSERT_TRUE(saved);
  // Switching the CRTC off, as unplugging the display would.
  XcbReply<xcb_randr_set_crtc_config_reply_t> off(xcb_randr_set_crtc_config_reply(
      c,
      xcb_randr_set_crtc_config(c, crtc, XCB_CURRENT_TIME, resources->config_timestamp, 0, 0, XCB_NONE,
                                XCB_RANDR_ROTATION_ROTATE_0, 0, nullptr),
      nullptr));
  ASSERT_TRUE(off);
  ASSERT_EQ(off->status, XCB_RANDR_SET_CONFIG_SUCCESS);
  EXPECT_TRUE(display.loop().runUntil([&] { return changes > 0; }, 20.0));

  // Back on, so that later cases on the same server see the usual screen.
  XcbReply<xcb_randr_set_crtc_config_reply_t> on(xcb_randr_set_crtc_config_reply(
      c,
      xcb_randr_set_crtc_config(c, crtc, XCB_CURRENT_TIME, off->timestamp, saved->x, saved->y, saved->mode,
                                saved->rotation,
                                static_cast<std::uint32_t>(xcb_randr_get_crtc_info_outputs_length(saved.get())),
                                xcb_randr_get_crtc_info_outputs(saved.get())),
      nullptr));
  ASSERT_TRUE(on);
  EXPECT_EQ(on->status, XCB_RANDR_SET_CONFIG_SUCCESS);
  EXPECT_TRUE(display.loop().runUntil([&] { return screens.screens().front().frame.width == 1512; }, 20.0));
}

}  // namespace
}  // namespace quillon
