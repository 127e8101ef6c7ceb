#include "core/display/launch_display_target.h"

#include <gtest/gtest.h>

#include <limits>

#include "core/display/screen_coordinates.h"

namespace quillon {
namespace {

// Cocoa frames: a laptop as the primary display and a taller monitor to its right
// whose top is 218 points higher.
const std::vector<Screen> kScreens{{69, {0, 0, 1512, 982}}, {4, {1512, -100, 1920, 1300}}};

TEST(LaunchDisplayTarget, CurrentTargetsAreInScreenOrderWithQuartzFrames) {
  const auto targets = currentDisplayTargets(kScreens);
  ASSERT_EQ(2u, targets.size());
  EXPECT_EQ((LaunchDisplayTarget{69, {0, 0, 1512, 982}}), targets[0]);
  EXPECT_EQ((LaunchDisplayTarget{4, {1512, -218, 1920, 1300}}), targets[1]);
  EXPECT_TRUE(currentDisplayTargets(std::vector<Screen>{}).empty());
}

TEST(ScreenCoordinates, ConversionFlipsAroundThePrimaryTopAndIsItsOwnInverse) {
  const auto coordinates = ScreenCoordinates::forScreens(kScreens);
  EXPECT_EQ(982, coordinates.primaryMaxY());
  const ScreenRect cocoa{100, 900, 200, 50};
  const GlobalRect quartz = coordinates.quartzFromCocoa(cocoa);
  EXPECT_EQ((GlobalRect{100, 32, 200, 50}), quartz);
  EXPECT_EQ(cocoa, coordinates.cocoaFromQuartz(quartz));
  EXPECT_EQ((GlobalPoint{10, 982}), coordinates.quartzFromCocoa(ScreenPoint{10, 0}));
  EXPECT_EQ((ScreenPoint{10, 0}), coordinates.cocoaFromQuartz(GlobalPoint{10, 982}));
  EXPECT_EQ(0, ScreenCoordinates::forScreens({}).primaryMaxY());
}

// The aim point comes from the display's frame as it is now, and only when exactly one
// current display with a usable frame carries the stored identifier.
TEST(LaunchDisplayTarget, AimPointComesFromTheFreshFrameOfAnIdentifiedDisplay) {
  const GlobalRect frame{0, 0, 1512, 982};
  const LaunchDisplayTarget right{4, {1512, -218, 1920, 1300}};
  struct Row {
    const char* name;
    LaunchDisplayTarget stored;
    std::vector<LaunchDisplayTarget> current;
    std::optional<GlobalPoint> expected;
  } rows[] = {
      {"unchanged", right, currentDisplayTargets(kScreens), GlobalPoint{2472, -217}},
      {"movedToTheLeft", right, {{69, frame}, {4, GlobalRect{-1920, 0, 1920, 1080}}}, GlobalPoint{-960, 1}},
      {"lessThanTwoPointsTallAimsHalfway", {7, {0, 0, 100, 1.5}}, {{7, {0, 0, 100, 1.5}}}, GlobalPoint{50, 0.75}},
      {"mirrored", {5, frame}, {{5, frame}, {5, frame}}, std::nullopt},
      {"idZero", {0, frame}, {{0, frame}}, std::nullopt},
      {"disconnected", {5, frame}, {{6, frame}}, std::nullopt},
      {"noDisplays", {5, frame}, {}, std::nullopt},
      {"invalidFreshFrame", {5, frame}, {{5, {0, 0, std::numeric_limits<double>::quiet_NaN(), 982}}}, std::nullopt},
      {"emptyFreshFrame", {5, frame}, {{5, {0, 0, 1512, 0}}}, std::nullopt},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(row.expected, row.stored.refreshedTopCenterPoint(row.current));
  }
}

}  // namespace
}  // namespace quillon
