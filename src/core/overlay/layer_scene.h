#pragma once

#include <cstdint>
#include <string>

#include "core/async/clock.h"
#include "core/overlay/layer.h"

namespace quillon {

// A tree of layers and the clock its animations run on. Whatever is shown at a time t is
// a function of the model values and the animations alone, so a frame can be drawn (or
// checked in a test) for any t without replaying the frames before it.
class LayerScene {
 public:
  explicit LayerScene(const Clock& clock) : clock_(clock) {}
  LayerScene(const LayerScene&) = delete;
  LayerScene& operator=(const LayerScene&) = delete;

  Layer& root() { return root_; }
  const Layer& root() const { return root_; }
  double currentTime() const { return clock_.uptime(); }

  // Transactions nest; the outermost one fixes the time that new animations start at
  // and, on commit, bumps the revision that tells a renderer to draw again.
  void beginTransaction(bool animationsEnabled = true);
  void commitTransaction();
  bool animationsEnabled() const { return animationsEnabled_; }

  // Adds `animation` to `layer` under `key`, replacing one with the same key. A begin time
  // of 0 becomes the transaction's time. While animations are off, nothing is added, so
  // the layer shows its model value at once.
  void addAnimation(Layer& layer, std::string key, Animation animation);

  std::uint64_t revision() const { return revision_; }
  // True while any animation of the tree has not ended at `time` (one that has not begun
  // counts: the renderer must wake for it).
  bool hasAnimations(double time) const;
  // Drops animations that ended before `time`; they no longer change what is shown.
  void removeFinishedAnimations(double time);

 private:
  const Clock& clock_;
  Layer root_{"root"};
  int transactionDepth_ = 0;
  bool animationsEnabled_ = true;
  double transactionTime_ = 0;
  std::uint64_t revision_ = 0;
};

// Groups layer changes; `animations` false shows them at once, as CATransaction's
// disabled actions do.
class Transaction {
 public:
  explicit Transaction(LayerScene& scene, bool animations = true) : scene_(scene) {
    scene_.beginTransaction(animations);
  }
  ~Transaction() { scene_.commitTransaction(); }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

 private:
  LayerScene& scene_;
};

}  // namespace quillon
