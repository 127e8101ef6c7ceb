#include "x11_test_display.h"

#include <gtest/gtest.h>
#include <xcb/xtest.h>

#include <cmath>
#include <stdexcept>
#include <vector>

namespace quillon {

X11TestDisplay::X11TestDisplay() : adapters_(X11Connection::open()), other_(X11Connection::open()) {
  if (!adapters_ || !other_) throw std::runtime_error("no X display; run under scripts/with-x");
  adapters_->attach(loop_);
}

X11TestDisplay::~X11TestDisplay() = default;

xcb_window_t X11TestDisplay::createWindow(const WindowOptions& options) {
  auto* c = other_->get();
  const xcb_window_t window = xcb_generate_id(c);
  const std::uint32_t values[] = {options.rgb, options.overrideRedirect ? 1U : 0U, XCB_EVENT_MASK_STRUCTURE_NOTIFY};
  xcb_create_window(c, XCB_COPY_FROM_PARENT, window, other_->root(), static_cast<std::int16_t>(options.bounds.x),
                    static_cast<std::int16_t>(options.bounds.y), static_cast<std::uint16_t>(options.bounds.width),
                    static_cast<std::uint16_t>(options.bounds.height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                    XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
  const auto setAtom = [&](const char* property, const char* value) {
    const xcb_atom_t atom = other_->atom(value);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, other_->atom(property), XCB_ATOM_ATOM, 32, 1, &atom);
  };
  if (options.state != nullptr) setAtom("_NET_WM_STATE", options.state);
  if (options.type != nullptr) setAtom("_NET_WM_WINDOW_TYPE", options.type);
  if (options.opacity) {
    const auto value = static_cast<std::uint32_t>(std::lround(*options.opacity * 4294967295.0));
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, other_->atom("_NET_WM_WINDOW_OPACITY"), XCB_ATOM_CARDINAL, 32,
                        1, &value);
  }
  if (options.netWmPid) {
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, other_->atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1,
                        &*options.netWmPid);
  }
  xcb_map_window(c, window);
  xcb_flush(c);
  // MapNotify on our own window means the server has mapped it.
  while (XcbReply<xcb_generic_event_t> event{xcb_wait_for_event(c)}) {
    if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY &&
        reinterpret_cast<xcb_map_notify_event_t*>(event.get())->window == window) {
      break;
    }
  }
  return window;
}

void X11TestDisplay::movePointer(int x, int y) {
  auto* c = other_->get();
  xcb_test_fake_input(c, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, other_->root(), static_cast<std::int16_t>(x),
                      static_cast<std::int16_t>(y), 0);
  XcbReply<xcb_get_input_focus_reply_t> sync(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

}  // namespace quillon
