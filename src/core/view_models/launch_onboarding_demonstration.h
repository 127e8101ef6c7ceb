#pragma once

#include <string>
#include <vector>

#include "core/async/clock.h"
#include "core/overlay/layer_scene.h"

namespace quillon {

// The guide's looping picture of the gesture: a display with a notch, the pointer moving
// onto it, the chord's key going down, the carousel stepping through the cards and the
// key coming up again. One cycle is built once as keyframe animations from time 0, so
// any moment of the loop is drawn by asking the scene for (time mod cycle).
class LaunchOnboardingDemonstration {
 public:
  static constexpr double cycleSeconds = 4.8;
  // The size the scene is laid out for, in points.
  static constexpr Size sceneSize{440, 250};

  LaunchOnboardingDemonstration();
  LaunchOnboardingDemonstration(const LaunchOnboardingDemonstration&) = delete;
  LaunchOnboardingDemonstration& operator=(const LaunchOnboardingDemonstration&) = delete;

  // Rebuilds the picture for these card names (sample names when empty) and this chord.
  void update(const std::vector<std::string>& names, const std::string& shortcutLabel);

  const LayerScene& scene() const { return scene_; }
  // The scene time that shows the loop at `elapsed` seconds since it started.
  static double sceneTime(double elapsed);

 private:
  // The loop's times are its own: the scene's transactions always start at 0.
  class LoopClock final : public Clock {
   public:
    double uptime() const override { return 0; }
    double now() const override { return 0; }
  };

  LoopClock clock_;
  LayerScene scene_{clock_};
  std::vector<std::string> names_;
  std::string shortcutLabel_;
};

}  // namespace quillon
