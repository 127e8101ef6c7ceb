#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <vector>

#include "core/async/main_loop.h"
#include "core/async/task.h"
#include "core/async/timer_queue.h"
#include "manual_clock.h"

namespace quillon {

// A main loop for unit tests: nothing runs until the test runs it, timers fire only
// when the test advances the manual clock past them, and detached work runs inline.
class ManualMainLoop final : public MainLoop {
 public:
  explicit ManualMainLoop(ManualClock& clock) : clock_(clock) {}

  // Runs posted work and due timers until none is left; returns how many ran.
  std::size_t runUntilIdle();
  // Moves the clock forward, firing every timer on its due time in order.
  void advance(double seconds);

  std::size_t pendingTimerCount() const { return timers_.size(); }
  // Due time of the earliest timer, or a negative number when there is none.
  double nextTimerDue() const;
  // While held, detached work still runs inline but its completion waits for
  // `releaseDetachedCompletions`, so a test can act between a worker and its apply.
  void holdDetachedCompletions(bool hold) { holdCompletions_ = hold; }
  void releaseDetachedCompletions();

  // MainLoop:
  const Clock& clock() const override { return clock_; }
  void post(std::function<void()> work) override { posted_.push_back(std::move(work)); }
  TimerId startTimer(double delaySeconds, bool repeats, std::function<void()> fire) override {
    return timers_.start(clock_.uptime(), delaySeconds, repeats, std::move(fire));
  }
  void cancelTimer(TimerId id) override { timers_.cancel(id); }
  void runDetached(std::function<void()> work, std::function<void()> completion) override;
  // No descriptor is ever ready here; a watch only gets its identifier.
  WatchId watchReadable(int, std::function<void()>) override { return ++nextWatchId_; }
  void unwatch(WatchId) override {}

 private:
  bool runOne();

  ManualClock& clock_;
  std::deque<std::function<void()>> posted_;
  TimerQueue timers_;
  WatchId nextWatchId_ = 0;
  bool holdCompletions_ = false;
  std::vector<std::function<void()>> heldCompletions_;
};

// Spawns `task`, runs the loop until idle and returns the outcome; fails the test when
// the task is still suspended (waiting for time or an event the test did not supply).
template <class T>
std::optional<Result<T>> runTask(ManualMainLoop& loop, Task<T> task) {
  std::optional<Result<T>> outcome;
  auto handle = spawn<T>(loop, std::move(task), [&outcome](Result<T> result) { outcome.emplace(std::move(result)); });
  loop.runUntilIdle();
  return outcome;
}

}  // namespace quillon
