#pragma once

#include <cstdint>
#include <functional>

namespace quillon {

class Clock;

// The main thread's run loop. Everything but pixel analysis and trace writes runs on
// it; coroutines resume on it. Production binds it to the desktop event loop, tests to
// a manual loop driven by a manual clock.
class MainLoop {
 public:
  using TimerId = std::uint64_t;
  using WatchId = std::uint64_t;

  MainLoop() = default;
  MainLoop(const MainLoop&) = delete;
  MainLoop& operator=(const MainLoop&) = delete;
  virtual ~MainLoop() = default;

  // The clock the loop's timers are measured on.
  virtual const Clock& clock() const = 0;

  // Runs `work` on the main thread after the current work item. Safe from any thread.
  virtual void post(std::function<void()> work) = 0;

  // Runs `fire` after `delaySeconds` (clamped at 0), once or every interval until
  // cancelled. Ids are never reused; cancelling an unknown or fired id does nothing.
  // A repeating timer that fell behind fires once for the missed ticks, never in a
  // burst.
  virtual TimerId startTimer(double delaySeconds, bool repeats, std::function<void()> fire) = 0;
  virtual void cancelTimer(TimerId id) = 0;

  // Runs `work` off the main thread, then `completion` on the main thread.
  virtual void runDetached(std::function<void()> work, std::function<void()> completion) = 0;

  // Calls `ready` on the main thread whenever `fd` is readable.
  virtual WatchId watchReadable(int fd, std::function<void()> ready) = 0;
  virtual void unwatch(WatchId id) = 0;
};

// Owns one timer; destroying or resetting it cancels the timer, so a timer can never
// call back into an owner that is gone.
class Timer {
 public:
  Timer() = default;
  Timer(MainLoop& loop, double delaySeconds, bool repeats, std::function<void()> fire)
      : loop_(&loop), id_(loop.startTimer(delaySeconds, repeats, std::move(fire))) {}
  Timer(Timer&& other) noexcept : loop_(other.loop_), id_(other.id_) { other.id_ = 0; }
  Timer& operator=(Timer&& other) noexcept {
    if (this != &other) {
      reset();
      loop_ = other.loop_;
      id_ = other.id_;
      other.id_ = 0;
    }
    return *this;
  }
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;
  ~Timer() { reset(); }

  bool isActive() const { return id_ != 0; }
  void reset() {
    if (id_ != 0) loop_->cancelTimer(id_);
    id_ = 0;
  }

 private:
  MainLoop* loop_ = nullptr;
  MainLoop::TimerId id_ = 0;
};

}  // namespace quillon
