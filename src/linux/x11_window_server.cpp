#include "linux/x11_window_server.h"

#include "linux/x11_connection.h"
#include "linux/x11_monitors.h"
#include "linux/x11_window_list.h"

namespace quillon {

X11WindowServer::X11WindowServer(X11Connection& connection) : connection_(connection) {}

std::vector<LaunchWindowRow> X11WindowServer::onScreenWindows(bool excludeDesktopElements) const {
  // One deadline for the whole list: a server that stalls (another client grabbed it)
  // yields no rows rather than a frozen caller.
  const auto deadline = x11DeadlineAfter(kX11WindowListBound);
  std::vector<LaunchWindowRow> rows;
  const auto monitors = queryX11Monitors(connection_, deadline);
  if (!monitors) return rows;
  const auto windows = listX11Windows(connection_, deadline);
  if (!windows) return rows;
  const X11RootSpace space(*monitors);
  for (const auto& window : *windows) {
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
