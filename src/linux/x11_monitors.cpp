#include "linux/x11_monitors.h"

#include <xcb/randr.h>

#include <algorithm>

#include "core/display/screen_coordinates.h"
#include "linux/x11_connection.h"

namespace quillon {

X11PendingReply requestX11Monitors(X11Connection& connection) {
  if (!connection.hasRandr()) return {};
  return connection.pending(xcb_randr_get_monitors(connection.get(), connection.root(), 1));
}

std::optional<std::vector<X11Monitor>> queryX11Monitors(X11Connection& connection, X11Deadline deadline) {
  auto request = requestX11Monitors(connection);
  return readX11Monitors(connection, request, deadline);
}

std::optional<std::vector<X11Monitor>> readX11Monitors(X11Connection& connection, X11PendingReply& request,
                                                       X11Deadline deadline) {
  std::vector<X11Monitor> monitors;
  const auto& screen = connection.screen();
  if (connection.hasRandr()) {
    auto reply = request.take<xcb_randr_get_monitors_reply_t>(deadline);
    if (!reply) return std::nullopt;
    for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem > 0;
         xcb_randr_monitor_info_next(&it)) {
      const auto* info = it.data;
      X11Monitor monitor;
      const int outputs = xcb_randr_monitor_info_outputs_length(info);
      monitor.displayID = outputs > 0 ? xcb_randr_monitor_info_outputs(info)[0] : info->name;
      monitor.rootFrame = {static_cast<double>(info->x), static_cast<double>(info->y), static_cast<double>(info->width),
                           static_cast<double>(info->height)};
      monitor.primary = info->primary != 0;
      monitors.push_back(monitor);
    }
  }
  // The first screen is the one a notch would be on: the primary monitor, else (no
  // primary output is set, as on Xvfb) the monitor at the root's origin, else the
  // server's first. The rest keep the server's order.
  auto first = std::find_if(monitors.begin(), monitors.end(), [](const X11Monitor& m) { return m.primary; });
  if (first == monitors.end()) {
    first = std::find_if(monitors.begin(), monitors.end(), [](const X11Monitor& m) {
      return m.rootFrame.contains({0, 0});
    });
  }
  if (first != monitors.end()) std::rotate(monitors.begin(), first, first + 1);
  if (monitors.empty()) {
    monitors.push_back(
        {screen.root,
         {0, 0, static_cast<double>(screen.width_in_pixels), static_cast<double>(screen.height_in_pixels)},
         true});
  }
  return monitors;
}

X11RootSpace::X11RootSpace(const std::vector<X11Monitor>& monitors) {
  if (monitors.empty()) return;
  origin_ = {monitors.front().rootFrame.x, monitors.front().rootFrame.y};
  primaryHeight_ = monitors.front().rootFrame.height;
}

ScreenRect X11RootSpace::screenFromRoot(const Rect& root) const {
  return ScreenCoordinates(primaryHeight_).cocoaFromQuartz(globalFromRoot(root));
}

Rect X11RootSpace::rootFromScreen(const ScreenRect& screen) const {
  return rootFromGlobal(ScreenCoordinates(primaryHeight_).quartzFromCocoa(screen));
}

ScreenPoint X11RootSpace::screenFromRoot(Point root) const {
  return ScreenCoordinates(primaryHeight_).cocoaFromQuartz(globalFromRoot(root));
}

}  // namespace quillon
