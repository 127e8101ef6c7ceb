#include "core/switching/launch_async_gate.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "support/manual_main_loop.h"

namespace quillon {
namespace {

struct OperationFailed : std::runtime_error {
  OperationFailed() : std::runtime_error("operation failed") {}
};

// Drives a gate of int on the manual loop. Each `start` spawns one caller of `run`
// and records its outcome; late results are recorded separately.
struct AsyncGateTest : ::testing::Test {
  ManualClock clock;
  ManualMainLoop loop{clock};
  LaunchAsyncGate<int> gate{loop};
  std::vector<LaunchResult<int>> lateResults;

  struct Caller {
    LaunchTaskHandle handle;
    std::shared_ptr<std::vector<LaunchResult<int>>> outcomes = std::make_shared<std::vector<LaunchResult<int>>>();
    bool resolved() const { return !outcomes->empty(); }
    const LaunchResult<int>& outcome() const { return outcomes->front(); }
  };

  Caller start(double timeout, bool cancelWork, LaunchAsyncGate<int>::Operation operation) {
    Caller caller;
    auto body = [](LaunchAsyncGate<int>& g, double t, bool c, LaunchAsyncGate<int>::LateResultHandler late,
                   LaunchAsyncGate<int>::Operation op) -> Task<int> { co_return co_await g.run(t, c, late, op); };
    caller.handle = spawn<int>(loop, body(gate, timeout, cancelWork, [this](LaunchResult<int> r) { lateResults.push_back(std::move(r)); },
                                          std::move(operation)),
                               [outcomes = caller.outcomes](LaunchResult<int> r) { outcomes->push_back(std::move(r)); });
    return caller;
  }

