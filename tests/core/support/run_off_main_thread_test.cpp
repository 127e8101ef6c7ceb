#include <gtest/gtest.h>

#include "core/support/launch_task.h"
#include "support/manual_main_loop.h"

namespace quillon {
namespace {

// GCC 12 destroyed the lambda that carries `work` twice, releasing its captures one
// time too many; the count shows it even without a sanitizer.
TEST(RunOffMainThread, ReleasesTheWorksCapturesExactlyOnce) {
  ManualClock clock;
  ManualMainLoop loop{clock};
  auto counted = std::make_shared<int>(7);
  const std::weak_ptr<int> weak = counted;
  const auto other = counted;  // keeps the count above zero so a double release shows
  std::function<int()> work = [counted] { return *counted; };
  counted.reset();
  auto result = runTask<int>(loop, runOffMainThread<int>(loop, std::move(work)));
  ASSERT_TRUE(result);
  EXPECT_EQ(7, result->value());
  EXPECT_EQ(1, weak.use_count());
}

}  // namespace
}  // namespace quillon
