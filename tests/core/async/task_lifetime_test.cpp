// Step-by-step tests of Task<T>: the test drives every suspension point from a manual
// loop and counts constructions and destructions of objects living in coroutine
// frames, so a leaked or doubly destroyed frame shows up as a count that does not
// return to zero.

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <stdexcept>
#include <thread>
#include <vector>

#include "core/async/poll_main_loop.h"
#include "core/async/task.h"
#include "support/manual_main_loop.h"

namespace quillon {
namespace {

struct Counted {
  static inline std::atomic<int> alive{0};
  Counted() { ++alive; }
  Counted(const Counted&) { ++alive; }
  Counted(Counted&&) noexcept { ++alive; }
  Counted& operator=(const Counted&) = default;
  Counted& operator=(Counted&&) noexcept = default;
  ~Counted() { --alive; }
};

struct TaskLifetimeTest : ::testing::Test {
  ManualClock clock;
  ManualMainLoop loop{clock};
  std::vector<int> reached;
  std::optional<Completion<int>> pendingCallback;
  std::optional<Result<int>> outcome;
  TaskHandle handle;

  void SetUp() override { Counted::alive = 0; }
  void TearDown() override {
    handle.reset();
    loop.runUntilIdle();
    EXPECT_EQ(0, Counted::alive) << "a coroutine frame leaked";
  }

  Task<void> nestedSleep(Counted /*held*/, double seconds) {
    Counted local;
    co_await sleepFor(loop, seconds);
  }

  // Suspension points, in order: 1 a sleep, 2 a nested task's sleep, 3 a callback,
  // then a cancellation check.
  Task<int> steps(Counted /*argument*/) {
    Counted local;
    reached.push_back(1);
    co_await sleepFor(loop, 1.0);
    reached.push_back(2);
    co_await nestedSleep(Counted{}, 1.0);
    reached.push_back(3);
    const int value = co_await awaitCallback<int>(loop, [this](Completion<int> done) { pendingCallback = done; });
    reached.push_back(4);
    co_await checkCancellation();
    reached.push_back(5);
    co_return value;
  }

  void start(Task<int> task) {
    outcome.reset();
    handle = spawn<int>(loop, std::move(task), [this](Result<int> result) { outcome.emplace(std::move(result)); });
  }
  // Starts `steps` afresh and runs it until it is suspended at `point` (0: not yet started).
  void startAt(int point) {
    reached.clear();
    pendingCallback.reset();
    start(steps(Counted{}));
    if (point >= 1) loop.runUntilIdle();
    if (point >= 2) loop.advance(1.0);
    if (point >= 3) loop.advance(1.0);
  }
  // Supplies every event the task could still be waiting for.
  void supplyEverything() {
    loop.advance(10.0);
    if (pendingCallback) (*pendingCallback)(Result<int>(7));
    loop.runUntilIdle();
  }
};

TEST_F(TaskLifetimeTest, RunsThroughEverySuspensionPoint) {
  startAt(0);
  EXPECT_TRUE(reached.empty()) << "spawn must not run the task inline";
  loop.runUntilIdle();
  loop.advance(0.999);
  EXPECT_EQ((std::vector<int>{1}), reached) << "a sleep ended before its time";
  loop.advance(0.001);
  loop.advance(1.0);
  EXPECT_EQ((std::vector<int>{1, 2, 3}), reached);
  ASSERT_TRUE(pendingCallback);
  (*pendingCallback)(Result<int>(7));
  EXPECT_EQ((std::vector<int>{1, 2, 3}), reached) << "a completion must resume through the loop";
  loop.runUntilIdle();
  EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5}), reached);
  ASSERT_TRUE(outcome);
  EXPECT_EQ(7, std::move(*outcome).get());
  EXPECT_TRUE(handle.isFinished());
}

