#pragma once

#include <cstdint>
#include <string>

#include "core/async/launch_clock.h"
#include "core/overlay/launch_layer.h"

namespace quillon {

// A tree of layers and the clock its animations run on. Whatever is shown at a time t is
// a function of the model values and the animations alone, so a frame can be drawn (or
// checked in a test) for any t without replaying the frames before it.
class LaunchLayerScene {
 public:
  explicit LaunchLayerScene(const LaunchClock& clock) : clock_(clock) {}
  LaunchLayerScene(const LaunchLayerScene&) = delete;
  LaunchLayerScene& operator=(const LaunchLayerScene&) = delete;

  LaunchLayer& root() { return root_; }
  const LaunchLayer& root() const { return root_; }
  double currentTime() const { return clock_.uptime(); }

  // Transactions nest; the outermost one fixes the time that new animations start at
  // and, on commit, bumps the revision that tells a renderer to draw again.
  void beginTransaction(bool animationsEnabled = true);
  void commitTransaction();
  bool animationsEnabled() const { return animationsEnabled_; }

  // Adds `animation` to `layer` under `key`, replacing one with the same key. A begin time
  // of 0 becomes the transaction's time. While animations are off, nothing is added, so
  // the layer shows its model value at once.
  void addAnimation(LaunchLayer& layer, std::string key, LaunchAnimation animation);

  std::uint64_t revision() const { return revision_; }
  // True while any animation of the tree has not ended at `time` (one that has not begun
  // counts: the renderer must wake for it).
  bool hasAnimations(double time) const;
  // Drops animations that ended before `time`; they no longer change what is shown.
  void removeFinishedAnimations(double time);

 private:
  const LaunchClock& clock_;
  LaunchLayer root_{"root"};
  int transactionDepth_ = 0;
  bool animationsEnabled_ = true;
  double transactionTime_ = 0;
  std::uint64_t revision_ = 0;
};

// Groups layer changes; `animations` false shows them at once, as CATransaction's
// disabled actions do.
class LaunchTransaction {
 public:
  explicit LaunchTransaction(LaunchLayerScene& scene, bool animations = true) : scene_(scene) {
    scene_.beginTransaction(animations);
  }
  ~LaunchTransaction() { scene_.commitTransaction(); }
  LaunchTransaction(const LaunchTransaction&) = delete;
  LaunchTransaction& operator=(const LaunchTransaction&) = delete;

 private:
  LaunchLayerScene& scene_;
};

}  // namespace quillon
