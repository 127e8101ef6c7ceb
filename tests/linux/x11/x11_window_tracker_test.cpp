#include "linux/x11_window_tracker.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <ostream>
#include <sstream>
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

// What a reading says of each window, front to back.
std::string describe(const std::optional<X11WindowSnapshot>& snapshot) {
  if (!snapshot) return "no reading";
  std::ostringstream text;
  for (const auto& w : snapshot->windows) {
    text << w.window << " at " << w.rootBounds.x << "," << w.rootBounds.y << " layer " << w.layer << " alpha "
         << w.alpha << "\n";
  }
  return text.str();
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
  bool shows;  // whether the window list shows it
};

void PrintTo(const Change& change, std::ostream* out) { *out << change.name; }

class X11WindowTrackerChange : public testing::TestWithParam<Change> {};

// Every change that the list shows is read; one it does not show costs no walk of the
// tree. The tracker's reading is compared with one made from scratch, so a change it
// misses cannot pass unnoticed.
TEST_P(X11WindowTrackerChange, ReadsWhatChangedAndKeepsWhatDidNot) {
  X11TestDisplay display;
  Desk desk{display};
  sync(display.other());
  auto own = X11Connection::open();
  ASSERT_TRUE(own);
  X11WindowTracker tracker;
  const auto read = [&] { return describe(tracker.read(*own, x11DeadlineAfter(kX11WindowListBound))); };
  const auto fresh = [&] {
    return describe(readX11WindowSnapshot(display.adapters(), x11DeadlineAfter(kX11WindowListBound)));
  };
  const std::string before = read();
  EXPECT_EQ(read(), before);
  EXPECT_EQ(tracker.wholeReadings(), 1U) << "an unchanged desktop is not read again";

  GetParam().make(desk);
  sync(display.other());
  const std::string after = read();
  EXPECT_EQ(after, fresh());
  EXPECT_EQ(after != before, GetParam().shows);
  EXPECT_EQ(tracker.wholeReadings(), GetParam().shows ? 2U : 1U);

  tracker.stop(*own);
  desk.configure(desk.back, XCB_CONFIG_WINDOW_X, 40);
  sync(display.other());
  EXPECT_EQ(read(), fresh()) << "a watch that stopped reads afresh";
}

INSTANTIATE_TEST_SUITE_P(
    Changes, X11WindowTrackerChange,
    testing::Values(
        Change{"title", [](Desk& d) { d.setAtom(d.front, "WM_NAME", "WM_NAME"); }, false},
        Change{"moved", [](Desk& d) { d.configure(d.front, XCB_CONFIG_WINDOW_Y, 320); }, true},
        Change{"raised", [](Desk& d) { d.configure(d.back, XCB_CONFIG_WINDOW_STACK_MODE, XCB_STACK_MODE_ABOVE); },
               true},
        Change{"unmapped", [](Desk& d) { xcb_unmap_window(d.display.other().get(), d.front); }, true},
        Change{"kept above", [](Desk& d) { d.setAtom(d.front, "_NET_WM_STATE", "_NET_WM_STATE_ABOVE"); }, true},
        Change{"client in a frame becomes a dock",
               [](Desk& d) { d.setAtom(d.client, "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DOCK"); }, true},
        Change{"a dock client joins the frame",
               [](Desk& d) { d.setAtom(d.makeClient(), "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DOCK"); }, true},
        Change{"new window",
               [](Desk& d) {
                 d.display.createWindow({.bounds = {5, 5, 20, 20}});
               },
               true}),
    [](const auto& row) {
      std::string name = row.param.name;
      for (char& c : name) {
        if (c == ' ') c = '_';
      }
      return name;
    });

}  // namespace
}  // namespace quillon
