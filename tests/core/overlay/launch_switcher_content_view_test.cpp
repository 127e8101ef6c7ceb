#include "core/overlay/launch_switcher_content_view.h"

#include <gtest/gtest.h>

#include "core/localization/l10n.h"
#include "support/fake_workspace.h"
#include "support/manual_clock.h"

namespace quillon {
namespace {

// A 668 × 284 panel whose body hangs 260 high from the top with 24 points of margin, over
// a 200 × 32 notch surface at the top centre.
class LaunchSwitcherContentViewTest : public testing::Test {
 protected:
  static constexpr Rect shell{24, 24, 620, 260};
  static constexpr Rect notch{234, 252, 200, 32};

  LaunchSwitcherConfiguration configuration(int count, int selected) {
    LaunchSwitcherConfiguration result;
    for (int i = 0; i < count; ++i) {
      ManagedNotchApp app;
      app.id = Uuid::random();
      app.displayName = "アプリ" + std::to_string(i);
      app.bundleURL = Url::fileUrl("/Applications/App" + std::to_string(i) + ".app", true);
      result.apps.push_back(app);
      result.guidance[app.id] = "案内" + std::to_string(i);
    }
    result.selectedID = result.apps[static_cast<std::size_t>(selected)].id;
    result.previews[result.selectedID] = image;
    result.liveSnapshot = true;
    result.sourceLocalRect = notch;
    result.backingScale = 2;
    result.shellBounds = shell;
    result.shortcutLabel = "⌘";
    return result;
  }

  // The strip's offset on screen at `time`, in pages from the first copy's first page.
  double stripSlot(double time) const {
    return (view.bounds().midX() - view.strip().presentationPosition(time).x) / view.pageWidth();
  }

  ManualClock clock{1000};
  FakeWorkspace workspace;
  LaunchSwitcherContentView view{clock, workspace, {0, 0, 668, 284}};
  std::shared_ptr<const Bitmap> image = std::make_shared<const Bitmap>(Bitmap::transparent(400, 100));
};

void expectNear(const Rect& actual, const Rect& expected) {
  EXPECT_NEAR(actual.x, expected.x, 1e-3);
  EXPECT_NEAR(actual.y, expected.y, 1e-3);
  EXPECT_NEAR(actual.width, expected.width, 1e-3);
  EXPECT_NEAR(actual.height, expected.height, 1e-3);
}

TEST_F(LaunchSwitcherContentViewTest, EntranceAtItsKeyframesAndAtTheEnd) {
  view.configure(configuration(3, 1));
  view.animateAppearance();
  struct Row {
    int keyframe;
    Rect outline;  // the opening body, overshooting before it settles
    double content, border;
    Rect preview;  // the live image, from over the notch into its card
  };
  const Row rows[] = {
      {0, {210, 252, 248, 32}, 0, 0, notch},
      {12, {40.2853, 43.9627, 587.4293, 240.0373}, 0.786993, 1, {297.8711, 95.5158, 276.6453, 151.5302}},
      {24, {18.9968, 17.8670, 630.0064, 266.1330}, 1, 1, {304, 80.5, 284, 163}},
      {36, shell, 1, 1, {304, 80.5, 284, 163}},
      {40, shell, 1, 1, {304, 80.5, 284, 163}},  // after the end: the model values
  };
  const double stripX = view.strip().frame().x;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.keyframe);
    const double time = 1000 + 0.46 * row.keyframe / 36;
    Path scratch;
    // The path runs half a point inside the frame on the left, right and bottom.
    expectNear(view.silhouetteMask().presentationPath(time, scratch).controlPointBounds(),
               {row.outline.x + 0.5, row.outline.y + 0.5, row.outline.width - 1, row.outline.height - 0.5});
    EXPECT_NEAR(view.outlineLayer().presentationOpacity(time), row.border, 1e-6);
    EXPECT_NEAR(view.scene().root().presentationOpacity(time), 1, 1e-9);
    for (const Layer* layer : view.revealingLayers()) {
      ASSERT_NEAR(layer->presentationOpacity(time), row.content, 1e-6);
    }
    expectNear(view.snapshotLayer()->presentationFrame(time).offsetBy(stripX, 0), row.preview);
  }
}

TEST_F(LaunchSwitcherContentViewTest, ReduceMotionFadesTheSurfaceWithTheBodyInPlace) {
  workspace.reduceMotion = true;
  view.configure(configuration(2, 0));
  view.animateAppearance();
  ASSERT_TRUE(view.entrance());
  EXPECT_EQ(view.entrance()->duration(), 0.12);
  struct Row {
    double at, surface;
  };
  for (const Row& row : {Row{0, 0}, Row{0.06, 0.5}, Row{0.09, 0.84375}, Row{0.12, 1}}) {
    SCOPED_TRACE(row.at);
    const double time = 1000 + row.at;
    Path scratch;
    expectNear(view.silhouetteMask().presentationPath(time, scratch).controlPointBounds(), {24.5, 24.5, 619, 259.5});
    EXPECT_NEAR(view.scene().root().presentationOpacity(time), row.surface, 1e-6);
    EXPECT_NEAR(view.outlineLayer().presentationOpacity(time), 1, 1e-9);
    EXPECT_NEAR(view.revealingLayers().front()->presentationOpacity(time), 1, 1e-9);
    EXPECT_EQ(view.entrance()->progress(row.at), 1);
  }
}

