#include "linux/x11_screen_lock.h"

#include <xcb/screensaver.h>
#include <xcb/xcb.h>

#include "linux/x11_connection.h"

namespace quillon {

X11ScreenLock::X11ScreenLock(X11Connection& connection) : connection_(connection) {
  xcb_connection_t* c = connection_.get();
  const auto deadline = x11DeadlineAfter(kX11QueryBound);
  // As in X11Connection: presence first, so that XCB never waits unbounded for it, and
  // no request goes to an absent extension.
  xcb_prefetch_extension_data(c, &xcb_screensaver_id);
  if (!connection_.pending(xcb_get_input_focus(c)).take<xcb_get_input_focus_reply_t>(deadline)) return;
  const auto* data = xcb_get_extension_data(c, &xcb_screensaver_id);
  if (data == nullptr || data->present == 0) return;
  if (!connection_.pending(xcb_screensaver_query_version(c, 1, 1))
           .take<xcb_screensaver_query_version_reply_t>(deadline)) {
    return;
  }
  firstEvent_ = data->first_event;
  xcb_screensaver_select_input(c, connection_.root(), XCB_SCREENSAVER_EVENT_NOTIFY_MASK);
  if (auto info = connection_.pending(xcb_screensaver_query_info(c, connection_.root()))
                      .take<xcb_screensaver_query_info_reply_t>(deadline)) {
    saverOn_ = info->state == XCB_SCREENSAVER_STATE_ON;
  }
  connection_.flush();
  events_ = connection_.subscribe([this](const xcb_generic_event_t& event) {
    if ((event.response_type & 0x7f) != *firstEvent_ + XCB_SCREENSAVER_NOTIFY) return;
    const auto& notify = reinterpret_cast<const xcb_screensaver_notify_event_t&>(event);
    update(notify.state == XCB_SCREENSAVER_STATE_ON, sessionLocked_);
  });
}

X11ScreenLock::~X11ScreenLock() {
  if (!firstEvent_) return;
  events_.reset();
  xcb_screensaver_select_input(connection_.get(), connection_.root(), 0);
  connection_.flush();
}

void X11ScreenLock::setSessionLocked(bool locked) { update(saverOn_, locked); }

void X11ScreenLock::update(bool saverOn, bool sessionLocked) {
  const bool was = isLocked();
  saverOn_ = saverOn;
  sessionLocked_ = sessionLocked;
  if (!was && isLocked()) handlers_.notify();
}

}  // namespace quillon
