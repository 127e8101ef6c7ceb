#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/async/clock.h"
#include "core/async/poll_main_loop.h"
#include "core/async/task.h"
#include "core/platform/window_server.h"
#include "core/support/geometry.h"
#include "linux/x11_connection.h"
#include "support/fake_log_sink.h"
#include "support/scoped_environment.h"

namespace quillon {

// What the X11 integration tests share: the adapters' connection attached to a real
// main loop, and a second connection of the test's own that plays other clients
// (plain windows, XTest pointer motion, a server grab).
//
// By default both talk to the server the test runs on. With server arguments the display
// starts a server of its own through the same harness (scripts/with-x), the arguments
// added to the usual ones (`-extension XTEST`, `-listen tcp`), and points DISPLAY at it
// for as long as it lives, so sample apps started meanwhile use it too.
class X11TestDisplay {
 public:
  explicit X11TestDisplay(const std::vector<std::string>& serverArguments = {});
  ~X11TestDisplay();

  X11Connection& adapters() { return *adapters_; }
  X11Connection& other() { return *other_; }
  PollMainLoop& loop() { return loop_; }
  // What the adapters' connection logged when it opened.
  const FakeLogSink& log() const { return log_; }
  // ":N", the display the connections use.
  const std::string& name() const { return name_; }

  struct WindowOptions {
    Rect bounds;
    std::uint32_t rgb = 0xffffff;
    bool overrideRedirect = false;
    const char* state = nullptr;  // an _NET_WM_STATE atom name
    const char* type = nullptr;   // an _NET_WM_WINDOW_TYPE atom name
    std::optional<double> opacity = std::nullopt;
    std::optional<std::uint32_t> netWmPid = std::nullopt;
    X11Connection* client = nullptr;  // the creating client; the test's own when null
  };
  // Creates and maps an opaque window; returns once the server has mapped it.
  xcb_window_t createWindow(const WindowOptions& options);

  // Moves the pointer to root coordinates through XTest, as a user would.
  void movePointer(int x, int y);

  // Runs `task` on the loop until it ends; none when it has not ended within 20 s.
  template <class T>
  std::optional<Result<T>> finish(Task<T> task) {
    std::optional<Result<T>> outcome;
    auto handle = spawn<T>(loop_, std::move(task), [&](Result<T> result) { outcome.emplace(std::move(result)); });
    loop_.runUntil([&] { return outcome.has_value(); }, 20.0);
    return outcome;
  }

 private:
  class Server;
  std::unique_ptr<Server> server_;
  std::optional<ScopedEnvironment> display_;
  std::string name_;
  FakeLogSink log_;
  SystemClock clock_;
  PollMainLoop loop_{clock_};
  std::unique_ptr<X11Connection> adapters_;
  std::unique_ptr<X11Connection> other_;
};

// The row listing `window`, or null.
const WindowRow* rowOf(const std::vector<WindowRow>& rows, std::uint32_t window);

}  // namespace quillon
