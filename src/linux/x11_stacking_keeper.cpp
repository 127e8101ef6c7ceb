#include "linux/x11_stacking_keeper.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#include "linux/x11_connection.h"
#include "linux/x11_monitors.h"

namespace quillon {

namespace {

// The child of the root window that holds `window`: the window itself without a window
// manager, its frame with a reparenting one.
xcb_window_t topLevelOf(X11Connection& connection, xcb_window_t window) {
  xcb_window_t current = window;
  for (int depth = 0; depth < 16; ++depth) {
    auto tree = connection.pending(xcb_query_tree(connection.get(), current))
                    .take<xcb_query_tree_reply_t>(x11DeadlineAfter(kX11QueryBound));
    if (!tree || tree->parent == connection.root() || tree->parent == XCB_WINDOW_NONE) return current;
    current = tree->parent;
  }
  return current;
}

}  // namespace

X11StackingKeeper::X11StackingKeeper(X11Connection& connection, std::uint32_t window, std::function<void()> covered)
    : connection_(connection), onCovered_(std::move(covered)) {
  const auto deadline = x11DeadlineAfter(kX11QueryBound);
  topLevel_ = topLevelOf(connection_, window);
  if (const auto monitors = queryX11Monitors(connection_, deadline)) {
    for (const X11Monitor& monitor : *monitors) monitors_.push_back(monitor.rootFrame);
  }
  // Other adapters on this connection select their own events on the root window; add
  // to their mask rather than replace it, and put it back afterwards.
  auto attributes = connection_.pending(xcb_get_window_attributes(connection_.get(), connection_.root()))
                        .take<xcb_get_window_attributes_reply_t>(deadline);
  previousRootMask_ = attributes ? attributes->your_event_mask : 0;
  const std::uint32_t mask = previousRootMask_ | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(connection_.get(), connection_.root(), XCB_CW_EVENT_MASK, &mask);

  // A locker that is already up: any mapped full-screen override-redirect window.
  if (auto tree = connection_.pending(xcb_query_tree(connection_.get(), connection_.root()))
                      .take<xcb_query_tree_reply_t>(deadline)) {
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    const int count = xcb_query_tree_children_length(tree.get());
    std::vector<X11PendingReply> states;
    states.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
      states.push_back(connection_.pending(xcb_get_window_attributes(connection_.get(), children[i])));
    }
    for (int i = 0; i < count && !covered_; ++i) {
      auto state = states[static_cast<std::size_t>(i)].take<xcb_get_window_attributes_reply_t>(deadline);
      if (state && state->override_redirect && state->map_state == XCB_MAP_STATE_VIEWABLE) watch(children[i], true);
    }
  }

  subscription_ = connection_.subscribe([this](const xcb_generic_event_t& event) {
    xcb_window_t changed = XCB_WINDOW_NONE;
    switch (event.response_type & 0x7f) {
      case XCB_CONFIGURE_NOTIFY: changed = reinterpret_cast<const xcb_configure_notify_event_t&>(event).window; break;
      case XCB_MAP_NOTIFY: {
        const auto& map = reinterpret_cast<const xcb_map_notify_event_t&>(event);
        changed = map.window;
        if (changed != topLevel_ && map.override_redirect && !covered_) {
          watch(changed, true);
          if (covered_) {
            // The handler may drop this keeper: nothing of it is touched afterwards.
            if (auto tell = onCovered_) tell();
            return;
          }
        }
        break;
      }
      case XCB_CIRCULATE_NOTIFY: changed = reinterpret_cast<const xcb_circulate_notify_event_t&>(event).window; break;
      default: return;
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

std::optional<Subscription> X11StackingKeeper::hold(X11Connection& connection, std::uint32_t window,
                                                    std::function<void()> covered) {
  if (x11KeyboardGrabbedElsewhere(connection)) return std::nullopt;
  auto keeper = std::make_shared<X11StackingKeeper>(connection, window, std::move(covered));
  if (keeper->isCovered()) return std::nullopt;
  // The subscription owns the keeper: resetting it drops the last reference.
  return Subscription([keeper]() mutable { keeper.reset(); });
}

void X11StackingKeeper::watch(std::uint32_t mapped, bool overrideRedirect) {
  if (!overrideRedirect || mapped == topLevel_) return;
  auto geometry = connection_.pending(xcb_get_geometry(connection_.get(), mapped))
                      .take<xcb_get_geometry_reply_t>(x11DeadlineAfter(kX11QueryBound));
  if (!geometry) return;
  covered_ = coversAMonitor(Rect{static_cast<double>(geometry->x), static_cast<double>(geometry->y),
                                 static_cast<double>(geometry->width), static_cast<double>(geometry->height)});
}

bool X11StackingKeeper::coversAMonitor(const Rect& bounds) const {
  return std::any_of(monitors_.begin(), monitors_.end(), [&](const Rect& monitor) {
    return bounds.x <= monitor.x && bounds.y <= monitor.y && bounds.maxX() >= monitor.maxX() &&
           bounds.maxY() >= monitor.maxY();
  });
}

void X11StackingKeeper::raise() {
  if (covered_) return;
  const auto now = std::chrono::steady_clock::now();
  while (!recentRaises_.empty() && now - recentRaises_.front() >= std::chrono::seconds(1)) recentRaises_.pop_front();
  if (recentRaises_.size() >= static_cast<std::size_t>(maxRaisesPerSecond)) return;
  recentRaises_.push_back(now);
  const std::uint32_t above = XCB_STACK_MODE_ABOVE;
  xcb_configure_window(connection_.get(), topLevel_, XCB_CONFIG_WINDOW_STACK_MODE, &above);
  connection_.flush();
  ++restackCount_;
}

bool x11KeyboardGrabbedElsewhere(X11Connection& connection) {
  auto grab = connection
                  .pending(xcb_grab_keyboard(connection.get(), 0, connection.root(), XCB_CURRENT_TIME,
                                             XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC))
                  .take<xcb_grab_keyboard_reply_t>(x11DeadlineAfter(kX11QueryBound));
  if (grab && grab->status == XCB_GRAB_STATUS_SUCCESS) {
    xcb_ungrab_keyboard(connection.get(), XCB_CURRENT_TIME);
    connection.flush();
  }
  return grab && grab->status == XCB_GRAB_STATUS_ALREADY_GRABBED;
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
  auto owner = connection.pending(xcb_get_selection_owner(connection.get(), selection))
                   .take<xcb_get_selection_owner_reply_t>(x11DeadlineAfter(kX11QueryBound));
  return owner && owner->owner != XCB_WINDOW_NONE;
}

}  // namespace quillon
