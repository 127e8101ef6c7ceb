// The real main loop on a real clock. Tests wait for the events themselves under a
// generous deadline and assert order and delivery, never durations.

#include "core/async/poll_main_loop.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "core/async/clock.h"
#include "core/support/unique_fd.h"

namespace quillon {
namespace {

constexpr double deadline = 30.0;

struct PollMainLoopTest : ::testing::Test {
  SystemClock clock;
  PollMainLoop loop{clock};
};

TEST_F(PollMainLoopTest, AQuitBeforeRunEndsTheRunAtOnce) {
  loop.quit();
  loop.run();  // would block for good if the quit were lost
  bool ran = false;
  loop.post([&] {
    ran = true;
    loop.quit();
  });
  loop.run();  // and the next run is not ended by the old quit
  EXPECT_TRUE(ran);
}

// The thread starts from inside the run, so its post reaches a loop that is running and
// has nothing else to do. A lost wake-up leaves the loop asleep until the safety net.
TEST_F(PollMainLoopTest, WorkPostedFromAnotherThreadWakesABlockedLoop) {
  std::thread poster;
  std::thread::id ranOn;
  bool wokenByPost = false;
  const Timer safetyNet(loop, deadline, false, [this] { loop.quit(); });
  loop.post([&] {
    poster = std::thread([&] {
      loop.post([&] {
        ranOn = std::this_thread::get_id();
        wokenByPost = true;
        loop.quit();
      });
    });
  });
  loop.run();
  poster.join();
  EXPECT_TRUE(wokenByPost) << "the loop slept through work posted from another thread";
  EXPECT_EQ(std::this_thread::get_id(), ranOn);
}

// The order of timers is the queue's; this is about the loop sleeping until one is due.
TEST_F(PollMainLoopTest, DueTimersWakeABlockedLoop) {
  int ticks = 0;
  const Timer repeating(loop, 0.001, true, [&] {
    if (++ticks == 3) loop.quit();
  });
  loop.run();  // would block for good if poll() ignored the timers
  EXPECT_EQ(3, ticks);
}

TEST_F(PollMainLoopTest, ReadableDescriptorsAreReportedUntilUnwatched) {
  int fds[2];
  ASSERT_EQ(0, ::pipe(fds));
  for (int fd : fds) ASSERT_EQ(0, ::fcntl(fd, F_SETFL, O_NONBLOCK));
  UniqueFd readEnd(fds[0]);
  UniqueFd writeEnd(fds[1]);
  int reports = 0;
  MainLoop::WatchId id = 0;
  id = loop.watchReadable(readEnd.get(), [&] {
    char byte;
    while (::read(readEnd.get(), &byte, 1) == 1) {
    }
    ++reports;
    loop.unwatch(id);
  });
  ASSERT_EQ(1, ::write(writeEnd.get(), "x", 1));
  ASSERT_TRUE(loop.runUntil([&] { return reports == 1; }, deadline));
  ASSERT_EQ(1, ::write(writeEnd.get(), "y", 1));
  bool drained = false;
  loop.post([&] { drained = true; });
  ASSERT_TRUE(loop.runUntil([&] { return drained; }, deadline));
  EXPECT_EQ(1, reports);
}

// Signals a promise when destroyed, to see where a closure ends its life.
struct Farewell {
  std::shared_ptr<std::promise<void>> gone = std::make_shared<std::promise<void>>();
  std::function<void()> onDestroy;
  ~Farewell() {
    if (onDestroy) onDestroy();
    gone->set_value();
  }
};

TEST(PollMainLoop, DroppingPendingWorkThatPostsAgainDoesNotDeadlock) {
  SystemClock clock;
  auto loop = std::make_unique<PollMainLoop>(clock);
  auto farewell = std::make_shared<Farewell>();
  auto* raw = loop.get();
  farewell->onDestroy = [raw] { raw->post([] {}); };
  auto gone = farewell->gone->get_future();
  loop->post([farewell = std::move(farewell)] {});
  loop.reset();  // would hang on the loop's own mutex
  EXPECT_EQ(std::future_status::ready, gone.wait_for(std::chrono::seconds(0)));
}

TEST(PollMainLoop, DetachedWorkFinishingAfterTheLoopIsGoneIsDropped) {
  SystemClock clock;
  auto loop = std::make_unique<PollMainLoop>(clock);
  std::promise<void> release;
  auto released = release.get_future().share();
  auto farewell = std::make_shared<Farewell>();
  auto gone = farewell->gone->get_future();
  bool completed = false;
  loop->runDetached([released] { released.wait(); },
                    [farewell = std::move(farewell), &completed] { completed = true; });
  loop.reset();
  release.set_value();
  // The completion is dropped by the worker thread, never run.
  ASSERT_EQ(std::future_status::ready, gone.wait_for(std::chrono::seconds(30)));
  EXPECT_FALSE(completed);
}

}  // namespace
}  // namespace quillon
