#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/support/geometry.h"

namespace quillon {

class X11Connection;
class X11PendingReply;
using X11Deadline = std::chrono::steady_clock::time_point;

// One RandR monitor. `rootFrame` is in root-window coordinates (top-left origin, y down).
struct X11Monitor {
  // The monitor's first output, which keeps its ID while the display stays connected;
  // the monitor's name atom for a monitor without outputs.
  std::uint32_t displayID = 0;
  Rect rootFrame;
  bool primary = false;
};

// Active monitors, the primary one first (see the .cpp for the rule), then in the
// server's order. Without RandR the whole root window is one monitor. None when the
// server does not answer by the deadline.
std::optional<std::vector<X11Monitor>> queryX11Monitors(X11Connection& connection, X11Deadline deadline);
// The same in two steps, so that the request can travel with others and its reply be
// read with theirs: one round trip for all of them.
X11PendingReply requestX11Monitors(X11Connection& connection);
std::optional<std::vector<X11Monitor>> readX11Monitors(X11Connection& connection, X11PendingReply& request,
                                                       X11Deadline deadline);

// The one crossing between root-window coordinates (top-left of the X screen) and the
// global space (top-left of the primary monitor): they differ by the primary monitor's
// origin, which is not (0, 0) when a monitor sits left of or above the primary one.
class X11RootSpace {
 public:
  explicit X11RootSpace(const std::vector<X11Monitor>& monitors);

  GlobalRect globalFromRoot(const Rect& root) const {
    return {root.x - origin_.x, root.y - origin_.y, root.width, root.height};
  }
  GlobalPoint globalFromRoot(Point root) const { return {root.x - origin_.x, root.y - origin_.y}; }
  Point rootFromGlobal(GlobalPoint global) const { return {global.x + origin_.x, global.y + origin_.y}; }
  Rect rootFromGlobal(const GlobalRect& global) const {
    return {global.x + origin_.x, global.y + origin_.y, global.width, global.height};
  }
  // Screen space flips about the primary monitor's bottom edge.
  ScreenRect screenFromRoot(const Rect& root) const;
  ScreenPoint screenFromRoot(Point root) const;
  Rect rootFromScreen(const ScreenRect& screen) const;

 private:
  Point origin_;
  double primaryHeight_ = 0;
};

}  // namespace quillon
