#include "core/input/scroll_accumulator.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/fake_log_sink.h"
#include "support/fake_user_defaults.h"

namespace quillon {
namespace {

struct Event {
  double dx, dy, at;
  std::optional<int> step;
};

struct ScrollCase {
  const char* name;
  std::vector<Event> events;
};

// Each row feeds its events in order and expects the step (or none) after each one.
TEST(ScrollAccumulator, TurnsBurstsIntoSteps) {
  const ScrollCase cases[] = {
      {"tiny deltas lock at 3 and the whole sum counts",
       {{1, 0, 0, {}}, {1, 0, 0.01, {}}, {1, 0, 0.02, {}}, {4.9, 0, 0.03, {}}, {0.1, 0, 0.04, -1}}},
      {"exactly the threshold steps", {{8, 0, 0, -1}}},
      {"leftward motion steps forward", {{-3, 0, 0, {}}, {-5, 0, 0.01, 1}}},
      {"a tie locks vertical and the burst is ignored",
       {{3, 3, 0, {}}, {20, 0, 0.1, {}}, {20, 0, 0.5, {}}, {20, 0, 0.901, -1}}},
      {"a second threshold within the interval is dropped, not carried",
       {{8, 0, 0, -1}, {8, 0, 0.1, {}}, {7.9, 0, 0.2, {}}, {0.1, 0, 0.21, -1}}},
      {"a pause ends the burst", {{2, 0, 0, {}}, {2, 0, 0.41, {}}, {1, 0, 0.42, {}}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeUserDefaults defaults;
    FakeLogSink log;
    InputTuning tuning(defaults);
    ScrollAccumulator accumulator;
    for (std::size_t i = 0; i < c.events.size(); ++i) {
      SCOPED_TRACE(i);
      const auto& e = c.events[i];
      EXPECT_EQ(accumulator.accumulate(e.dx, e.dy, 1000 + e.at, tuning, log), e.step);
    }
  }
}

TEST(ScrollAccumulator, TuningIsReadFromTheDefaultsOnEveryEvent) {
  FakeUserDefaults defaults;
  FakeLogSink log;
  InputTuning tuning(defaults);
  ScrollAccumulator accumulator;
  defaults.set("tuning.threshold", PropertyListValue{std::string("2")});
  EXPECT_EQ(accumulator.accumulate(3, 0, 0, tuning, log), std::nullopt) << "a text threshold is ignored";
  EXPECT_EQ(log.lines(),
            std::vector<std::string>{"[Quillon/input] axis locked = horizontal (cumDX=3.00 cumDY=0.00 distance=3.00)"});
  defaults.set("tuning.directionSign", PropertyListValue{-1.0});
  EXPECT_EQ(accumulator.accumulate(5, 0, 0.01, tuning, log), 1) << "inverted from the next event on";
  defaults.set("tuning.threshold", PropertyListValue{std::int64_t{20}});
  defaults.set("tuning.directionSign", PropertyListValue{std::int64_t{0}});
  EXPECT_EQ(accumulator.accumulate(19, 0, 1.0 + 0.01, tuning, log), std::nullopt);
  EXPECT_EQ(accumulator.accumulate(1, 0, 1.02, tuning, log), 0) << "a zero sign still steps, by nothing";
}

}  // namespace
}  // namespace quillon
