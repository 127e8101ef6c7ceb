#include "core/async/timer_queue.h"

#include <algorithm>
#include <cmath>

namespace quillon {

TimerQueue::TimerId TimerQueue::start(double now, double delaySeconds, bool repeats, std::function<void()> fire) {
  const double delay = std::isfinite(delaySeconds) ? std::max(delaySeconds, 0.0) : 0.0;
  const TimerId id = ++nextId_;
  const double interval = repeats ? std::max(delay, minimumRepeatInterval) : 0.0;
  timers_.emplace(id, Entry{{}, interval, std::make_shared<std::function<void()>>(std::move(fire))});
  schedule(id, now + delay);
  return id;
}

void TimerQueue::schedule(TimerId id, double due) {
  auto& timer = timers_.at(id);
  timer.key = Key{due, nextSequence_++};
  order_.emplace(timer.key, id);
}

void TimerQueue::cancel(TimerId id) {
  const auto timer = timers_.find(id);
  if (timer == timers_.end()) return;
  order_.erase(timer->second.key);
  timers_.erase(timer);
}

bool TimerQueue::fireNext(double now) {
  if (order_.empty() || order_.begin()->first.due > now) return false;
  const auto [key, id] = *order_.begin();
  order_.erase(order_.begin());
  auto& timer = timers_.at(id);
  const auto fire = timer.fire;
  if (timer.interval > 0) {
    double due = key.due + timer.interval;
    if (due <= now) {
      // Skips the grid times already missed; the loop guards against rounding.
      due += std::floor((now - due) / timer.interval) * timer.interval;
      while (due <= now) due += timer.interval;
    }
    schedule(id, due);
  } else {
    timers_.erase(id);
  }
  (*fire)();
  return true;
}

std::optional<double> TimerQueue::nextDue() const {
  if (order_.empty()) return std::nullopt;
  return order_.begin()->first.due;
}

}  // namespace quillon
