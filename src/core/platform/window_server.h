#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/async/task.h"
#include "core/support/geometry.h"

namespace quillon {

// One row of the on-screen window list. Fields are optional because the platform's
// list may omit any of them; callers decide what a missing field means.
struct WindowRow {
  std::optional<std::int32_t> ownerPID;
  std::optional<std::uint32_t> windowNumber;
  std::optional<GlobalRect> bounds;
  std::optional<int> layer;  // 0 for normal windows, higher for floating surfaces
  std::optional<double> alpha;
  std::optional<int> sharingState;  // 0 none, 1 read-only, 2 read-write
  friend bool operator==(const WindowRow&, const WindowRow&) = default;
};

class WindowServer {
 public:
  WindowServer() = default;
  WindowServer(const WindowServer&) = delete;
  WindowServer& operator=(const WindowServer&) = delete;
  virtual ~WindowServer() = default;

  // On-screen windows, front to back. `excludeDesktopElements` leaves out the desktop
  // background and icons.
  virtual std::vector<WindowRow> onScreenWindows(bool excludeDesktopElements) const = 0;
  // The same list for a caller that can wait (a capture and the checks around it). The
  // platform may read it away from the main thread, so a window server that is slow to
  // answer holds the awaiting task, never the main loop; cancelling that task may end the
  // read early with an empty list.
  virtual Task<std::vector<WindowRow>> readOnScreenWindows(bool excludeDesktopElements) const = 0;
  virtual bool isScreenLocked() const = 0;
};

}  // namespace quillon
