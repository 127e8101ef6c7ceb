#include "core/async/launch_async_gate.h"

#include <gtest/gtest.h>

#include <limits>
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
  std::vector<Result<int>> lateResults;

  struct Caller {
    TaskHandle handle;
    std::shared_ptr<std::vector<Result<int>>> outcomes = std::make_shared<std::vector<Result<int>>>();
    bool resolved() const { return !outcomes->empty(); }
    const Result<int>& outcome() const { return outcomes->front(); }
  };

  Caller start(double timeout, bool cancelWork, LaunchAsyncGate<int>::Operation operation) {
    Caller caller;
    auto body = [](LaunchAsyncGate<int>& g, double t, bool c, LaunchAsyncGate<int>::LateResultHandler late,
                   LaunchAsyncGate<int>::Operation op) -> Task<int> { co_return co_await g.run(t, c, late, op); };
    caller.handle =
        spawn<int>(loop,
                   body(
                       gate, timeout, cancelWork, [this](Result<int> r) { lateResults.push_back(std::move(r)); },
                       std::move(operation)),
                   [outcomes = caller.outcomes](Result<int> r) { outcomes->push_back(std::move(r)); });
    return caller;
  }

  // An operation that sleeps on the loop's clock, then returns or throws. One armed
  // late starts its timer after the gate has armed the deadline.
  enum Work { returns, throws, armedLate, neverSuspends };
  LaunchAsyncGate<int>::Operation sleeping(double seconds, int value, Work work = returns) {
    return [this, seconds, value, work]() -> Task<int> {
      if (work == neverSuspends) co_return value;
      if (work == armedLate) co_await sleepFor(loop, 0.0);
      co_await sleepFor(loop, seconds);
      if (work == throws) throw OperationFailed{};
      co_return value;
    };
  }
};

