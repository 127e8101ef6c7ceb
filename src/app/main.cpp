#include <signal.h>
#include <sys/signalfd.h>

#include <cstdio>

#include "core/support/launch_clock.h"
#include "core/support/poll_main_loop.h"
#include "core/support/unique_fd.h"

// Runs the main loop until SIGTERM or SIGINT, then tears down and exits 0.
int main() {
  using namespace quillon;
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  // Blocked before any thread starts, so every thread inherits the mask and the signals
  // arrive only through the descriptor, on the main loop.
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  UniqueFd signalFd(signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK));

  SystemClock clock;
  PollMainLoop loop(clock);
  loop.watchReadable(signalFd.get(), [&] { loop.quit(); });
  loop.run();
  return 0;
}
