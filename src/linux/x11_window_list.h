#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "core/support/geometry.h"
#include "linux/x11_monitors.h"

namespace quillon {

class X11Connection;

// Window layers on X11. The window list speaks in the home platform's window levels, so
// the same rules (layer 0 is a normal window, a notch surface floats above it) hold on
// both; this is the one place that maps X11's stacking hints onto them:
//
//   desktop window (_NET_WM_WINDOW_TYPE_DESKTOP)      kX11DesktopLayer  (-1000)
//   _NET_WM_STATE_BELOW                               kX11BelowLayer    (-1)
//   normal managed window                             kX11NormalLayer   (0)
//   _NET_WM_STATE_ABOVE                               kX11AboveLayer    (3, "floating")
//   dock (_NET_WM_WINDOW_TYPE_DOCK)                   kX11DockLayer     (20)
//   override-redirect (no window manager involved)    kX11OverrideLayer (25, "status")
//
// The strongest hint wins: override-redirect over dock over above.
inline constexpr int kX11DesktopLayer = -1000;
inline constexpr int kX11BelowLayer = -1;
inline constexpr int kX11NormalLayer = 0;
inline constexpr int kX11AboveLayer = 3;
inline constexpr int kX11DockLayer = 20;
inline constexpr int kX11OverrideLayer = 25;

struct X11WindowHints {
  bool overrideRedirect = false;
  bool dock = false;
  bool desktop = false;
  bool above = false;
  bool below = false;
};
int x11WindowLayer(const X11WindowHints& hints);

// A viewable top-level window (a child of the root).
struct X11WindowInfo {
  std::uint32_t window = 0;         // the top-level's XID: the window number
  std::optional<std::int32_t> pid;  // see listX11Windows
  Rect rootBounds;                  // root coordinates, border included
  int layer = kX11NormalLayer;
  double alpha = 1.0;
  bool desktopElement = false;
  std::uint8_t depth = 0;
};

// Asked, before a reading sends its first request about a window, to have the server
// report later changes to it (an event mask for the window). What the reading then reads
// of that window cannot change without an event saying so (see X11WindowTracker).
using X11WatchWindow = std::function<void(std::uint32_t window, std::uint32_t eventMask)>;

// The properties a reading reads; a change to any other leaves it true.
bool x11WindowListReadsProperty(X11Connection& connection, std::uint32_t atom);

// Viewable top-level windows, front to back; none when the server has not answered by
// the deadline. The owner process comes from the X-Resource extension alone (the
// server's own record of the client's process, present for local clients); a window's
// _NET_WM_PID, which any client may set to anything, never names an owner.
std::optional<std::vector<X11WindowInfo>> listX11Windows(X11Connection& connection, X11Deadline deadline,
                                                         const X11WatchWindow& watch = {});

// The monitors and the window list as one reading: the monitors' request travels with
// the window tree's, so both cost the round trips of the list alone.
struct X11WindowSnapshot {
  std::vector<X11Monitor> monitors;
  std::vector<X11WindowInfo> windows;
};
std::optional<X11WindowSnapshot> readX11WindowSnapshot(X11Connection& connection, X11Deadline deadline,
                                                       const X11WatchWindow& watch = {});

// The owner process of one window, by the same rule; none also when the server does not
// answer by the deadline.
std::optional<std::int32_t> x11WindowPid(X11Connection& connection, std::uint32_t window, X11Deadline deadline);

}  // namespace quillon
