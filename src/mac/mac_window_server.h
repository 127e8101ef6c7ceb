#pragma once

#include <vector>

#include "core/platform/launch_window_server.h"

namespace quillon {

// The window server's list of on-screen windows, front to back, as Quartz reports each
// row, and the session's lock state.
class MacWindowServer final : public LaunchWindowServer {
 public:
  // LaunchWindowServer:
  std::vector<LaunchWindowRow> onScreenWindows(bool excludeDesktopElements) const override;
  // Read where it is asked for, on the caller's thread: the list is not yet read off
  // the main thread on macOS.
  Task<std::vector<LaunchWindowRow>> readOnScreenWindows(bool excludeDesktopElements) const override;
  // The current session dictionary's "CGSSessionScreenIsLocked"; an unreadable
  // dictionary counts as locked, since nothing may be shown over a lock screen.
  bool isScreenLocked() const override;
};

}  // namespace quillon
