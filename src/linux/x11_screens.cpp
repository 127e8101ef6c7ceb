#include "linux/x11_screens.h"

#include <xcb/randr.h>

#include "linux/x11_connection.h"
#include "linux/x11_monitors.h"

namespace quillon {

X11Screens::X11Screens(X11Connection& connection) : connection_(connection) {
  if (!connection_.hasRandr()) return;
  xcb_randr_select_input(
      connection_.get(), connection_.root(),
      XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE | XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE | XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE);
  // A monitor that a RandR 1.5 client sets or deletes is told by no RandR event, only by
  // a ConfigureNotify of the root window. Other adapters on this connection select their
  // own root events: add to their mask rather than replace it.
  auto attributes = connection_.pending(xcb_get_window_attributes(connection_.get(), connection_.root()))
                        .take<xcb_get_window_attributes_reply_t>(x11DeadlineAfter(kX11QueryBound));
  const std::uint32_t mask = (attributes ? attributes->your_event_mask : 0) | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
  xcb_change_window_attributes(connection_.get(), connection_.root(), XCB_CW_EVENT_MASK, &mask);
  connection_.flush();
  const std::uint8_t first = *connection_.randrFirstEvent();
  const xcb_window_t root = connection_.root();
  subscription_ = connection_.subscribe([this, first, root](const xcb_generic_event_t& event) {
    const int type = event.response_type & 0x7f;
    const bool rootChanged =
        type == XCB_CONFIGURE_NOTIFY && reinterpret_cast<const xcb_configure_notify_event_t&>(event).window == root;
    if (!rootChanged && type != first + XCB_RANDR_SCREEN_CHANGE_NOTIFY && type != first + XCB_RANDR_NOTIFY) return;
    known_.reset();
    changes_.notify();
  });
  remembers_ = true;
}

X11Screens::~X11Screens() = default;

std::vector<Screen> X11Screens::screens() const {
  if (known_) return *known_;
  const auto monitors = queryX11Monitors(connection_, x11DeadlineAfter(kX11QueryBound));
  std::vector<Screen> result;
  if (!monitors || monitors->empty()) return result;
  const X11RootSpace space(*monitors);
  for (const auto& monitor : *monitors) result.push_back({monitor.displayID, space.screenFromRoot(monitor.rootFrame)});
  // Kept until the server tells of a change; a reply that did not come is asked for again.
  if (remembers_) known_ = result;
  return result;
}

Subscription X11Screens::subscribeToChanges(std::function<void()> handler) {
  return changes_.subscribe(std::move(handler));
}

}  // namespace quillon
