#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/async/main_loop.h"
#include "core/support/unique_fd.h"
#include "core/support/url.h"

namespace quillon {

// What a second start asks of the running instance before it exits: a user without a
// system tray starts Quillon again from the application menu to reach its windows.
enum class LaunchInstanceRequest { showSettings, showOnboarding };

// The running instance's end of a named pipe ".instance.requests" in the data directory
// (mode 0600, never followed through a link), read on the main loop. A request is one
// line ("settings" or "onboarding"); anything else is ignored, so a stray writer can do
// no more than open a window.
class LaunchInstanceRequests {
 public:
  static constexpr const char* pipeName = ".instance.requests";

  // None when the pipe cannot be made safely; the product then runs without it.
  static std::unique_ptr<LaunchInstanceRequests> listen(const Url& dataDirectory, MainLoop& loop,
                                                        std::function<void(LaunchInstanceRequest)> handler);
  // The second start's side: writes the request without waiting. False when no
  // instance listens (or the pipe is not a safe one).
  static bool send(const Url& dataDirectory, LaunchInstanceRequest request);
  // The request a line names, if any.
  static std::optional<LaunchInstanceRequest> parse(std::string_view line);

  ~LaunchInstanceRequests();
  LaunchInstanceRequests(const LaunchInstanceRequests&) = delete;
  LaunchInstanceRequests& operator=(const LaunchInstanceRequests&) = delete;

 private:
  LaunchInstanceRequests(MainLoop& loop, UniqueFd reader, UniqueFd keeper,
                         std::function<void(LaunchInstanceRequest)> handler);
  void readRequests();

  MainLoop& loop_;
  UniqueFd reader_;
  // A writer of our own keeps the pipe from reporting end-of-file, and so from being
  // readable for ever, once a second start closed its end.
  UniqueFd keeper_;
  std::function<void(LaunchInstanceRequest)> handler_;
  MainLoop::WatchId watch_ = 0;
  std::string pending_;
};

}  // namespace quillon
