#include "core/capture/launch_window_candidate_policy.h"

#include <gtest/gtest.h>

#include "core/capture/launch_capture_group.h"
#include "core/capture/surface_capture_error.h"

namespace quillon {
namespace {

using Code = SurfaceCaptureError::Code;
using Candidates = std::vector<LaunchWindowCandidate>;

// Two side-by-side 1000 × 600 displays; the top-centre zone of the first is
// x 300..700, y 0..120.
const std::vector<GlobalRect> kDisplays{{0, 0, 1000, 600}, {1000, 0, 1000, 600}};
constexpr GlobalRect kNotch{400, 0, 200, 80};

// The outcome of a selection as text, so a table can name it in one column.
template <class F>
std::string outcome(F&& select) {
  try {
    return "ok " + std::to_string(select());
  } catch (const Error& error) {
    return error.description();
  }
}

const std::string kNone = "The selected application has no visible top-center window.";

std::string ambiguous(const char* ids) { return std::string("More than one top-center window matches: ") + ids + "."; }

// The policy chooses one window (by id); the group gathers the pieces of one surface (by
// count). Both refuse in the same words.
TEST(LaunchWindowCandidatePolicy, ChoosesOneWindowOrOneGroupOrRefuses) {
  const GlobalRect left{400, 0, 90, 80};
  const auto beside = [&](double gap) { return left.offsetBy(90 + gap, 0); };
  const Candidates twoDisplays{{1, kNotch, 25}, {2, kNotch.offsetBy(1000, 0), 25}};
  Candidates nine;
  for (std::uint32_t i = 1; i <= 9; ++i) nine.push_back({i, {420 + 10.0 * i, 0, 8, 40}, 25});
  const struct {
    const char* name;
    Candidates candidates;
    std::optional<GlobalPoint> point;
    std::string window, group;
  } rows[] = {
      {"one notch window", {{1, kNotch, 25}, {9, {0, 300, 100, 100}, 0}}, {}, "ok 1", "ok 1"},
      {"a normal window never matches", {{1, kNotch, 0}}, {}, kNone, kNone},
      {"outside the zone", {{1, {0, 200, 200, 80}, 25}}, {}, kNone, kNone},
      {"invalid frame", {{1, {400, 0, 0, 80}, 25}}, {}, kNone, kNone},
      {"same frame, highest layer wins", {{1, kNotch, 24}, {2, kNotch, 25}}, {}, "ok 2", "ok 2"},
      {"same frame, two on top",
       {{1, kNotch, 25}, {2, kNotch, 25}, {3, kNotch, 3}},
       {},
       ambiguous("[1, 2, 3]"),
       "ok 3"},
      {"different frames whatever the layers",
       {{1, kNotch, 25}, {2, kNotch.offsetBy(1, 0), 3}},
       {},
       ambiguous("[1, 2]"),
       ambiguous("[1, 2]")},
      {"20 points apart, layers 25 and 26", {{1, left, 25}, {2, beside(20), 26}}, {}, ambiguous("[1, 2]"), "ok 2"},
      {"40 points apart", {{1, left, 25}, {2, beside(40), 26}}, {}, ambiguous("[1, 2]"), ambiguous("[1, 2]")},
      {"layers 24 and 26", {{1, left, 24}, {2, beside(20), 26}}, {}, ambiguous("[1, 2]"), ambiguous("[1, 2]")},
      {"union not a bounded surface",
       {{1, {300, 0, 300, 80}, 25}, {2, {600, 0, 300, 400}, 25}},
       {},
       ambiguous("[1, 2]"),
       ambiguous("[1, 2]")},
      {"nine windows", nine, {}, ambiguous("[1, 2, 3, 4, 5, 6, 7, 8, 9]"), ambiguous("[1, 2, 3, 4, 5, 6, 7, 8, 9]")},
      {"ids use all 32 bits",
       {{1, kNotch, 25}, {4000000000u, kNotch.offsetBy(1, 0), 3}},
       {},
       ambiguous("[1, 4000000000]"),
       ambiguous("[1, 4000000000]")},
      {"repeated id", {{1, left, 25}, {1, beside(0), 25}}, {}, ambiguous("[1, 1]"), ambiguous("[1, 1]")},
      {"windows on two displays", twoDisplays, {}, ambiguous("[1, 2]"), ambiguous("[1, 2]")},
      {"point picks the first display", twoDisplays, GlobalPoint{10, 10}, "ok 1", "ok 1"},
      {"point picks the second display", twoDisplays, GlobalPoint{1500, 10}, "ok 2", "ok 1"},
      {"point on the right edge belongs to no display", {{1, kNotch, 25}}, GlobalPoint{2000, 10}, kNone, kNone},
      {"point on the bottom edge belongs to no display", {{1, kNotch, 25}}, GlobalPoint{500, 600}, kNone, kNone},
      {"point not finite", {{1, kNotch, 25}}, GlobalPoint{NAN, 10}, kNone, kNone},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(row.window, outcome([&] {
                return LaunchWindowCandidatePolicy::select(row.candidates, kDisplays, row.point).window.windowID;
              }));
    EXPECT_EQ(row.group,
              outcome([&] { return LaunchCaptureGroup::select(row.candidates, kDisplays, row.point).windows.size(); }));
  }
  const auto chosen =
      LaunchWindowCandidatePolicy::select({{1, kNotch, 25}}, {{NAN, 0, 10, 10}, kDisplays[0], kDisplays[1]}, {});
  EXPECT_EQ(kDisplays, chosen.displays);  // invalid displays dropped, order kept
  const auto group = LaunchCaptureGroup::select({{1, left, 25}, {2, beside(20), 26}}, kDisplays, GlobalPoint{1, 1});
  EXPECT_EQ((LaunchCaptureGroup{{{1, left, 25}, {2, beside(20), 26}}, kDisplays[0]}), group);
}

}  // namespace
}  // namespace quillon
