#include "core/support/launch_task.h"

#include <gtest/gtest.h>

#include "support/manual_main_loop.h"

namespace quillon {
namespace {

struct TaskTest : ::testing::Test {
  ManualClock clock;
  ManualMainLoop loop{clock};
};

Task<int> sleepThenReturn(ManualMainLoop& loop, double seconds, int value) {
  co_await sleepFor(loop, seconds);
  co_return value;
}

TEST_F(TaskTest, SleepResumesOnlyWhenItsTimeComes) {
  std::optional<LaunchResult<int>> outcome;
  auto handle = spawn<int>(loop, sleepThenReturn(loop, 4.0, 7), [&](LaunchResult<int> r) { outcome.emplace(std::move(r)); });
  loop.advance(3.999);
  EXPECT_FALSE(outcome);
  loop.advance(0.001);
  ASSERT_TRUE(outcome);
  EXPECT_EQ(7, std::move(*outcome).get());
}

TEST_F(TaskTest, CancellingASleepThrowsCancellation) {
  std::optional<LaunchResult<int>> outcome;
  auto handle = spawn<int>(loop, sleepThenReturn(loop, 10.0, 1), [&](LaunchResult<int> r) { outcome.emplace(std::move(r)); });
  loop.runUntilIdle();
  handle.cancel();
  loop.runUntilIdle();
  ASSERT_TRUE(outcome);
  EXPECT_TRUE(failedWith<CancellationError>(*outcome));
  EXPECT_EQ(0u, loop.pendingTimerCount());
}

TEST_F(TaskTest, DroppingTheHandleNeverResumesTheTask) {
  bool resumed = false;
  auto body = [&]() -> Task<void> {
    co_await sleepFor(loop, 1.0);
    resumed = true;
  };
  auto handle = spawn<void>(loop, body());
  loop.runUntilIdle();
  handle.reset();
  loop.advance(5.0);
  EXPECT_FALSE(resumed);
  EXPECT_EQ(0u, loop.pendingTimerCount());
}

}  // namespace
}  // namespace quillon
