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

std::vector<WindowRow> rowsOf(const X11WindowSnapshot& snapshot, bool excludeDesktopElements) {
  std::vector<WindowRow> rows;
  const X11RootSpace space(snapshot.monitors);
  for (const auto& window : snapshot.windows) {
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

// One deadline for the whole list: a server that stalls (another client grabbed it)
// yields no rows rather than a frozen caller.
std::vector<WindowRow> X11WindowServer::onScreenWindows(bool excludeDesktopElements) const {
  const auto snapshot = readX11WindowSnapshot(connection_, x11DeadlineAfter(kX11WindowListBound));
  return snapshot ? rowsOf(*snapshot, excludeDesktopElements) : std::vector<WindowRow>{};
}

Task<std::vector<WindowRow>> X11WindowServer::readOnScreenWindows(bool excludeDesktopElements) const {
  if (!worker_) co_return onScreenWindows(excludeDesktopElements);
  // A list given up on is an empty one, as on the main connection.
  std::optional<X11WindowSnapshot> snapshot;
  try {
    auto reading = worker_->readWindows([] { throw CancellationError{}; });
    snapshot = co_await std::move(reading);
  } catch (const CancellationError&) {
  }
  co_return snapshot ? rowsOf(*snapshot, excludeDesktopElements) : std::vector<WindowRow>{};
}

// X11 has no session lock of its own (see X11ScreenLock); a locker that reports through
// neither the screen saver nor the session is still seen by the stacking keeper, whose
// panel never goes above a locker's full-screen window.
bool X11WindowServer::isScreenLocked() const { return lock_ != nullptr && lock_->isLocked(); }

}  // namespace quillon
