#include "linux/x11_monitors.h"

#include <xcb/randr.h>

#include "linux/x11_connection.h"

namespace quillon {

std::vector<X11Monitor> queryX11Monitors(X11Connection& connection) {
  std::vector<X11Monitor> monitors;
  const auto& screen = connection.screen();
  if (connection.hasRandr()) {
    auto* c = connection.get();
    XcbReply<xcb_randr_get_monitors_reply_t> reply(
        xcb_randr_get_monitors_reply(c, xcb_randr_get_monitors(c, connection.root(), 1), nullptr));
    connection.scheduleDispatch();
    if (reply) {
      for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem > 0;
           xcb_randr_monitor_info_next(&it)) {
        const auto* info = it.data;
        X11Monitor monitor;
        const int outputs = xcb_randr_monitor_info_outputs_length(info);
        monitor.displayID = outputs > 0 ? xcb_randr_monitor_info_outputs(info)[0] : info->name;
        monitor.rootFrame = {static_cast<double>(info->x), static_cast<double>(info->y),
                             static_cast<double>(info->width), static_cast<double>(info->height)};
        monitor.primary = info->primary != 0;
        if (monitor.primary) {
          monitors.insert(monitors.begin(), monitor);
        } else {
          monitors.push_back(monitor);
        }
      }
    }
  }
  if (monitors.empty()) {
    monitors.push_back({screen.root, {0, 0, static_cast<double>(screen.width_in_pixels),
                                      static_cast<double>(screen.height_in_pixels)}, true});
  }
  return monitors;
}

Point quartzOriginOf(const std::vector<X11Monitor>& monitors) {
  if (monitors.empty()) return {};
  return {monitors.front().rootFrame.x, monitors.front().rootFrame.y};
}

}  // namespace quillon
