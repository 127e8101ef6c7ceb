#include <gtest/gtest.h>

#include "core/overlay/launch_card_layout.h"
#include "core/overlay/launch_carousel_position.h"
#include "core/overlay/launch_notch_outline.h"

namespace quillon {
namespace {

TEST(LaunchCarouselPosition, SelectReportsTheWrapCorrection) {
  struct Row {
    int pages, selected, index, direction;
    std::optional<int> correction;
  };
  const Row rows[] = {
      {5, 4, 0, +1, 5},
      {5, 0, 4, -1, -5},
      {5, 1, 2, +1, 0},
      {5, 2, 1, -1, 0},
      {5, 3, 1, +1, 5},
      {5, 1, 1, +1, std::nullopt},
      {5, 1, 2, 0, std::nullopt},
      {5, 1, 5, +1, std::nullopt},
      {5, 1, -1, -1, std::nullopt},
      {1, 0, 0, +1, std::nullopt},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.pages << " " << row.selected << "->" << row.index << " " << row.direction);
    auto position = *LaunchCarouselPosition::make(row.pages, row.selected);
    EXPECT_EQ(position.select(row.index, row.direction), row.correction);
    EXPECT_EQ(position.selectedIndex(), row.correction ? row.index : row.selected);
  }
  EXPECT_FALSE(LaunchCarouselPosition::make(0, 0));
  EXPECT_FALSE(LaunchCarouselPosition::make(3, 3));
  EXPECT_EQ(LaunchCarouselPosition::make(3, 2)->centeredSlot(), 5);
}

TEST(LaunchCardLayout, StackAndPreviewShareTheBody) {
  struct Row {
    double bodyWidth;
    std::optional<Size> preview;
    double stackX, stackWidth;
    std::optional<Rect> previewFrame;
  };
  // Body rows 163 high centred at y 130, lifted by 8: row bottom 56.5.
  const Row rows[] = {
      {572, std::nullopt, 190, 192, std::nullopt},
      {572, Size{0, 100}, 190, 192, std::nullopt},
      {572, Size{400, 100}, 32, 192, Rect{256, 56.5, 284, 163}},  // 4:1 limited by the room left
      {220, std::nullopt, 32, 156, std::nullopt},                 // narrow body: stack = width − 64
      {150, std::nullopt, 11, 128, std::nullopt},                 // never below 128
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.bodyWidth);
    const Rect body{0, 48.5, row.bodyWidth, 163};  // midY 130
    const LaunchCardLayout layout(body, row.preview);
    EXPECT_EQ(layout.titleFrame, (Rect{row.stackX, 56.5, row.stackWidth, 23}));
    EXPECT_EQ(layout.iconFrame, (Rect{row.stackX + (row.stackWidth - 128) / 2, 56.5 + 35, 128, 128}));
    EXPECT_EQ(layout.previewFrame, row.previewFrame);
  }
  // With room to spare a 4:1 image is 4 × 163 wide.
  EXPECT_EQ(LaunchCardLayout({0, 0, 1200, 300}, Size{400, 100}).previewFrame->width, 4 * 163);
  EXPECT_EQ(LaunchCardLayout::preferredWidth(std::nullopt), 620);
  EXPECT_EQ(LaunchCardLayout::preferredWidth(Size{300, 100}), 163 * 3 + 288);
}

TEST(LaunchNotchOutline, ShoulderShrinksForSmallBodiesAndDegenerateRectsHaveNoPath) {
  EXPECT_EQ(LaunchNotchOutline::bodyBounds({0, 0, 600, 260}), (Rect{24, 0, 552, 260}));
  EXPECT_EQ(LaunchNotchOutline::bodyBounds({0, 0, 600, 60}), (Rect{20, 0, 560, 60}));  // height / 3
  EXPECT_EQ(LaunchNotchOutline::bodyBounds({0, 0, 40, 90}), (Rect{10, 0, 20, 90}));    // width / 4
  EXPECT_TRUE(LaunchNotchOutline::silhouette({0, 0, 600, 1}).isEmpty());
  const Path silhouette = LaunchNotchOutline::silhouette({10, 20, 600, 260});
  const Path border = LaunchNotchOutline::border({10, 20, 600, 260});
  EXPECT_EQ(silhouette.elements().back().kind, Path::Element::Kind::close);
  EXPECT_EQ(border.elements().size() + 1, silhouette.elements().size());
  // Half a point inside left, right and bottom so the 1-point border is not cut; flush at the top.
  EXPECT_EQ(border.controlPointBounds(), (Rect{10.5, 20.5, 599, 259.5}));
}

}  // namespace
}  // namespace quillon
