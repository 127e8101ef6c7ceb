#include "core/overlay/layer_scene.h"

#include <algorithm>

namespace quillon {

namespace {

// LayerType is Layer or const Layer, so one walk serves readers and writers.
template <class LayerType, class Visit>
void visit(LayerType& layer, Visit& f) {
  f(layer);
  if (layer.mask()) visit(*layer.mask(), f);
  for (const auto& sublayer : layer.sublayers()) visit(*sublayer, f);
}

}  // namespace

void LayerScene::beginTransaction(bool animationsEnabled) {
  if (transactionDepth_++ == 0) {
    transactionTime_ = clock_.uptime();
    animationsEnabled_ = animationsEnabled;
  } else {
    // An inner transaction can turn animations off for its changes but not back on.
    animationsEnabled_ = animationsEnabled_ && animationsEnabled;
  }
}

void LayerScene::commitTransaction() {
  if (transactionDepth_ == 0) return;
  if (--transactionDepth_ == 0) {
    animationsEnabled_ = true;
    ++revision_;
  }
}

void LayerScene::addAnimation(Layer& layer, std::string key, Animation animation) {
  if (!animationsEnabled_) return;
  if (animation.beginTime == 0) animation.beginTime = transactionDepth_ > 0 ? transactionTime_ : clock_.uptime();
  layer.removeAnimation(key);
  layer.animations_.push_back({std::move(key), std::move(animation)});
  if (transactionDepth_ == 0) ++revision_;
}

bool LayerScene::hasAnimations(double time) const {
  bool found = false;
  auto check = [&](const Layer& layer) {
    for (const auto& entry : layer.animations()) found = found || entry.animation.endTime() > time;
  };
  visit(root_, check);
  return found;
}

void LayerScene::removeFinishedAnimations(double time) {
  auto prune = [&](Layer& layer) {
    std::erase_if(layer.animations_,
                  [&](const Layer::KeyedAnimation& entry) { return entry.animation.endTime() < time; });
  };
  visit(root_, prune);
}

}  // namespace quillon