TEST_F(LaunchSwitcherContentViewTest, SlideEndsOnTheMiddleCopyAfterStepsAndWraps) {
  view.configure(configuration(5, 3));
  const auto ids = view.identifiers();
  EXPECT_DOUBLE_EQ(stripSlot(clock.uptime()), 8);
  struct Step {
    int index, direction;
    double midwaySlot;  // halfway through the slide: half a page past the old slot
    double endSlot;
  };
  const Step steps[] = {
      // Across either end the slide starts one copy over, so it still moves by one page.
      {4, +1, 8.5, 9}, {0, +1, 4.5, 5}, {1, +1, 5.5, 6}, {0, -1, 5.5, 5}, {4, -1, 9.5, 9}, {3, -1, 8.5, 8},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.index);
    view.select(ids[static_cast<std::size_t>(step.index)], step.direction);
    EXPECT_NEAR(stripSlot(clock.uptime() + 0.08), step.midwaySlot, 1e-6);
    EXPECT_NEAR(stripSlot(clock.uptime() + 0.16), step.endSlot, 1e-9);
    EXPECT_EQ(view.guidanceLayer().text, "案内" + std::to_string(step.index));
    clock.advance(1);
  }
}

TEST_F(LaunchSwitcherContentViewTest, LayoutsForOneTwoFiveAndSixteenApps) {
  for (int count : {1, 2, 5, 16}) {
    SCOPED_TRACE(count);
    const int selected = count - 1;
    view.configure(configuration(count, selected));
    // Each page: title, icon, image and the image's age.
    ASSERT_EQ(view.strip().sublayers().size(), static_cast<std::size_t>(12 * count));
    EXPECT_DOUBLE_EQ(stripSlot(clock.uptime()), count + selected);
    // Page i shows app i mod n, one page width further along the strip.
    for (int page : {0, count, 3 * count - 1}) {
      const Layer& title = *view.strip().sublayers()[static_cast<std::size_t>(4 * page)];
      EXPECT_EQ(title.text, "アプリ" + std::to_string(page % count));
      EXPECT_DOUBLE_EQ(title.frame().x - page * 668.0, page % count == selected ? 80 : 238);
    }
    EXPECT_EQ(view.previewLayers(view.identifiers()[0]).size(), 3u);
    EXPECT_EQ(view.revealingLayers().size(), static_cast<std::size_t>(12 * count + 2));
    EXPECT_EQ(view.status().text, L10n::text(LocalizedText::format("横スクロールで選択 · {} を離して切替", "⌘")));
    EXPECT_EQ(view.status().frame(), (Rect{72, 34, 524, 18}));
  }
  view.configure(configuration(1, 0));
  view.select(view.identifiers()[0], +1);  // a single page never moves
  EXPECT_DOUBLE_EQ(stripSlot(clock.uptime() + 1), 1);
}

TEST_F(LaunchSwitcherContentViewTest, PreviewUpdateMovesEveryCopyAndClearDropsThePages) {
  auto config = configuration(2, 0);
  view.configure(config);
  const Uuid other = view.identifiers()[1];
  EXPECT_TRUE(view.previewLayers(other).front()->contents == nullptr);
  EXPECT_TRUE(view.updatePreview(image, other));
  for (const Layer* preview : view.previewLayers(other)) {
    EXPECT_EQ(preview->contents, image);
    EXPECT_DOUBLE_EQ(std::fmod(preview->frame().x, 668.0), 304);
  }
  EXPECT_FALSE(view.updatePreview(image, Uuid::random()));

  config.selectedID = Uuid::random();  // not among the apps: nothing changes
  view.configure(config);
  EXPECT_EQ(view.identifiers().size(), 2u);

  view.clear();
  EXPECT_TRUE(view.strip().sublayers().empty());
  EXPECT_FALSE(view.carousel());
  EXPECT_EQ(view.snapshotLayer(), nullptr);
  EXPECT_FALSE(view.updatePreview(image, other));
}

// Kept images tell their age under every copy; the live one and a fresh one do not.
TEST_F(LaunchSwitcherContentViewTest, KeptImagesOlderThanAMinuteShowTheirAge) {
  struct Row {
    double age;
    const char* text;  // Japanese table
  };
  const Row rows[] = {{59, ""},
                      {60, "1分前"},
                      {5 * 60 + 59, "5分前"},
                      {2 * 3600, "2時間前"},
                      {86399, "23時間前"},
                      {86400, "昨日"},
                      {3 * 86400, "3日前"},
                      {-30, ""}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.age);
    auto config = configuration(3, 0);
    for (std::size_t i = 0; i < 3; ++i) {
      config.previews[config.apps[i].id] = image;
      config.previewSavedAt[config.apps[i].id] = clock.now() - row.age;
    }
    view.configure(config);
    const auto textOf = [&](std::size_t app) { return view.ageLayers(config.apps[app].id).front()->text; };
    EXPECT_EQ(row.text, textOf(1));
    EXPECT_EQ(3u, view.ageLayers(config.apps[1].id).size());
    EXPECT_EQ(row.text, view.ageLayers(config.apps[1].id).back()->text);
    EXPECT_EQ("", textOf(0)) << "the selected app's live image is new";
    view.updatePreview(image, config.apps[2].id);
    EXPECT_EQ("", textOf(2)) << "an image just taken";
  }
}

}  // namespace
}  // namespace quillon
