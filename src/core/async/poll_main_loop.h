#pragma once

#include <functional>
#include <map>
#include <memory>

#include "core/async/main_loop.h"
#include "core/async/timer_queue.h"

namespace quillon {

// A real main loop on poll(2), for the command-line start-up path and for integration
// tests that need real time without a desktop. The desktop build uses the Qt loop.
class PollMainLoop final : public MainLoop {
 public:
  explicit PollMainLoop(const Clock& clock);
  ~PollMainLoop() override;

  // Runs until quit() is called (also when it was called before run()).
  void run();
  // Runs until `done` returns true (checked after every work item) or `timeoutSeconds`
  // of uptime pass; returns whether `done` became true.
  bool runUntil(const std::function<bool()>& done, double timeoutSeconds);
  // Safe from any thread and from signal-free contexts.
  void quit();

  // MainLoop:
  const Clock& clock() const override { return clock_; }
  void post(std::function<void()> work) override;
  TimerId startTimer(double delaySeconds, bool repeats, std::function<void()> fire) override;
  void cancelTimer(TimerId id) override;
  void runDetached(std::function<void()> work, std::function<void()> completion) override;
  WatchId watchReadable(int fd, std::function<void()> ready) override;
  void unwatch(WatchId id) override;

 private:
  struct Shared;
  struct Watch {
    int fd;
    std::function<void()> ready;
  };

  bool runOnce(double maximumWait);

  const Clock& clock_;
  std::shared_ptr<Shared> shared_;
  TimerQueue timers_;
  std::map<WatchId, Watch> watches_;
  WatchId nextWatchId_ = 0;
  bool quitRequested_ = false;
};

}  // namespace quillon
