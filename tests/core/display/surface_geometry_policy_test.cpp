#include "core/display/surface_geometry_policy.h"

#include <gtest/gtest.h>

#include <limits>

namespace quillon {
namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

// A 1512×982 display at the origin (Quartz), a 200-point-wide notch surface centred on it.
constexpr GlobalRect laptop{0, 0, 1512, 982};
constexpr GlobalRect secondary{1512, -300, 1000, 600};

TEST(SurfaceGeometryPolicy, BoundedTopCenterSurface) {
  const struct {
    const char* name;
    GlobalRect window;
    GlobalRect display;
    bool expected;
  } rows[] = {
      {"notch at the top", {656, 0, 200, 38}, laptop, true},
      {"on an offset second display", {1912, -300, 200, 40}, secondary, true},
      {"two points above the top touches", {656, -2.0, 200, 38}, laptop, true},
      {"more points above does not", {656, -2.1, 200, 38}, laptop, false},
      // The limit below the top is min(8 % of the height, 64).
      {"64 below on a 1000 tall display", {400, 64, 200, 40}, {0, 0, 1000, 1000}, true},
      {"70 below on a 1000 tall display", {400, 70, 200, 40}, {0, 0, 1000, 1000}, false},
      {"48 below on a 600 tall display", {400, 48, 200, 40}, {0, 0, 1000, 600}, true},
      {"49 below on a 600 tall display", {400, 49, 200, 40}, {0, 0, 1000, 600}, false},
      {"three quarters wide is too wide", {0, 0, 750, 40}, {0, 0, 1000, 600}, false},
      {"just narrower than three quarters", {125.01, 0, 749.98, 40}, {0, 0, 1000, 600}, true},
      {"half tall is too tall", {400, 0, 200, 300}, {0, 0, 1000, 600}, false},
      {"off centre by a tenth", {500, 0, 200, 40}, {0, 0, 1000, 600}, false},
      {"off centre by less than a tenth", {499, 0, 200, 40}, {0, 0, 1000, 600}, true},
      {"poking out on the left", {-10, 0, 1000, 40}, {0, 0, 2000, 600}, false},
      {"on another display", {656, 0, 200, 38}, secondary, false},
      {"zero width", {756, 0, 0, 38}, laptop, false},
      {"negative height", {656, 38, 200, -38}, laptop, false},
      {"NaN origin", {nan, 0, 200, 38}, laptop, false},
      {"infinite width", {656, 0, inf, 38}, laptop, false},
      {"edge overflows to infinity", {1e308, 0, 1.7e308, 38}, {0, 0, 1.7e308, 1000}, false},
      {"invalid display", {656, 0, 200, 38}, {0, 0, nan, 982}, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(row.expected, SurfaceGeometryPolicy::isBoundedTopCenterSurface(row.window, row.display));
  }
}

// The zone on a 1000×600 display is x 300..700, y 0..120.
TEST(SurfaceGeometryPolicy, PotentialWindow) {
  const struct {
    const char* name;
    GlobalRect window;
    int layer;
    bool expected;
  } rows[] = {
      {"floating at the top", {400, 0, 200, 40}, 25, true},
      {"normal layer never", {400, 0, 200, 40}, 0, false},
      {"negative layer", {400, 0, 200, 40}, -1, false},
      {"reaching in from the left", {0, 100, 301, 300}, 3, true},
      {"ending at the zone edge", {0, 0, 300, 40}, 3, false},
      {"below the top fifth", {400, 120, 200, 40}, 3, false},
      {"full-screen overlay", {0, 0, 1000, 600}, 3, true},
      {"NaN size", {400, 0, nan, 40}, 3, false},
      {"zero height", {400, 10, 200, 0}, 3, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(row.expected, SurfaceGeometryPolicy::isPotentialWindow(row.window, {0, 0, 1000, 600}, row.layer));
  }
}

TEST(TopCenterCandidateRegion, SizeIsCappedByWidthAndHeight) {
  struct Row {
    ScreenRect screen;
    ScreenRect region;
  } rows[] = {
      {{0, 0, 3024, 1964}, {1012, 1514, 1000, 450}},       // wide display: 1000-point cap
      {{0, 0, 1280, 800}, {192, 400, 896, 400}},           // 0.7 × width, half the height
      {{0, 0, 1728, 1117}, {364, 667, 1000, 450}},         // 1117 tall: 450 cap
      {{-1280, 200, 1280, 1024}, {-1088, 774, 896, 450}},  // left of the primary, raised
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.screen.width);
    EXPECT_EQ(row.region, SurfaceGeometryPolicy::topCenterCandidateRegion(row.screen));
  }
}

TEST(TopCenterCandidateRegion, PointNearAnyScreensTopCentreIsACandidate) {
  // Cocoa coordinates: the second screen sits to the right, its top higher up.
  const std::vector<Screen> screens{{1, {0, 0, 1512, 982}}, {2, {1512, 0, 1920, 1200}}};
  EXPECT_TRUE(SurfaceGeometryPolicy::isTopCenterCandidate({756, 981}, screens));
  EXPECT_TRUE(SurfaceGeometryPolicy::isTopCenterCandidate({2472, 1199}, screens));
  EXPECT_FALSE(SurfaceGeometryPolicy::isTopCenterCandidate({756, 982}, screens)) << "top edge is outside";
  EXPECT_FALSE(SurfaceGeometryPolicy::isTopCenterCandidate({756, 100}, screens));
  EXPECT_FALSE(SurfaceGeometryPolicy::isTopCenterCandidate({20, 981}, screens));
  EXPECT_FALSE(SurfaceGeometryPolicy::isTopCenterCandidate({756, 981}, {}));
}

}  // namespace
}  // namespace quillon
