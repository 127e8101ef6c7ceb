#pragma once

#include <vector>

#include "core/platform/window_server.h"

namespace quillon {

// The window server's list of on-screen windows, front to back, as Quartz reports each
// row, and the session's lock state.
class MacWindowServer final : public WindowServer {
 public:
  // WindowServer:
  std::vector<WindowRow> onScreenWindows(bool excludeDesktopElements) const override;
  // Read where it is asked for, on the caller's thread: the list is not yet read off
  // the main thread on macOS.
  Task<std::vector<WindowRow>> readOnScreenWindows(bool excludeDesktopElements) const override;
  // The current session dictionary's "CGSSessionScreenIsLocked"; an unreadable
  // dictionary counts as locked, since nothing may be shown over a lock screen.
  bool isScreenLocked() const override;
};

}  // namespace quillon