TEST_F(TaskLifetimeTest, CancellationAtEverySuspensionPoint) {
  const struct {
    int point;
    std::vector<int> reachedAtEnd;
  } cases[] = {
      {0, {1}},           // before it starts: the first sleep throws at once
      {1, {1}},           // in a sleep
      {2, {1, 2}},        // in a nested task's sleep
      {3, {1, 2, 3, 4}},  // a callback is not interrupted; the next check throws
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "cancelled at point " << c.point);
    startAt(c.point);
    const auto before = reached;
    handle.cancel();
    EXPECT_EQ(before, reached) << "cancel must not resume the task inline";
    EXPECT_TRUE(handle.isCancelled());
    supplyEverything();
    ASSERT_TRUE(outcome);
    EXPECT_TRUE(failedWith<CancellationError>(*outcome));
    EXPECT_EQ(c.reachedAtEnd, reached);
    EXPECT_EQ(0u, loop.pendingTimerCount());
    // The finished frames (with their parameters) belong to the handle until it goes.
    handle.reset();
    EXPECT_EQ(0, Counted::alive);
  }
}

TEST_F(TaskLifetimeTest, DroppingTheOwnerAtEverySuspensionPointDestroysEveryFrame) {
  for (int point = 0; point <= 3; ++point) {
    SCOPED_TRACE(::testing::Message() << "dropped at point " << point);
    startAt(point);
    const auto before = reached;
    handle.reset();
    EXPECT_EQ(0, Counted::alive);
    EXPECT_EQ(0u, loop.pendingTimerCount());
    // Late events find nobody to resume.
    supplyEverything();
    EXPECT_EQ(before, reached);
    EXPECT_FALSE(outcome);
  }
}

Task<int> throwsAfterSleep(MainLoop& loop, Counted) {
  Counted local;
  co_await sleepFor(loop, 1.0);
  throw std::runtime_error("child failed");
}

TEST_F(TaskLifetimeTest, ExceptionsPropagateThroughNestedTasks) {
  auto uncaught = [this]() -> Task<int> {
    Counted local;
    co_return co_await throwsAfterSleep(loop, Counted{});
  };
  start(uncaught());
  loop.advance(1.0);
  ASSERT_TRUE(outcome);
  EXPECT_TRUE(failedWith<std::runtime_error>(*outcome));
  EXPECT_EQ(0, Counted::alive);

  auto caught = [this]() -> Task<int> {
    try {
      co_await throwsAfterSleep(loop, Counted{});
    } catch (const std::runtime_error&) {
      co_return 42;
    }
    co_return 0;
  };
  // The completion handler may drop the handle that owns the finished frames.
  outcome.reset();
  handle = spawn<int>(loop, caught(), [this](Result<int> result) {
    outcome.emplace(std::move(result));
    handle.reset();
  });
  loop.advance(1.0);
  ASSERT_TRUE(outcome);
  EXPECT_EQ(42, std::move(*outcome).get());
  EXPECT_FALSE(handle.isValid());
  EXPECT_EQ(0, Counted::alive);
}

TEST_F(TaskLifetimeTest, DroppingTheHandleFromInsideTheTaskStopsItAtItsNextSuspension) {
  auto body = [this]() -> Task<void> {
    Counted local;
    handle.reset();
    reached.push_back(1);  // the running step finishes
    co_await sleepFor(loop, 1.0);
    reached.push_back(2);
  };
  handle = spawn<void>(loop, body());
  loop.runUntilIdle();
  EXPECT_EQ((std::vector<int>{1}), reached);
  EXPECT_EQ(0, Counted::alive);
  EXPECT_EQ(0u, loop.pendingTimerCount());
  loop.advance(2.0);
  EXPECT_EQ((std::vector<int>{1}), reached);
}

