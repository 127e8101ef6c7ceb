#include "linux/x11_window_server.h"

#include "linux/x11_connection.h"
#include "linux/x11_monitors.h"
#include "linux/x11_window_list.h"

namespace quillon {

X11WindowServer::X11WindowServer(X11Connection& connection) : connection_(connection) {}

std::vector<LaunchWindowRow> X11WindowServer::onScreenWindows(bool excludeDesktopElements) const {
  const X11RootSpace space(queryX11Monitors(connection_));
  std::vector<LaunchWindowRow> rows;
  for (const auto& window : listX11Windows(connection_)) {
    if (excludeDesktopElements && window.desktopElement) continue;
    LaunchWindowRow row;
    row.ownerPID = window.pid;
    row.windowNumber = window.window;
    row.bounds = space.globalFromRoot(window.rootBounds);
    row.layer = window.layer;
    row.alpha = window.alpha;
    rows.push_back(row);
  }
  return rows;
}

// X11 has no session lock of its own; screen lockers are ordinary clients whose
// full-screen window then fronts the list, which the occlusion checks already see.
bool X11WindowServer::isScreenLocked() const { return false; }

}  // namespace quillon
