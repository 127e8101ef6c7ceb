#pragma once

#include <vector>

#include "core/platform/launch_window_server.h"

namespace quillon {

class X11Connection;
class X11ScreenLock;

// The window list from the X server's stacking order. Layers follow the table in
// x11_window_list.h; the sharing state is absent because X11 has no such notion.
class X11WindowServer final : public LaunchWindowServer {
 public:
  // `lock`, when given, must outlive the window server; without it the screen never
  // counts as locked.
  explicit X11WindowServer(X11Connection& connection, const X11ScreenLock* lock = nullptr);

  // LaunchWindowServer:
  std::vector<LaunchWindowRow> onScreenWindows(bool excludeDesktopElements) const override;
  bool isScreenLocked() const override;

 private:
  X11Connection& connection_;
  const X11ScreenLock* lock_;
};

}  // namespace quillon
