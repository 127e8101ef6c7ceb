#include "linux/x11_window_tracker.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>

#include "linux/x11_connection.h"
#include "x11_test_display.h"

namespace quillon {
namespace {

// Once this returns, the server has carried out every request `connection` sent before.
void sync(X11Connection& connection) {
  ASSERT_TRUE(connection.pending(xcb_get_input_focus(connection.get()))
                  .take<xcb_get_input_focus_reply_t>(x11DeadlineAfter(kX11QueryBound)));
}

const X11WindowInfo* infoOf(const X11WindowSnapshot& snapshot, xcb_window_t window) {
  for (const auto& info : snapshot.windows) {
    if (info.window == window) return &info;
  }
  return nullptr;
}

std::ptrdiff_t positionOf(const X11WindowSnapshot& snapshot, xcb_window_t window) {
  const auto* info = infoOf(snapshot, window);
  return info == nullptr ? -1 : info - snapshot.windows.data();
}

// Three windows of another client: two plain ones, `back` behind `front`, and a window
// manager's frame around a client that names its class, the way openbox and xfwm show
// an application.
struct Desk {
  X11TestDisplay& display;
  xcb_window_t back = display.createWindow({.bounds = {10, 300, 80, 60}});
  xcb_window_t front = display.createWindow({.bounds = {100, 300, 80, 60}});
  xcb_window_t frame = display.createWindow({.bounds = {200, 300, 80, 60}});
  xcb_window_t client = makeClient();