  // An operation that sleeps on the loop's clock, then returns or throws.
  LaunchAsyncGate<int>::Operation sleeping(double seconds, int value, bool fail = false) {
    return [this, seconds, value, fail]() -> Task<int> {
      co_await sleepFor(loop, seconds);
      if (fail) throw OperationFailed{};
      co_return value;
    };
  }
};

TEST_F(AsyncGateTest, ResultWithinTheLimitGoesToTheCaller) {
  auto caller = start(15.0, false, sleeping(3.0, 42));
  loop.advance(2.999);
  EXPECT_FALSE(caller.resolved());
  EXPECT_TRUE(gate.isRunning());
  loop.advance(0.001);
  ASSERT_EQ(1u, caller.outcomes->size());
  EXPECT_EQ(42, caller.outcome().value());
  EXPECT_FALSE(gate.isRunning());
  EXPECT_TRUE(lateResults.empty());
  EXPECT_EQ(0u, loop.pendingTimerCount()) << "the deadline must be disarmed";
}

TEST_F(AsyncGateTest, OperationErrorWithinTheLimitIsRethrownUnchanged) {
  auto caller = start(15.0, false, sleeping(1.0, 0, true));
  loop.advance(1.0);
  ASSERT_TRUE(caller.resolved());
  EXPECT_TRUE(failedWith<OperationFailed>(caller.outcome()));
  EXPECT_FALSE(gate.isRunning());
}

TEST_F(AsyncGateTest, TimesOutExactlyAtTheLimitAndKeepsTheGateBusyUntilTheOperationEnds) {
  auto first = start(15.0, false, sleeping(20.0, 7));
  loop.advance(14.999);
  EXPECT_FALSE(first.resolved());
  loop.advance(0.001);
  ASSERT_EQ(1u, first.outcomes->size());
  EXPECT_TRUE(failedWith<LaunchAsyncWaitError>(first.outcome()));
  EXPECT_TRUE(gate.isRunning()) << "detached: the operation still runs";

  auto refused = start(15.0, false, sleeping(1.0, 1));
  loop.runUntilIdle();
  ASSERT_TRUE(refused.resolved());
  try {
    std::rethrow_exception(refused.outcome().error());
  } catch (LaunchAsyncWaitError e) {
    EXPECT_EQ(LaunchAsyncWaitError::alreadyRunning, e);
  }

  loop.advance(5.0);
  ASSERT_EQ(1u, lateResults.size());
  EXPECT_EQ(7, lateResults.front().value());
  EXPECT_FALSE(gate.isRunning());
  EXPECT_EQ(1u, first.outcomes->size()) << "the caller resumes exactly once";

  auto next = start(15.0, false, sleeping(1.0, 8));
  loop.advance(1.0);
  ASSERT_TRUE(next.resolved());
  EXPECT_EQ(8, next.outcome().value());
  EXPECT_EQ(1u, lateResults.size());
}

TEST_F(AsyncGateTest, TimeoutThatCancelsTheWorkDeliversTheCancellationLate) {
  auto caller = start(2.5, true, sleeping(60.0, 1));
  loop.advance(2.5);
  ASSERT_TRUE(caller.resolved());
  EXPECT_TRUE(failedWith<LaunchAsyncWaitError>(caller.outcome()));
  loop.runUntilIdle();
  ASSERT_EQ(1u, lateResults.size());
  EXPECT_TRUE(failedWith<CancellationError>(lateResults.front()));
  EXPECT_FALSE(gate.isRunning());
  EXPECT_EQ(0u, loop.pendingTimerCount());
}

TEST_F(AsyncGateTest, OperationThatThrowsAfterTheTimeoutReachesOnlyTheLateHandler) {
  auto caller = start(1.0, false, sleeping(3.0, 0, true));
  loop.advance(3.0);
  ASSERT_EQ(1u, caller.outcomes->size());
  EXPECT_TRUE(failedWith<LaunchAsyncWaitError>(caller.outcome()));
  ASSERT_EQ(1u, lateResults.size());
  EXPECT_TRUE(failedWith<OperationFailed>(lateResults.front()));
}

TEST_F(AsyncGateTest, ZeroOrNegativeLimitStillStartsTheOperation) {
  for (double timeout : {0.0, -1.0, std::nan("")}) {
    SCOPED_TRACE(timeout);
    int starts = 0;
    auto immediate = start(timeout, false, [&starts]() -> Task<int> {
      ++starts;
      co_return 5;
    });
    loop.runUntilIdle();
    ASSERT_TRUE(immediate.resolved());
    EXPECT_EQ(5, immediate.outcome().value()) << "finished without suspending: beats the deadline";

    auto suspending = start(timeout, false, [&starts, this]() -> Task<int> {
      ++starts;
      co_await sleepFor(loop, 0.5);
      co_return 6;
    });
    loop.runUntilIdle();
    ASSERT_TRUE(suspending.resolved());
    EXPECT_TRUE(failedWith<LaunchAsyncWaitError>(suspending.outcome()));
    EXPECT_EQ(2, starts);
    loop.advance(0.5);
    ASSERT_FALSE(lateResults.empty());
    EXPECT_EQ(6, lateResults.back().value());
    EXPECT_FALSE(gate.isRunning());
  }
}

// The operation's own timer and the deadline are due at the same instant; whichever
// main-loop step runs first wins and the other finds nothing left to resolve.
TEST_F(AsyncGateTest, FinishingAsTheDeadlineFiresResolvesTheCallerOnce) {
  auto workerFirst = start(2.0, false, sleeping(2.0, 1));
  loop.advance(2.0);
  ASSERT_EQ(1u, workerFirst.outcomes->size());
  EXPECT_EQ(1, workerFirst.outcome().value());
  EXPECT_TRUE(lateResults.empty());

  // Here the operation starts its timer after the deadline started its own.
  auto deadlineFirst = start(2.0, false, [this]() -> Task<int> {
    co_await sleepFor(loop, 0.0);
    co_await sleepFor(loop, 2.0);
    co_return 2;
  });
  loop.advance(2.0);
  ASSERT_EQ(1u, deadlineFirst.outcomes->size());
  EXPECT_TRUE(failedWith<LaunchAsyncWaitError>(deadlineFirst.outcome()));
  ASSERT_EQ(1u, lateResults.size());
  EXPECT_EQ(2, lateResults.front().value());
  EXPECT_FALSE(gate.isRunning());
}

TEST_F(AsyncGateTest, CancelledCallerIsReleasedAndTheWorkFollowsTheTimeoutRule) {
  for (bool cancelWork : {false, true}) {
    SCOPED_TRACE(cancelWork);
    lateResults.clear();
    auto caller = start(15.0, cancelWork, sleeping(5.0, 3));
    loop.advance(1.0);
    caller.handle.cancel();
    loop.runUntilIdle();
    ASSERT_EQ(1u, caller.outcomes->size());
    EXPECT_TRUE(failedWith<CancellationError>(caller.outcome()));
    if (cancelWork) {
      ASSERT_EQ(1u, lateResults.size());
      EXPECT_TRUE(failedWith<CancellationError>(lateResults.front()));
    } else {
      EXPECT_TRUE(gate.isRunning());
      loop.advance(4.0);
      ASSERT_EQ(1u, lateResults.size());
      EXPECT_EQ(3, lateResults.front().value());
    }
    EXPECT_FALSE(gate.isRunning());
    EXPECT_EQ(0u, loop.pendingTimerCount());
  }
}

TEST_F(AsyncGateTest, CallerCancelledBeforeRunChangesNothing) {
  int starts = 0;
  LaunchAsyncGate<int>::Operation operation = [&starts]() -> Task<int> {
    ++starts;
    co_return 1;
  };
  auto body = [&]() -> Task<int> { co_return co_await gate.run(15.0, true, operation); };
  std::optional<LaunchResult<int>> outcome;
  auto handle = spawn<int>(loop, body(), [&](LaunchResult<int> r) { outcome.emplace(std::move(r)); });
  handle.cancel();  // before the task first runs
  loop.runUntilIdle();
  ASSERT_TRUE(outcome);
  EXPECT_TRUE(failedWith<CancellationError>(*outcome));
  EXPECT_EQ(0, starts);
  EXPECT_FALSE(gate.isRunning());
}

TEST_F(AsyncGateTest, CancellingAFinishedCallerDoesNotDisturbALaterWait) {
  auto first = start(15.0, true, sleeping(1.0, 1));
  loop.advance(1.0);
  ASSERT_TRUE(first.resolved());

  auto second = start(15.0, true, sleeping(3.0, 2));
  loop.advance(1.0);
  first.handle.cancel();
  loop.runUntilIdle();
  EXPECT_FALSE(second.resolved());
  loop.advance(2.0);
  ASSERT_EQ(1u, second.outcomes->size());
  EXPECT_EQ(2, second.outcome().value());
  EXPECT_TRUE(lateResults.empty());
}

TEST_F(AsyncGateTest, DestroyingTheGateDropsTheDetachedOperationWithoutCallingBack) {
  auto counted = std::make_shared<int>(0);
  std::weak_ptr<int> alive = counted;
  {
    LaunchAsyncGate<int> local(loop);
    LaunchAsyncGate<int>::Operation operation = [this, counted]() -> Task<int> {
      co_await sleepFor(loop, 10.0);
      co_return *counted;
    };
    auto body = [&local, &operation]() -> Task<int> { co_return co_await local.run(1.0, false, std::move(operation)); };
    std::optional<LaunchResult<int>> outcome;
    auto handle = spawn<int>(loop, body(), [&](LaunchResult<int> r) { outcome.emplace(std::move(r)); });
    counted.reset();
    loop.advance(1.0);
    ASSERT_TRUE(outcome);
    EXPECT_FALSE(alive.expired()) << "the detached operation holds its captures";
  }
  EXPECT_TRUE(alive.expired()) << "the gate's end destroys the operation's frames";
  loop.advance(20.0);
  EXPECT_EQ(0u, loop.pendingTimerCount());
}

}  // namespace
}  // namespace quillon