TEST_F(TaskLifetimeTest, ADetachedTaskRunsToItsEndAndFreesItsFrames) {
  bool finished = false;
  auto body = [this]() -> Task<void> {
    Counted local;
    co_await nestedSleep(Counted{}, 1.0);
  };
  spawn<void>(loop, body(), [&](Result<void>) { finished = true; }).detach();
  loop.runUntilIdle();
  EXPECT_GT(Counted::alive, 0);
  loop.advance(1.0);
  EXPECT_TRUE(finished);
  EXPECT_EQ(0, Counted::alive);
}

TEST_F(TaskLifetimeTest, AStaleCompletionDoesNotAnswerALaterCallback) {
  std::vector<Completion<int>> completions;
  auto body = [&]() -> Task<int> {
    const int first = co_await awaitCallback<int>(loop, [&](Completion<int> done) { completions.push_back(done); });
    const int second = co_await awaitCallback<int>(loop, [&](Completion<int> done) { completions.push_back(done); });
    co_return first * 100 + second;
  };
  start(body());
  loop.runUntilIdle();
  completions.at(0)(Result<int>(1));
  completions.at(0)(Result<int>(9));  // a second answer to the same wait is ignored
  loop.runUntilIdle();
  ASSERT_EQ(2u, completions.size());
  completions.at(0)(Result<int>(8));  // the first wait is over: ignored
  loop.runUntilIdle();
  EXPECT_FALSE(outcome);
  completions.at(1)(Result<int>(2));
  loop.runUntilIdle();
  ASSERT_TRUE(outcome);
  EXPECT_EQ(102, std::move(*outcome).get());
}

Task<int> immediately(int value) { co_return value; }

TEST_F(TaskLifetimeTest, ManySynchronousCompletionsDoNotGrowTheStack) {
  auto body = []() -> Task<long> {
    long sum = 0;
    for (int i = 0; i < 1'000'000; ++i) sum += co_await immediately(1);
    co_return sum;
  };
  auto result = runTask<long>(loop, body());
  ASSERT_TRUE(result);
  EXPECT_EQ(1'000'000, std::move(*result).get());
}

// Work on a real thread: its result resumes the task on the main loop; and when the
// owner goes while the work runs, the late result is dropped without resuming anything.
TEST(TaskOffMainThread, TheResultArrivesOnTheMainLoopAndNotAfterTheOwnerIsGone) {
  Counted::alive = 0;
  SystemClock clock;
  PollMainLoop loop(clock);
  const auto mainThread = std::this_thread::get_id();
  std::optional<Result<std::thread::id>> outcome;
  bool resumedOnMain = false;
  auto onThread = [&]() -> Task<std::thread::id> {
    auto worker = co_await runOffMainThread<std::thread::id>(loop, [] { return std::this_thread::get_id(); });
    resumedOnMain = std::this_thread::get_id() == mainThread;
    co_return worker;
  };
  auto handle =
      spawn<std::thread::id>(loop, onThread(), [&](Result<std::thread::id> r) { outcome.emplace(std::move(r)); });
  ASSERT_TRUE(loop.runUntil([&] { return outcome.has_value(); }, 30.0));
  EXPECT_NE(mainThread, std::move(*outcome).get());
  EXPECT_TRUE(resumedOnMain);

  std::promise<void> release;
  auto released = release.get_future().share();
  bool started = false;
  bool resumed = false;
  auto late = [&]() -> Task<void> {
    started = true;
    // Named first: see the GCC 12 note at runOffMainThread.
    std::function<Counted()> work = [released] {
      released.wait();
      return Counted{};
    };
    [[maybe_unused]] Counted value = co_await runOffMainThread<Counted>(loop, std::move(work));
    resumed = true;
  };
  handle = spawn<void>(loop, late());
  ASSERT_TRUE(loop.runUntil([&] { return started; }, 30.0));
  handle.reset();
  release.set_value();
  // The worker's result is the last Counted; it is gone once the loop has delivered
  // (and discarded) it.
  ASSERT_TRUE(loop.runUntil([&] { return Counted::alive == 0; }, 30.0));
  EXPECT_FALSE(resumed);
}

}  // namespace
}  // namespace quillon