// The caller gets the result or error if it comes by the limit, else the time-out; the
// gate stays busy until the work ends, and a late result reaches the handler once.
TEST_F(AsyncGateTest, CallerGetsTheOutcomeOrTheTimeoutAndLateResultsArriveOnce) {
  constexpr double nan = std::numeric_limits<double>::quiet_NaN();
  struct Row {
    const char* name;
    double timeout, seconds;
    Work work;
    bool cancelWork;
    double resolvesAt;
    bool timesOut;
  } rows[] = {
      {"resultWithinTheLimit", 15, 3, returns, false, 3, false},
      {"errorWithinTheLimit", 15, 1, throws, false, 1, false},
      {"timesOutExactlyAtTheLimit", 15, 20, returns, false, 15, true},
      {"errorAfterTheTimeout", 1, 3, throws, false, 1, true},
      {"timeoutCancelsTheWork", 2.5, 60, returns, true, 2.5, true},
      // Work and deadline due at the same instant: whichever timer was armed first wins.
      {"workArmedBeforeTheDeadline", 2, 2, returns, false, 2, false},
      {"workArmedAfterTheDeadline", 2, 2, armedLate, false, 2, true},
      // The work starts even without time to run.
      {"zeroLimit", 0, 0.5, returns, false, 0, true},
      {"negativeLimit", -1, 0.5, returns, false, 0, true},
      {"nanLimit", nan, 0.5, returns, false, 0, true},
      {"zeroLimitBeatenByWorkThatNeverSuspends", 0, 0, neverSuspends, false, 0, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    lateResults.clear();
    auto caller = start(row.timeout, row.cancelWork, sleeping(row.seconds, 7, row.work));
    if (row.resolvesAt > 0) {
      loop.advance(row.resolvesAt - 0.001);
      EXPECT_FALSE(caller.resolved());
      EXPECT_TRUE(gate.isRunning());
      loop.advance(0.001);
    } else {
      loop.runUntilIdle();
    }
    ASSERT_EQ(1u, caller.outcomes->size());
    if (row.timesOut) {
      EXPECT_EQ(failure(caller.outcome()), LaunchAsyncWaitError::timedOut);
      if (!row.cancelWork && row.seconds > row.resolvesAt) {
        EXPECT_TRUE(gate.isRunning()) << "detached: the work still runs";
        EXPECT_TRUE(lateResults.empty());
        loop.advance(row.seconds - row.resolvesAt);
      }
      loop.runUntilIdle();
      ASSERT_EQ(1u, lateResults.size());
    }
    const auto& delivered = row.timesOut ? lateResults.front() : caller.outcome();
    if (row.cancelWork) {
      EXPECT_TRUE(failedWith<CancellationError>(delivered));
    } else if (row.work == throws) {
      EXPECT_TRUE(failedWith<OperationFailed>(delivered));
    } else {
      EXPECT_EQ(7, delivered.value());
    }
    EXPECT_FALSE(gate.isRunning());
    loop.advance(100.0);
    EXPECT_EQ(1u, caller.outcomes->size()) << "the caller resumes exactly once";
    EXPECT_EQ(row.timesOut ? 1u : 0u, lateResults.size());
    EXPECT_EQ(0u, loop.pendingTimerCount()) << "the deadline must be disarmed";
  }
}

TEST_F(AsyncGateTest, OnlyOneOperationRunsUntilTheDetachedWorkEnds) {
  auto first = start(1.0, false, sleeping(5.0, 7));
  loop.advance(1.0);
  ASSERT_TRUE(first.resolved());
  EXPECT_TRUE(gate.isRunning()) << "detached: the operation still runs";

  auto refused = start(15.0, false, sleeping(1.0, 1));
  loop.runUntilIdle();
  ASSERT_TRUE(refused.resolved());
  EXPECT_EQ(LaunchAsyncWaitError::alreadyRunning, failure(refused.outcome()));

  loop.advance(4.0);
  EXPECT_FALSE(gate.isRunning());
  auto next = start(15.0, false, sleeping(1.0, 8));
  loop.advance(1.0);
  ASSERT_TRUE(next.resolved());
  EXPECT_EQ(8, next.outcome().value());
  EXPECT_EQ(1u, lateResults.size());
}

// A caller is released by cancelling its task or by dropping it; either way the work
// follows the time-out rule and its outcome reaches the late handler once.
TEST_F(AsyncGateTest, ReleasedCallerLeavesTheOutcomeToTheLateHandler) {
  for (bool dropped : {false, true}) {
    for (bool cancelWork : {false, true}) {
      SCOPED_TRACE(::testing::Message() << "dropped " << dropped << ", cancelWork " << cancelWork);
      lateResults.clear();
      auto caller = start(15.0, cancelWork, sleeping(5.0, 3));
      loop.advance(1.0);
      const auto outcomes = caller.outcomes;
      if (dropped) {
        caller.handle.reset();
      } else {
        caller.handle.cancel();
      }
      loop.runUntilIdle();
      if (dropped) {
        EXPECT_TRUE(outcomes->empty());
      } else {
        ASSERT_EQ(1u, outcomes->size());
        EXPECT_TRUE(failedWith<CancellationError>(outcomes->front()));
      }
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
      EXPECT_EQ(0u, loop.pendingTimerCount()) << "the deadline must be disarmed";
    }
  }
}

TEST_F(AsyncGateTest, CallerCancelledBeforeRunChangesNothing) {
  int starts = 0;
  auto caller = start(15.0, true, [&starts]() -> Task<int> {
    ++starts;
    co_return 1;
  });
  caller.handle.cancel();  // before the task first runs
  loop.runUntilIdle();
  ASSERT_TRUE(caller.resolved());
  EXPECT_TRUE(failedWith<CancellationError>(caller.outcome()));
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

// The operation outlives the gate and ends on its own; neither the waiting caller nor
// the late handler hears of it, since both belong to the gate's owner.
TEST_F(AsyncGateTest, DestroyingTheGateLetsTheOperationFinishWithoutCallingBack) {
  for (double timeout : {15.0, 1.0}) {
    SCOPED_TRACE(timeout);
    lateResults.clear();
    auto counted = std::make_shared<int>(0);
    const std::weak_ptr<int> alive = counted;
    bool finished = false;
    std::optional<Result<int>> outcome;
    TaskHandle handle;
    {
      LaunchAsyncGate<int> local(loop);
      LaunchAsyncGate<int>::Operation operation = [this, counted, &finished]() -> Task<int> {
        co_await sleepFor(loop, 10.0);
        finished = true;
        co_return *counted;
      };
      // With a long limit the caller even asked for cancellation; the gate's end still does not cancel.
      auto late = [this](Result<int> r) { lateResults.push_back(std::move(r)); };
      auto body = [&local, &operation, &late, timeout]() -> Task<int> {
        co_return co_await local.run(timeout, timeout > 2.0, late, std::move(operation));
      };
      handle = spawn<int>(loop, body(), [&](Result<int> r) { outcome.emplace(std::move(r)); });
      counted.reset();
      loop.advance(2.0);
      EXPECT_EQ(timeout < 2.0, outcome.has_value());
    }
    EXPECT_FALSE(alive.expired()) << "the operation must outlive the gate";
    loop.advance(20.0);
    EXPECT_TRUE(finished) << "the operation must not be cancelled";
    EXPECT_TRUE(alive.expired()) << "the finished operation releases its captures";
    EXPECT_EQ(timeout < 2.0, outcome.has_value()) << "a waiting caller is never resumed";
    EXPECT_TRUE(lateResults.empty());
    EXPECT_EQ(0u, loop.pendingTimerCount());
  }
}

}  // namespace
}  // namespace quillon
