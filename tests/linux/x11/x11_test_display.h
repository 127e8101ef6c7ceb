#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/support/geometry.h"
#include "core/async/launch_clock.h"
#include "core/async/poll_main_loop.h"
#include "linux/x11_connection.h"

namespace quillon {

// What the X11 integration tests share: the adapters' connection attached to a real
// main loop, and a second connection of the test's own that plays other clients
// (plain windows, XTest pointer motion, a server grab).
class X11TestDisplay {
 public:
  X11TestDisplay();
  ~X11TestDisplay();

  X11Connection& adapters() { return *adapters_; }
  X11Connection& other() { return *other_; }
  PollMainLoop& loop() { return loop_; }

  struct WindowOptions {
    Rect bounds;
    std::uint32_t rgb = 0xffffff;
    bool overrideRedirect = false;
    const char* state = nullptr;  // an _NET_WM_STATE atom name
    const char* type = nullptr;   // an _NET_WM_WINDOW_TYPE atom name
    std::optional<double> opacity = std::nullopt;
    std::optional<std::uint32_t> netWmPid = std::nullopt;
  };
  // Creates and maps an opaque window on the test's connection; returns once the
  // server has mapped it.
  xcb_window_t createWindow(const WindowOptions& options);

  // Moves the pointer to root coordinates through XTest, as a user would.
  void movePointer(int x, int y);

 private:
  SystemClock clock_;
  PollMainLoop loop_{clock_};
  std::unique_ptr<X11Connection> adapters_;
  std::unique_ptr<X11Connection> other_;
};

}  // namespace quillon
