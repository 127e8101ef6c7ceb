#include "core/display/surface_geometry_policy.h"

#include <gtest/gtest.h>

#include <limits>
#include <ostream>

namespace quillon {
namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

struct SurfaceCase {
  const char* name;
  GlobalRect window;
  GlobalRect display;
  bool expected;
};
void PrintTo(const SurfaceCase& c, std::ostream* os) { *os << c.name; }

// A 1512×982 display at the origin (Quartz), a 200-point-wide notch surface centred on it.
constexpr GlobalRect laptop{0, 0, 1512, 982};
constexpr GlobalRect secondary{1512, -300, 1000, 600};

class BoundedTopCenterSurface : public ::testing::TestWithParam<SurfaceCase> {};

TEST_P(BoundedTopCenterSurface, Decides) {
  const auto& c = GetParam();
  EXPECT_EQ(c.expected, SurfaceGeometryPolicy::isBoundedTopCenterSurface(c.window, c.display));
}

INSTANTIATE_TEST_SUITE_P(
    Geometry, BoundedTopCenterSurface,
    ::testing::Values(
        SurfaceCase{"notchAtTheTop", {656, 0, 200, 38}, laptop, true},
        SurfaceCase{"onAnOffsetSecondDisplay", {1912, -300, 200, 40}, secondary, true},
        SurfaceCase{"twoPointsAboveTheTopTouches", {656, -2.0, 200, 38}, laptop, true},
        SurfaceCase{"morePointsAboveDoesNot", {656, -2.1, 200, 38}, laptop, false},
        // The limit below the top is min(8 % of the height, 64).
        SurfaceCase{"64BelowOnA1000TallDisplay", {400, 64, 200, 40}, {0, 0, 1000, 1000}, true},
        SurfaceCase{"70BelowOnA1000TallDisplay", {400, 70, 200, 40}, {0, 0, 1000, 1000}, false},
        SurfaceCase{"48BelowOnA600TallDisplay", {400, 48, 200, 40}, {0, 0, 1000, 600}, true},
        SurfaceCase{"49BelowOnA600TallDisplay", {400, 49, 200, 40}, {0, 0, 1000, 600}, false},
        SurfaceCase{"threeQuartersWideIsTooWide", {0, 0, 750, 40}, {0, 0, 1000, 600}, false},
        SurfaceCase{"justNarrowerThanThreeQuarters", {125.01, 0, 749.98, 40}, {0, 0, 1000, 600}, true},
        SurfaceCase{"halfTallIsTooTall", {400, 0, 200, 300}, {0, 0, 1000, 600}, false},
        SurfaceCase{"offCentreByATenth", {500, 0, 200, 40}, {0, 0, 1000, 600}, false},
        SurfaceCase{"offCentreByLessThanATenth", {499, 0, 200, 40}, {0, 0, 1000, 600}, true},
        SurfaceCase{"pokingOutOnTheLeft", {-10, 0, 1000, 40}, {0, 0, 2000, 600}, false},
        SurfaceCase{"onAnotherDisplay", {656, 0, 200, 38}, secondary, false},
        SurfaceCase{"zeroWidth", {756, 0, 0, 38}, laptop, false},
        SurfaceCase{"negativeHeight", {656, 38, 200, -38}, laptop, false},
        SurfaceCase{"nanOrigin", {nan, 0, 200, 38}, laptop, false},
        SurfaceCase{"infiniteWidth", {656, 0, inf, 38}, laptop, false},
        SurfaceCase{"edgeOverflowsToInfinity", {1e308, 0, 1.7e308, 38}, {0, 0, 1.7e308, 1000}, false},
        SurfaceCase{"invalidDisplay", {656, 0, 200, 38}, {0, 0, nan, 982}, false}),
    [](const auto& row) { return std::string(row.param.name); });

struct WindowCase {
  const char* name;
  GlobalRect window;
  int layer;
  bool expected;
};
void PrintTo(const WindowCase& c, std::ostream* os) { *os << c.name; }

class PotentialWindow : public ::testing::TestWithParam<WindowCase> {};

// The zone on a 1000×600 display is x 300..700, y 0..120.
TEST_P(PotentialWindow, Decides) {
  const auto& c = GetParam();
  EXPECT_EQ(c.expected, SurfaceGeometryPolicy::isPotentialWindow(c.window, {0, 0, 1000, 600}, c.layer));
}

INSTANTIATE_TEST_SUITE_P(Geometry, PotentialWindow,
                         ::testing::Values(WindowCase{"floatingAtTheTop", {400, 0, 200, 40}, 25, true},
                                           WindowCase{"normalLayerNever", {400, 0, 200, 40}, 0, false},
                                           WindowCase{"negativeLayer", {400, 0, 200, 40}, -1, false},
                                           WindowCase{"reachingInFromTheLeft", {0, 100, 301, 300}, 3, true},
                                           WindowCase{"endingAtTheZoneEdge", {0, 0, 300, 40}, 3, false},
                                           WindowCase{"belowTheTopFifth", {400, 120, 200, 40}, 3, false},
                                           WindowCase{"fullScreenOverlay", {0, 0, 1000, 600}, 3, true},
                                           WindowCase{"nanSize", {400, 0, nan, 40}, 3, false},
                                           WindowCase{"zeroHeight", {400, 10, 200, 0}, 3, false}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(TopCenterCandidateRegion, SizeIsCappedByWidthAndHeight) {
  struct Row {
    ScreenRect screen;
    ScreenRect region;
  } rows[] = {
      {{0, 0, 3024, 1964}, {1012, 1514, 1000, 450}},  // wide display: 1000-point cap
      {{0, 0, 1280, 800}, {192, 400, 896, 400}},      // 0.7 × width, half the height
      {{0, 0, 1728, 1117}, {364, 667, 1000, 450}},    // 1117 tall: 450 cap
      {{-1280, 200, 1280, 1024}, {-1088, 774, 896, 450}},  // left of the primary, raised
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.screen.width);
    const ScreenRect region = SurfaceGeometryPolicy::topCenterCandidateRegion(row.screen);
    EXPECT_DOUBLE_EQ(row.region.x, region.x);
    EXPECT_DOUBLE_EQ(row.region.y, region.y);
    EXPECT_DOUBLE_EQ(row.region.width, region.width);
    EXPECT_DOUBLE_EQ(row.region.height, region.height);
  }
}

TEST(TopCenterCandidateRegion, PointNearAnyScreensTopCentreIsACandidate) {
  // Cocoa coordinates: the second screen sits to the right, its top higher up.
  const std::vector<LaunchScreen> screens{{1, {0, 0, 1512, 982}}, {2, {1512, 0, 1920, 1200}}};
  EXPECT_TRUE(SurfaceGeometryPolicy::isTopCenterCandidate({756, 981}, screens));
  EXPECT_TRUE(SurfaceGeometryPolicy::isTopCenterCandidate({2472, 1199}, screens));
  EXPECT_FALSE(SurfaceGeometryPolicy::isTopCenterCandidate({756, 982}, screens)) << "top edge is outside";
  EXPECT_FALSE(SurfaceGeometryPolicy::isTopCenterCandidate({756, 100}, screens));
  EXPECT_FALSE(SurfaceGeometryPolicy::isTopCenterCandidate({20, 981}, screens));
  EXPECT_FALSE(SurfaceGeometryPolicy::isTopCenterCandidate({756, 981}, {}));
}

}  // namespace
}  // namespace quillon
