#include "manual_main_loop.h"

#include <stdexcept>
#include <utility>

namespace quillon {

void ManualMainLoop::runDetached(std::function<void()> work, std::function<void()> completion) {
  work();
  if (holdCompletions_) {
    heldCompletions_.push_back(std::move(completion));
  } else {
    post(std::move(completion));
  }
}

void ManualMainLoop::releaseDetachedCompletions() {
  for (auto& completion : std::exchange(heldCompletions_, {})) post(std::move(completion));
}

double ManualMainLoop::nextTimerDue() const { return timers_.nextDue().value_or(-1.0); }

bool ManualMainLoop::runOne() {
  if (!posted_.empty()) {
    auto work = std::move(posted_.front());
    posted_.pop_front();
    work();
    return true;
  }
  return timers_.fireNext(clock_.uptime());
}

std::size_t ManualMainLoop::runUntilIdle() {
  std::size_t count = 0;
  while (runOne()) {
    if (++count > 1'000'000) throw std::runtime_error("ManualMainLoop: work keeps posting work");
  }
  return count;
}

void ManualMainLoop::advance(double seconds) {
  const double target = clock_.uptime() + seconds;
  runUntilIdle();
  while (true) {
    const double due = nextTimerDue();
    if (due < 0 || due > target) break;
    if (due > clock_.uptime()) clock_.setUptime(due);
    runUntilIdle();
  }
  clock_.setUptime(target);
  runUntilIdle();
}

}  // namespace quillon
