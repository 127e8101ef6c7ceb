#include "core/overlay/launch_switcher_placement.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

TEST(LaunchSwitcherPlacement, ShellHangsFromTheTopCentredOnTheNotchAndClampedToTheScreen) {
  const ScreenRect screen{0, 0, 1512, 982};
  struct Row {
    const char* name;
    ScreenRect source;
    std::vector<Size> previews;
    bool guidance;
    std::optional<ScreenRect> shell;
  };
  const Row rows[] = {
      {"no previews", {656, 950, 200, 32}, {}, false, ScreenRect{422, 722, 668, 260}},
      {"3:1 preview", {656, 950, 200, 32}, {{300, 100}, {0, 50}}, false, ScreenRect{343.5, 722, 825, 260}},
      {"guidance", {656, 950, 200, 32}, {}, true, ScreenRect{422, 682, 668, 300}},
      {"wide notch", {356, 950, 800, 32}, {}, false, ScreenRect{300, 722, 912, 260}},
      {"at the left edge", {0, 950, 200, 32}, {}, false, ScreenRect{0, 722, 668, 260}},
      {"below the top", {656, 500, 200, 32}, {}, false, ScreenRect{422, 436, 668, 546}},
      {"taller than the screen", {656, -100, 200, 1082}, {}, false, std::nullopt},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const auto placement = LaunchSwitcherPlacement::make(row.source, screen, row.previews, row.guidance);
    ASSERT_EQ(placement.has_value(), row.shell.has_value());
    if (!placement) continue;
    EXPECT_EQ(placement->shell, *row.shell);
    // The window adds 24 to the left, right and bottom, never past the screen.
    EXPECT_EQ(placement->window.maxY(), row.shell->maxY());
    EXPECT_EQ(placement->window.minX(), std::max(0.0, row.shell->minX() - 24));
    EXPECT_EQ(placement->window.minY(), row.shell->minY() - 24);
  }
}

}  // namespace
}  // namespace quillon
