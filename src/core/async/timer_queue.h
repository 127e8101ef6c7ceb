#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>

#include "core/async/main_loop.h"

namespace quillon {

// The timers of one main loop, kept apart from how the loop waits, so the production
// loop and the manual loop of the tests fire the same timers in the same order.
//
// Order: earliest due time first; timers due at the same instant fire in the order they
// were (re)scheduled. A repeating timer stays on its grid: its next due time is its
// previous due time plus the interval. One that fell behind (the loop was busy for
// several intervals) fires once for the missed stretch and resumes at the first grid
// time after now; catching up with a burst of calls would only repeat work that
// describes the same moment. A repeating interval below 0.1 ms counts as 0.1 ms, so a
// zero interval cannot starve the loop.
//
// A timer may cancel itself or any other timer, or start new ones, while it fires.
class TimerQueue {
 public:
  using TimerId = MainLoop::TimerId;
  static constexpr double minimumRepeatInterval = 0.0001;

  TimerQueue() = default;
  TimerQueue(const TimerQueue&) = delete;
  TimerQueue& operator=(const TimerQueue&) = delete;

  // Schedules `fire` at `now` + `delaySeconds` (negative or not finite: at `now`).
  // Ids start at 1 and are never reused.
  TimerId start(double now, double delaySeconds, bool repeats, std::function<void()> fire);
  // Unknown, fired and already cancelled ids do nothing.
  void cancel(TimerId id);

  // Fires the first timer due at `now`; false when none is due.
  bool fireNext(double now);
  std::optional<double> nextDue() const;
  std::size_t size() const { return timers_.size(); }

 private:
  struct Key {
    double due;
    std::uint64_t sequence;
    friend bool operator<(const Key& a, const Key& b) {
      return a.due < b.due || (a.due == b.due && a.sequence < b.sequence);
    }
  };
  struct Entry {
    Key key;
    double interval;  // 0 for a timer that fires once
    // Shared so that a timer cancelled while it fires keeps its callback alive until
    // the call returns.
    std::shared_ptr<std::function<void()>> fire;
  };
  void schedule(TimerId id, double due);

  std::map<TimerId, Entry> timers_;
  std::map<Key, TimerId> order_;
  TimerId nextId_ = 0;
  std::uint64_t nextSequence_ = 0;
};

}  // namespace quillon
