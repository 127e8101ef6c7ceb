#include "core/async/timer_queue.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace quillon {
namespace {

struct TimerQueueTest : ::testing::Test {
  TimerQueue queue;
  std::string fired;
  TimerQueue::TimerId add(double now, double delay, char name, bool repeats = false) {
    return queue.start(now, delay, repeats, [this, name] { fired += name; });
  }
  void fireAll(double now) {
    while (queue.fireNext(now)) {
    }
  }
};

TEST_F(TimerQueueTest, FiresByDueTimeThenInSchedulingOrder) {
  add(0, 3, 'd');
  add(0, 1, 'a');
  add(0, 2, 'b');
  add(0, 2, 'c');  // same instant as 'b': after it
  queue.cancel(add(0, 0, 'x'));
  queue.cancel(999);
  add(0, -1, 'n');  // clamped to now
  add(0, std::numeric_limits<double>::quiet_NaN(), 'm');
  fireAll(1.999);
  EXPECT_EQ("nma", fired);
  EXPECT_EQ(2.0, queue.nextDue());
  fireAll(10);
  EXPECT_EQ("nmabcd", fired);
  EXPECT_FALSE(queue.nextDue());
}

TEST_F(TimerQueueTest, ARepeatingTimerThatFellBehindFiresOnceAndStaysOnItsGrid) {
  const struct {
    double interval, now, nextDue;
  } rows[] = {
      {1.0, 1.0, 2.0},   // on time
      {1.0, 1.25, 2.0},  // a little late: no drift
      {1.0, 3.5, 4.0},   // missed 2 and 3: one call, then 4
      {1.0, 3.0, 4.0},   // exactly on a missed grid time
      {0.0, 0.0, TimerQueue::minimumRepeatInterval},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.now);
    TimerQueue timers;
    int calls = 0;
    timers.start(0, row.interval, true, [&] { ++calls; });
    while (timers.fireNext(row.now)) {
    }
    EXPECT_EQ(1, calls);
    EXPECT_DOUBLE_EQ(row.nextDue, *timers.nextDue());
  }
}

TEST_F(TimerQueueTest, TimersMayCancelAndStartTimersWhileFiring) {
  TimerQueue::TimerId self = 0, victim = 0;
  self = queue.start(0, 1, true, [&] {
    fired += 's';
    queue.cancel(self);
    queue.cancel(victim);
    add(1, 0, 'n');
  });
  victim = add(0, 1, 'v');
  fireAll(5);
  EXPECT_EQ("sn", fired);
  EXPECT_EQ(0u, queue.size());
}

}  // namespace
}  // namespace quillon
