#include "core/overlay/launch_layer_scene.h"

#include <algorithm>

namespace quillon {

namespace {

// LayerType is LaunchLayer or const LaunchLayer, so one walk serves readers and writers.
template <class LayerType, class Visit>
void visit(LayerType& layer, Visit& f) {
  f(layer);
  if (layer.mask()) visit(*layer.mask(), f);
  for (const auto& sublayer : layer.sublayers()) visit(*sublayer, f);
}

}  // namespace

void LaunchLayerScene::beginTransaction(bool animationsEnabled) {
  if (transactionDepth_++ == 0) {
    transactionTime_ = clock_.uptime();
    animationsEnabled_ = animationsEnabled;
  } else {
    // An inner transaction can turn animations off for its changes but not back on.
    animationsEnabled_ = animationsEnabled_ && animationsEnabled;
  }
}

void LaunchLayerScene::commitTransaction() {
  if (transactionDepth_ == 0) return;
  if (--transactionDepth_ == 0) {
    animationsEnabled_ = true;
    ++revision_;
  }
}

void LaunchLayerScene::addAnimation(LaunchLayer& layer, std::string key, LaunchAnimation animation) {
  if (!animationsEnabled_) return;
  if (animation.beginTime == 0) animation.beginTime = transactionDepth_ > 0 ? transactionTime_ : clock_.uptime();
  layer.removeAnimation(key);
  layer.animations_.push_back({std::move(key), std::move(animation)});
  if (transactionDepth_ == 0) ++revision_;
}

bool LaunchLayerScene::hasAnimations(double time) const {
  bool found = false;
  auto check = [&](const LaunchLayer& layer) {
    for (const auto& entry : layer.animations()) found = found || entry.animation.endTime() > time;
  };
  visit(root_, check);
  return found;
}

void LaunchLayerScene::removeFinishedAnimations(double time) {
  auto prune = [&](LaunchLayer& layer) {
    std::erase_if(layer.animations_,
                  [&](const LaunchLayer::KeyedAnimation& entry) { return entry.animation.endTime() < time; });
  };
  visit(root_, prune);
}

}  // namespace quillon
