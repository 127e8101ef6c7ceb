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
  connection_.flush();
  const std::uint8_t first = *connection_.randrFirstEvent();
  subscription_ = connection_.subscribe([this, first](const xcb_generic_event_t& event) {
    const int type = event.response_type & 0x7f;
    if (type != first + XCB_RANDR_SCREEN_CHANGE_NOTIFY && type != first + XCB_RANDR_NOTIFY) return;
    changes_.notify();
  });
}

X11Screens::~X11Screens() = default;

std::vector<Screen> X11Screens::screens() const {
  const auto monitors = queryX11Monitors(connection_, x11DeadlineAfter(kX11QueryBound));
  std::vector<Screen> result;
  if (!monitors || monitors->empty()) return result;
  const X11RootSpace space(*monitors);
  for (const auto& monitor : *monitors) result.push_back({monitor.displayID, space.screenFromRoot(monitor.rootFrame)});
  return result;
}

Subscription X11Screens::subscribeToChanges(std::function<void()> handler) {
  return changes_.subscribe(std::move(handler));
}

}  // namespace quillon
