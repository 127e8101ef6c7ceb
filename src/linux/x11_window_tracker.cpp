#include "linux/x11_window_tracker.h"

#include <xcb/randr.h>

#include "linux/x11_connection.h"

namespace quillon {

namespace {

constexpr std::uint32_t kRootEvents = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
constexpr std::uint16_t kMonitorEvents =
    XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE | XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE | XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE;

void selectEvents(X11Connection& connection, xcb_window_t window, std::uint32_t mask) {
  xcb_change_window_attributes(connection.get(), window, XCB_CW_EVENT_MASK, &mask);
}

// Whether `event`, received on a connection that watches the windows, may mean that a
// reading of the window list is out of date. Errors count (a window watched a moment
// before it vanished), and so does any event this judgement cannot place; only a change
// of a property that the reading does not read, and a change of the keyboard mapping,
// leave it true.
bool changesWindowList(X11Connection& connection, const xcb_generic_event_t& event) {
  switch (event.response_type & 0x7f) {
    case XCB_PROPERTY_NOTIFY:
      return x11WindowListReadsProperty(connection, reinterpret_cast<const xcb_property_notify_event_t&>(event).atom);
    case XCB_MAPPING_NOTIFY: return false;
    default: return true;
  }
}

}  // namespace

void X11WindowTracker::start(X11Connection& connection) {
  // Reports of what happened before are of no use to a reading that starts afresh.
  takeChanges(connection);
  selectEvents(connection, connection.root(), kRootEvents);
  if (connection.hasRandr()) xcb_randr_select_input(connection.get(), connection.root(), kMonitorEvents);
  watching_ = true;
}

void X11WindowTracker::stop(X11Connection& connection) {
  if (!watching_) return;
  for (const xcb_window_t window : watched_) selectEvents(connection, window, 0);
  selectEvents(connection, connection.root(), 0);
  if (connection.hasRandr()) xcb_randr_select_input(connection.get(), connection.root(), 0);
  xcb_flush(connection.get());
  watched_.clear();
  reading_.reset();
  watching_ = false;
  // What arrives after this (errors for windows gone meanwhile) is taken by the next start.
  takeChanges(connection);
}

bool X11WindowTracker::takeChanges(X11Connection& connection) {
  bool changed = false;
  while (XcbReply<xcb_generic_event_t> event{xcb_poll_for_event(connection.get())}) {
    if ((event->response_type & 0x7f) == XCB_DESTROY_NOTIFY) {
      watched_.erase(reinterpret_cast<const xcb_destroy_notify_event_t&>(*event).window);
    }
    changed = changed || changesWindowList(connection, *event);
  }
  return changed;
}

std::optional<X11WindowSnapshot> X11WindowTracker::read(X11Connection& connection, X11Deadline deadline,
                                                        bool justChecked) {
  if (connection.hasError()) return std::nullopt;
  if (!watching_) {
    start(connection);
  } else if (reading_) {
    // Once the server answers this, every report it made before has been read.
    if (!justChecked &&
        !connection.pending(xcb_get_input_focus(connection.get())).take<xcb_get_input_focus_reply_t>(deadline)) {
      return std::nullopt;
    }
    if (!takeChanges(connection)) return reading_;
  } else {
    takeChanges(connection);
  }
  ++wholeReadings_;
  reading_ = readX11WindowSnapshot(connection, deadline, [&](std::uint32_t window, std::uint32_t mask) {
    selectEvents(connection, window, mask);
    watched_.insert(window);
  });
  return reading_;
}

}  // namespace quillon
