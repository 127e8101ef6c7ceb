#pragma once

#include <memory>
#include <vector>

#include "core/platform/window_server.h"

namespace quillon {

class X11Connection;
class X11ScreenLock;
class X11WorkerConnection;

// The window list from the X server's stacking order. Layers follow the table in
// x11_window_list.h; the sharing state is absent because X11 has no such notion.
class X11WindowServer final : public WindowServer {
 public:
  // `lock`, when given, must outlive the window server; without it the screen never
  // counts as locked.
  explicit X11WindowServer(X11Connection& connection, const X11ScreenLock* lock = nullptr);

  // From now on `readOnScreenWindows` reads the list over `worker` (the capture's), so
  // a capture's window lists share its connection, its one time limit and its
  // cancellation; until then, and without one, it reads on the main connection.
  void readOffMainThread(std::shared_ptr<X11WorkerConnection> worker) { worker_ = std::move(worker); }

  // WindowServer:
  std::vector<WindowRow> onScreenWindows(bool excludeDesktopElements) const override;
  Task<std::vector<WindowRow>> readOnScreenWindows(bool excludeDesktopElements) const override;
  bool isScreenLocked() const override;

 private:
  X11Connection& connection_;
  const X11ScreenLock* lock_;
  std::shared_ptr<X11WorkerConnection> worker_;
};

}  // namespace quillon
