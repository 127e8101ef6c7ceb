#include "linux/x11_window_server.h"

#include "linux/x11_connection.h"
#include "linux/x11_monitors.h"
#include "linux/x11_screen_lock.h"
#include "linux/x11_window_list.h"
#include "linux/x11_worker_connection.h"

namespace quillon {

X11WindowServer::X11WindowServer(X11Connection& connection, const X11ScreenLock* lock)
    : connection_(connection), lock_(lock) {}

namespace {

// One deadline for the whole list: a server that stalls (another client grabbed it)
// yields no rows rather than a frozen caller.
std::vector<WindowRow> rowsOf(X11Connection& connection, bool excludeDesktopElements, X11Deadline deadline) {
  std::vector<WindowRow> rows;
  if (connection.hasError()) return rows;
  const auto monitors = queryX11Monitors(connection, deadline);
  if (!monitors) return rows;
  const auto windows = listX11Windows(connection, deadline);
  if (!windows) return rows;
  const X11RootSpace space(*monitors);
  for (const auto& window : *windows) {
    if (excludeDesktopElements && window.desktopElement) continue;
    WindowRow row;
    row.ownerPID = window.pid;
    row.windowNumber = window.window;
    row.bounds = space.globalFromRoot(window.rootBounds);
    row.layer = window.layer;
    row.alpha = window.alpha;
    rows.push_back(row);
  }
  return rows;
}

}  // namespace

std::vector<WindowRow> X11WindowServer::onScreenWindows(bool excludeDesktopElements) const {
  return rowsOf(connection_, excludeDesktopElements, x11DeadlineAfter(kX11WindowListBound));
}

Task<std::vector<WindowRow>> X11WindowServer::readOnScreenWindows(bool excludeDesktopElements) const {
  if (!worker_) co_return onScreenWindows(excludeDesktopElements);
  std::function<std::vector<WindowRow>(X11Connection&, X11Deadline)> read =
      [excludeDesktopElements](X11Connection& connection, X11Deadline deadline) {
        return rowsOf(connection, excludeDesktopElements, deadline);
      };
  // A list given up on is an empty one, as on the main connection.
  std::function<void()> stopped = [] { throw CancellationError{}; };
  std::vector<WindowRow> rows;
  try {
    auto reading = worker_->run<std::vector<WindowRow>>(std::move(read), std::move(stopped));
    rows = co_await std::move(reading);
  } catch (const CancellationError&) {
  }
  co_return rows;
}

// X11 has no session lock of its own (see X11ScreenLock); a locker that reports through
// neither the screen saver nor the session is still seen by the stacking keeper, whose
// panel never goes above a locker's full-screen window.
bool X11WindowServer::isScreenLocked() const { return lock_ != nullptr && lock_->isLocked(); }

}  // namespace quillon
