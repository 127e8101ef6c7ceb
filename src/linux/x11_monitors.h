#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/support/geometry.h"

namespace quillon {

class X11Connection;

// One RandR monitor. `rootFrame` is in root-window coordinates (top-left origin, y down).
struct X11Monitor {
  // The monitor's first output, which keeps its ID while the display stays connected;
  // the monitor's name atom for a monitor without outputs.
  std::uint32_t displayID = 0;
  Rect rootFrame;
  bool primary = false;
};

// Active monitors, the primary one first (see the .cpp for the rule), then in the
// server's order. Without RandR the whole root window is one monitor.
std::vector<X11Monitor> queryX11Monitors(X11Connection& connection);
// The same, but none when the server does not answer within the time-out.
std::optional<std::vector<X11Monitor>> queryX11MonitorsWithin(X11Connection& connection, double timeoutSeconds);

// Root-window coordinates minus this origin are Quartz global coordinates: the origin
// is the top-left corner of the primary monitor.
Point quartzOriginOf(const std::vector<X11Monitor>& monitors);

}  // namespace quillon
