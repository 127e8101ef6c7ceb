#include "linux/x11_connection.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace quillon
