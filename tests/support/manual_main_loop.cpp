#include "manual_main_loop.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace quillon {

LaunchMainLoop::TimerId ManualMainLoop::startTimer(double delaySeconds, bool repeats, std::function<void()> fire) {
  const double delay = std::isfinite(delaySeconds) ? std::max(delaySeconds, 0.0) : 0.0;
  timers_.emplace(++nextTimerId_, Timer{clock_.uptime() + delay, delay, repeats, std::move(fire)});
  return nextTimerId_;
}

void ManualMainLoop::runDetached(std::function<void()> work, std::function<void()> completion) {
  work();
  post(std::move(completion));
}

LaunchMainLoop::WatchId ManualMainLoop::watchReadable(int fd, std::function<void()> ready) {
  watches_.emplace(++nextWatchId_, std::make_pair(fd, std::move(ready)));
  return nextWatchId_;
}

void ManualMainLoop::notifyReadable(int fd) {
  std::vector<std::function<void()>> ready;
  for (const auto& [id, watch] : watches_) {
    if (watch.first == fd) ready.push_back(watch.second);
  }
  for (auto& callback : ready) callback();
}

double ManualMainLoop::nextTimerDue() const {
  double due = -1;
  for (const auto& [id, timer] : timers_) {
    if (due < 0 || timer.due < due) due = timer.due;
  }
  return due;
}

bool ManualMainLoop::runOne() {
  if (!posted_.empty()) {
    auto work = std::move(posted_.front());
    posted_.pop_front();
    work();
    return true;
  }
  // Earliest due timer first; equal due times fire in the order they were started.
  auto next = timers_.end();
  for (auto it = timers_.begin(); it != timers_.end(); ++it) {
    if (it->second.due <= clock_.uptime() && (next == timers_.end() || it->second.due < next->second.due)) next = it;
  }
  if (next == timers_.end()) return false;
  auto fire = next->second.fire;
  if (next->second.repeats && next->second.interval > 0) {
    next->second.due += next->second.interval;
  } else {
    timers_.erase(next);
  }
  fire();
  return true;
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