  // A window in the frame with a class, on top of those there; the top-most one names
  // the frame's client.
  xcb_window_t makeClient() {
    auto& x = display.other();
    const xcb_window_t window = xcb_generate_id(x.get());
    xcb_create_window(x.get(), XCB_COPY_FROM_PARENT, window, frame, 0, 0, 80, 60, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    const char name[] = "app\0App";
    xcb_change_property(x.get(), XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, sizeof name,
                        name);
    xcb_map_window(x.get(), window);
    return window;
  }
  void setAtom(xcb_window_t window, const char* property, const char* value) {
    auto& x = display.other();
    const xcb_atom_t atom = x.atom(value);
    xcb_change_property(x.get(), XCB_PROP_MODE_REPLACE, window, x.atom(property), XCB_ATOM_ATOM, 32, 1, &atom);
  }
  void configure(xcb_window_t window, std::uint16_t mask, std::uint32_t value) {
    xcb_configure_window(display.other().get(), window, mask, &value);
  }
};

struct Change {
  const char* name;
  std::function<void(Desk&)> make;
  // Whether the reading after it still holds; otherwise it must be read afresh and say so.
  bool keepsTheReading;
  std::function<bool(const Desk&, const X11WindowSnapshot&)> seen;
};

void PrintTo(const Change& change, std::ostream* out) { *out << change.name; }

class X11WindowTrackerChange : public testing::TestWithParam<Change> {};

// Every change that the list shows is read; one it does not show costs no walk of the
// tree. The tracker's reading is compared with one made from scratch as well, so a
// change it misses cannot pass unnoticed.
TEST_P(X11WindowTrackerChange, ReadsWhatChangedAndKeepsWhatDidNot) {
  X11TestDisplay display;
  Desk desk{display};
  sync(display.other());
  auto own = X11Connection::open();
  ASSERT_TRUE(own);
  X11WindowTracker tracker;
  ASSERT_TRUE(tracker.read(*own, x11DeadlineAfter(kX11WindowListBound)));
  ASSERT_TRUE(tracker.read(*own, x11DeadlineAfter(kX11WindowListBound)));
  EXPECT_EQ(tracker.wholeReadings(), 1U) << "an unchanged desktop is not read again";

  GetParam().make(desk);
  sync(display.other());
  const auto after = tracker.read(*own, x11DeadlineAfter(kX11WindowListBound));
  ASSERT_TRUE(after);
  EXPECT_EQ(tracker.wholeReadings(), GetParam().keepsTheReading ? 1U : 2U);
  EXPECT_TRUE(GetParam().seen(desk, *after));
  const auto fresh = readX11WindowSnapshot(display.adapters(), x11DeadlineAfter(kX11WindowListBound));
  ASSERT_TRUE(fresh);
  ASSERT_EQ(after->windows.size(), fresh->windows.size());
  for (std::size_t i = 0; i < fresh->windows.size(); ++i) {
    EXPECT_EQ(after->windows[i].window, fresh->windows[i].window);
    EXPECT_EQ(after->windows[i].rootBounds, fresh->windows[i].rootBounds);
    EXPECT_EQ(after->windows[i].layer, fresh->windows[i].layer);
    EXPECT_EQ(after->windows[i].alpha, fresh->windows[i].alpha);
  }

  tracker.stop(*own);
  desk.configure(desk.back, XCB_CONFIG_WINDOW_X, 40);
  sync(display.other());
  const auto resumed = tracker.read(*own, x11DeadlineAfter(kX11WindowListBound));
  ASSERT_TRUE(resumed);
  EXPECT_EQ(infoOf(*resumed, desk.back)->rootBounds.x, 40) << "a watch that stopped reads afresh";
}

INSTANTIATE_TEST_SUITE_P(
    Changes, X11WindowTrackerChange,
    testing::Values(
        Change{"title", [](Desk& d) { d.setAtom(d.front, "WM_NAME", "WM_NAME"); }, true,
               [](const Desk& d, const X11WindowSnapshot& s) { return infoOf(s, d.front) != nullptr; }},
        Change{"moved", [](Desk& d) { d.configure(d.front, XCB_CONFIG_WINDOW_Y, 320); }, false,
               [](const Desk& d, const X11WindowSnapshot& s) { return infoOf(s, d.front)->rootBounds.y == 320; }},
        Change{"raised", [](Desk& d) { d.configure(d.back, XCB_CONFIG_WINDOW_STACK_MODE, XCB_STACK_MODE_ABOVE); },
               false, [](const Desk& d, const X11WindowSnapshot& s) { return positionOf(s, d.back) == 0; }},
        Change{"unmapped", [](Desk& d) { xcb_unmap_window(d.display.other().get(), d.front); }, false,
               [](const Desk& d, const X11WindowSnapshot& s) { return infoOf(s, d.front) == nullptr; }},
        Change{"kept above", [](Desk& d) { d.setAtom(d.front, "_NET_WM_STATE", "_NET_WM_STATE_ABOVE"); }, false,
               [](const Desk& d, const X11WindowSnapshot& s) { return infoOf(s, d.front)->layer == kX11AboveLayer; }},
        Change{"client in a frame becomes a dock",
               [](Desk& d) { d.setAtom(d.client, "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DOCK"); }, false,
               [](const Desk& d, const X11WindowSnapshot& s) { return infoOf(s, d.frame)->layer == kX11DockLayer; }},
        Change{"a dock client joins the frame",
               [](Desk& d) { d.setAtom(d.makeClient(), "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DOCK"); }, false,
               [](const Desk& d, const X11WindowSnapshot& s) { return infoOf(s, d.frame)->layer == kX11DockLayer; }},
        Change{"new window",
               [](Desk& d) {
                 auto& x = d.display.other();
                 const xcb_window_t window = xcb_generate_id(x.get());
                 xcb_create_window(x.get(), XCB_COPY_FROM_PARENT, window, x.root(), 5, 5, 20, 20, 0,
                                   XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
                 xcb_map_window(x.get(), window);
               },
               false, [](const Desk&, const X11WindowSnapshot& s) { return s.windows.front().rootBounds.x == 5; }}),
    [](const auto& row) {
      std::string name = row.param.name;
      for (char& c : name) {
        if (c == ' ') c = '_';
      }
      return name;
    });

}  // namespace
}  // namespace quillon
