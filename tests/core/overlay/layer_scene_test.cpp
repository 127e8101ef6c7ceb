#include "core/overlay/layer_scene.h"

#include <gtest/gtest.h>

#include "support/manual_clock.h"

namespace quillon {
namespace {

TEST(TimingFunction, NamedCurvesKeepTheirEndsAndShape) {
  const TimingFunction ease = TimingFunction::easeInEaseOut();
  EXPECT_DOUBLE_EQ(ease(0), 0);
  EXPECT_NEAR(ease(1), 1, 1e-9);
  EXPECT_NEAR(ease(0.5), 0.5, 1e-6);  // symmetric curve
  EXPECT_LT(ease(0.25), 0.25);        // slow start
  EXPECT_GT(TimingFunction::easeOut()(0.25), 0.25);
  EXPECT_DOUBLE_EQ(TimingFunction::linear()(0.3), 0.3);
  EXPECT_DOUBLE_EQ(ease(-2), 0);
}

TEST(LayerScene, KeyframesFollowTheClockAndLeaveTheModelValueWhenDone) {
  ManualClock clock(50);
  LayerScene scene(clock);
  Layer& layer = scene.root().addSublayer("layer");
  {
    Transaction transaction(scene);
    layer.opacity = 1;
    clock.advance(5);  // the transaction's time, not the time of the call, starts it
    scene.addAnimation(layer, "fade", Animation::keyframes(LayerProperty::opacity, {0.0, 0.8, 0.2}, {0, 0.25, 1}, 2.0));
  }
  struct Row {
    double at;
    double opacity;
  };
  for (const Row& row : {Row{49.9, 1}, Row{50, 0}, Row{50.25, 0.4}, Row{50.5, 0.8}, Row{51.25, 0.5}, Row{52, 1}}) {
    SCOPED_TRACE(row.at);
    EXPECT_NEAR(layer.presentationOpacity(row.at), row.opacity, 1e-9);
  }
  EXPECT_TRUE(scene.hasAnimations(51.9));
  scene.removeFinishedAnimations(52.1);
  EXPECT_FALSE(scene.hasAnimations(52.1));
  EXPECT_TRUE(layer.animations().empty());
}

TEST(LayerScene, TransactionWithoutAnimationsShowsChangesAtOnceAndBumpsTheRevisionOnce) {
  ManualClock clock;
  LayerScene scene(clock);
  Layer& layer = scene.root().addSublayer("layer");
  const auto before = scene.revision();
  {
    Transaction outer(scene, false);
    Transaction inner(scene);  // cannot turn them back on
    scene.addAnimation(layer, "move", Animation::basic(LayerProperty::position, Point{0, 0}, Point{10, 0}, 1));
    layer.position = {10, 0};
  }
  EXPECT_EQ(scene.revision(), before + 1);
  EXPECT_TRUE(layer.animations().empty());
  EXPECT_EQ(layer.presentationPosition(clock.uptime()), (Point{10, 0}));
}

TEST(LayerScene, PathsBlendPointwiseAndSwitchAtHalfWhenShapesDiffer) {
  Path a, b, triangle, out;
  a.moveTo({0, 0});
  a.lineTo({10, 0});
  b.moveTo({0, 10});
  b.lineTo({20, 10});
  triangle = b;
  triangle.lineTo({5, 5});
  Path::interpolate(a, b, 0.5, out);
  EXPECT_EQ(out.elements()[1].points[0], (Point{15, 5}));
  Path::interpolate(a, triangle, 0.49, out);
  EXPECT_EQ(out, a);
  Path::interpolate(a, triangle, 0.5, out);
  EXPECT_EQ(out, triangle);
}

}  // namespace
}  // namespace quillon
