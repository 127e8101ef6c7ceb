#include "desktop/qt_main_loop.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <vector>

#include <QCoreApplication>
#include <QThread>

#include "core/async/clock.h"
#include "qt_spin.h"

namespace quillon {
namespace {

struct QtMainLoopTest : ::testing::Test {
  SystemClock clock;
  QtMainLoop loop{clock};
};

TEST_F(QtMainLoopTest, PostedWorkRunsInOrderOnTheMainThreadFromAnyThread) {
  std::vector<int> order;
  std::atomic<bool> onMain{true};
  const auto mainThread = QThread::currentThread();
  loop.post([&] { order.push_back(1); });
  std::thread worker([&] {
    loop.post([&] {
      onMain = onMain && QThread::currentThread() == mainThread;
      order.push_back(2);
    });
  });
  worker.join();
  loop.post([&] { order.push_back(3); });
  ASSERT_TRUE(spinUntil([&] { return order.size() == 3; }));
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
  EXPECT_TRUE(onMain);
}

TEST_F(QtMainLoopTest, TimersFireOnceRepeatOrNotAtAllWhenCancelled) {
  int once = 0;
  int repeated = 0;
  int cancelled = 0;
  loop.startTimer(0.01, false, [&] { ++once; });
  const auto dropped = loop.startTimer(0.01, false, [&] { ++cancelled; });
  loop.cancelTimer(dropped);
  MainLoop::TimerId repeating = 0;
  repeating = loop.startTimer(0.005, true, [&] {
    // Cancelling itself from inside its own callback must be safe.
    if (++repeated == 3) loop.cancelTimer(repeating);
  });
  // A later timer marks the point by which the earlier ones have had their turn.
  bool late = false;
  loop.startTimer(0.2, false, [&] { late = true; });
  ASSERT_TRUE(spinUntil([&] { return late; }));
  EXPECT_EQ(once, 1);
  EXPECT_EQ(repeated, 3);
  EXPECT_EQ(cancelled, 0);
  loop.cancelTimer(repeating);  // unknown by now: nothing happens
  loop.cancelTimer(9999);
}

TEST_F(QtMainLoopTest, DetachedWorkRunsOffTheMainThreadAndCompletesOnIt) {
  const auto mainThread = QThread::currentThread();
  std::atomic<bool> workOffMain{false};
  bool completionOnMain = false;
  bool completed = false;
  loop.runDetached([&] { workOffMain = QThread::currentThread() != mainThread; },
                   [&] {
                     completionOnMain = QThread::currentThread() == mainThread;
                     completed = true;
                   });
  ASSERT_TRUE(spinUntil([&] { return completed; }));
  EXPECT_TRUE(workOffMain);
  EXPECT_TRUE(completionOnMain);
}

TEST_F(QtMainLoopTest, ReadableDescriptorIsReportedUntilUnwatched) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  int calls = 0;
  const auto watch = loop.watchReadable(fds[0], [&] {
    char byte;
    if (::read(fds[0], &byte, 1) == 1) ++calls;
  });
  ASSERT_EQ(::write(fds[1], "x", 1), 1);
  ASSERT_TRUE(spinUntil([&] { return calls == 1; }));
  loop.unwatch(watch);
  ASSERT_EQ(::write(fds[1], "y", 1), 1);
  bool flushed = false;
  loop.startTimer(0.1, false, [&] { flushed = true; });
  ASSERT_TRUE(spinUntil([&] { return flushed; }));
  EXPECT_EQ(calls, 1);
  ::close(fds[0]);
  ::close(fds[1]);
}

TEST(QtMainLoop, CompletionOfWorkStillRunningWhenTheLoopEndsIsDropped) {
  SystemClock clock;
  std::atomic<bool> completed{false};
  {
    QtMainLoop loop(clock);
    loop.runDetached([] { std::this_thread::sleep_for(std::chrono::milliseconds(20)); }, [&] { completed = true; });
  }
  QCoreApplication::processEvents();
  EXPECT_FALSE(completed);
}

}  // namespace
}  // namespace quillon
