#include "linux/x11_window_server.h"

#include "linux/x11_connection.h"
#include "linux/x11_monitors.h"
#include "linux/x11_screen_lock.h"
#include "linux/x11_window_list.h"

namespace quillon {

X11WindowServer::X11WindowServer(X11Connection& connection, const X11ScreenLock* lock)
    : connection_(connection), lock_(lock) {}

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

// X11 has no session lock of its own (see X11ScreenLock); a locker that reports through
// neither the screen saver nor the session is still seen by the stacking keeper, whose
// panel never goes above a locker's full-screen window.
bool X11WindowServer::isScreenLocked() const { return lock_ != nullptr && lock_->isLocked(); }

}  // namespace quillon
