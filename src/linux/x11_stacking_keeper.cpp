#include "linux/x11_stacking_keeper.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "linux/x11_connection.h"

namespace quillon {

namespace {


// The child of the root window that holds `window`: the window itself without a window
// manager, its frame with a reparenting one.
xcb_window_t topLevelOf(X11Connection& connection, xcb_window_t window) {
  xcb_window_t current = window;
  for (int depth = 0; depth < 16; ++depth) {
    const auto cookie = xcb_query_tree(connection.get(), current);
    XcbReply<xcb_query_tree_reply_t> tree(
        static_cast<xcb_query_tree_reply_t*>(connection.waitForReply(cookie.sequence, x11DeadlineAfter(kX11QueryBound)).release()));
    if (!tree || tree->parent == connection.root() || tree->parent == XCB_WINDOW_NONE) return current;
    current = tree->parent;
  }
  return current;
}

}  // namespace

X11StackingKeeper::X11StackingKeeper(X11Connection& connection, std::uint32_t window) : connection_(connection) {
  topLevel_ = topLevelOf(connection_, window);
  // Other adapters on this connection select their own events on the root window; add
  // to their mask rather than replace it, and put it back afterwards.
  const auto cookie = xcb_get_window_attributes(connection_.get(), connection_.root());
  XcbReply<xcb_get_window_attributes_reply_t> attributes(static_cast<xcb_get_window_attributes_reply_t*>(
      connection_.waitForReply(cookie.sequence, x11DeadlineAfter(kX11QueryBound)).release()));
  previousRootMask_ = attributes ? attributes->your_event_mask : 0;
  const std::uint32_t mask = previousRootMask_ | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(connection_.get(), connection_.root(), XCB_CW_EVENT_MASK, &mask);
  subscription_ = connection_.subscribe([this](const xcb_generic_event_t& event) {
    xcb_window_t changed = XCB_WINDOW_NONE;
    switch (event.response_type & 0x7f) {
      case XCB_CONFIGURE_NOTIFY:
        changed = reinterpret_cast<const xcb_configure_notify_event_t&>(event).window;
        break;
      case XCB_MAP_NOTIFY:
        changed = reinterpret_cast<const xcb_map_notify_event_t&>(event).window;
        break;
      case XCB_CIRCULATE_NOTIFY:
        changed = reinterpret_cast<const xcb_circulate_notify_event_t&>(event).window;
        break;
      default:
        return;
    }
    // Our own restacking reports our window; answering it would loop.
    if (changed != XCB_WINDOW_NONE && changed != topLevel_) raise();
  });
  raise();
}

X11StackingKeeper::~X11StackingKeeper() {
  subscription_.reset();
  xcb_change_window_attributes(connection_.get(), connection_.root(), XCB_CW_EVENT_MASK, &previousRootMask_);
  connection_.flush();
}

LaunchSubscription X11StackingKeeper::hold(X11Connection& connection, std::uint32_t window) {
  auto keeper = std::make_shared<X11StackingKeeper>(connection, window);
  // The subscription owns the keeper: resetting it drops the last reference.
  return LaunchSubscription([keeper]() mutable { keeper.reset(); });
}

void X11StackingKeeper::raise() {
  const std::uint32_t above = XCB_STACK_MODE_ABOVE;
  xcb_configure_window(connection_.get(), topLevel_, XCB_CONFIG_WINDOW_STACK_MODE, &above);
  connection_.flush();
  ++restackCount_;
}

bool x11HasCompositingManager(X11Connection& connection) {
  int screenNumber = 0;
  // The screen number is the part of the display name after the dot, 0 without one.
  if (const char* display = std::getenv("DISPLAY")) {
    const std::string name(display);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > name.rfind(':')) screenNumber = std::atoi(name.c_str() + dot + 1);
  }
  const xcb_atom_t selection = connection.atom("_NET_WM_CM_S" + std::to_string(screenNumber));
  if (selection == XCB_ATOM_NONE) return false;
  const auto cookie = xcb_get_selection_owner(connection.get(), selection);
  XcbReply<xcb_get_selection_owner_reply_t> owner(
      static_cast<xcb_get_selection_owner_reply_t*>(connection.waitForReply(cookie.sequence, x11DeadlineAfter(kX11QueryBound)).release()));
  return owner && owner->owner != XCB_WINDOW_NONE;
}

}  // namespace quillon
