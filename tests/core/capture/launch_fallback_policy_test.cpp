#include "core/capture/launch_fallback_policy.h"

#include <gtest/gtest.h>

#include <functional>

namespace quillon {
namespace {

const GlobalRect display{0, 0, 1512, 982};
const GlobalRect notch{556, 0, 400, 120};

LaunchWindowTarget target(double sampledAt, GlobalRect frame = notch) {
  return {4242, 77, frame, display, sampledAt, 2, 25};
}

TEST(LaunchFallbackPolicy, TwoSamplesConfirmAStableNotch) {
  const GlobalPoint edge{700, 10};
  const GlobalPoint cursor{720, 60};
  const struct {
    const char* name;
    std::function<void(LaunchWindowTarget& previous, LaunchWindowTarget& current)> change;
    bool accepted;
  } rows[] = {
      {"0.1 s apart", [](auto&, auto&) {}, true},
      {"0.09 s apart", [](auto&, auto& c) { c.sampledAtUptime = 100.09; }, false},
      {"moved by 2 points", [](auto&, auto& c) { c.frame = notch.offsetBy(2, 0); }, true},
      {"moved by 3 points", [](auto&, auto& c) { c.frame = notch.offsetBy(3, 0); }, false},
      {"another window", [](auto&, auto& c) { c.windowID = 78; }, false},
      {"no process", [](auto& p, auto& c) { p.processID = c.processID = 0; }, false},
      {"63 points tall", [](auto& p, auto& c) { p.frame.height = c.frame.height = 63; }, false},
      {"older than a second", [](auto& p, auto&) { p.sampledAtUptime = 99.0; }, false},
      {"current sample in the future", [](auto&, auto& c) { c.sampledAtUptime = 100.6; }, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    auto previous = target(100.0);
    auto current = target(100.1);
    row.change(previous, current);
    EXPECT_EQ(row.accepted, LaunchFallbackPolicy::accepts(previous, current, edge, cursor, 100.5));
  }
  EXPECT_FALSE(LaunchFallbackPolicy::accepts(target(100.0), target(100.1), GlobalPoint{560, 60}, cursor, 100.5))
      << "the edge point lies in the 8-point margin";
}

TEST(LaunchFallbackPolicy, ARecordedEdgeStandsForAtMostPointTwoSeconds) {
  EXPECT_TRUE(LaunchFallbackPolicy::acceptsRecordedEdge(target(50.2), target(51.0), 50.0));
  EXPECT_FALSE(LaunchFallbackPolicy::acceptsRecordedEdge(target(50.21), target(51.0), 50.0));
  EXPECT_FALSE(LaunchFallbackPolicy::acceptsRecordedEdge(target(49.9), target(51.0), 50.0));
  EXPECT_FALSE(LaunchFallbackPolicy::acceptsRecordedEdge(target(50.1), target(51.0), std::nan("")));
}

TEST(LaunchFallbackPolicy, ExpansionEvidenceMustMatchTheWindowList) {
  const std::vector<LaunchWindowCandidate> observed{{77, notch, 25}, {78, notch.offsetBy(0, 1), 24}};
  auto accepts = [&](const std::vector<LaunchWindowCandidate>& current, double now = 10.5, bool occluded = false) {
    return LaunchFallbackPolicy::acceptsExpansionEvidence(4242, observed, current, notch, display, 10.0, now, occluded,
                                                          1.0);
  };
  EXPECT_TRUE(accepts({{78, notch.offsetBy(1, 1), 24}, {77, notch, 25}}));
  EXPECT_FALSE(accepts({{77, notch, 25}}));
  EXPECT_FALSE(accepts({{77, notch, 25}, {78, notch, 23}}));
  EXPECT_FALSE(accepts({{77, notch, 25}, {77, notch, 25}}));
  EXPECT_FALSE(accepts(observed, 11.01));
  EXPECT_FALSE(accepts(observed, 9.9));
  EXPECT_FALSE(accepts(observed, 10.5, true));
}

}  // namespace
}  // namespace quillon
