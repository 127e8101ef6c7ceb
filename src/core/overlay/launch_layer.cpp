#include "core/overlay/launch_layer.h"

#include <algorithm>

namespace quillon {

LaunchLayer& LaunchLayer::setMask(std::unique_ptr<LaunchLayer> mask) {
  mask_ = std::move(mask);
  return *mask_;
}

LaunchLayer& LaunchLayer::addSublayer(std::unique_ptr<LaunchLayer> layer) {
  sublayers_.push_back(std::move(layer));
  return *sublayers_.back();
}

void LaunchLayer::removeAnimation(const std::string& key) {
  std::erase_if(animations_, [&](const KeyedAnimation& entry) { return entry.key == key; });
}

const LaunchAnimation* LaunchLayer::animation(const std::string& key) const {
  for (const KeyedAnimation& entry : animations_) {
    if (entry.key == key) return &entry.animation;
  }
  return nullptr;
}

bool LaunchLayer::hasAnimation(LaunchLayerProperty property) const {
  return std::any_of(animations_.begin(), animations_.end(),
                     [&](const KeyedAnimation& entry) { return entry.animation.property == property; });
}

const LaunchAnimation* LaunchLayer::running(LaunchLayerProperty property, double time) const {
  for (auto it = animations_.rbegin(); it != animations_.rend(); ++it) {
    if (it->animation.property == property && it->animation.isActive(time)) return &it->animation;
  }
  return nullptr;
}

double LaunchLayer::presentationOpacity(double time) const {
  const LaunchAnimation* animation = running(LaunchLayerProperty::opacity, time);
  return animation ? animation->scalarAt(time) : opacity;
}

Point LaunchLayer::presentationPosition(double time) const {
  const LaunchAnimation* animation = running(LaunchLayerProperty::position, time);
  return animation ? animation->pointAt(time) : position;
}

Size LaunchLayer::presentationSize(double time) const {
  const LaunchAnimation* animation = running(LaunchLayerProperty::bounds, time);
  return animation ? animation->rectAt(time).size() : size;
}

Rect LaunchLayer::presentationFrame(double time) const {
  const Point centre = presentationPosition(time);
  const Size current = presentationSize(time);
  return {centre.x - current.width / 2, centre.y - current.height / 2, current.width, current.height};
}

const LaunchPath& LaunchLayer::presentationPath(double time, LaunchPath& scratch) const {
  const LaunchAnimation* animation = running(LaunchLayerProperty::path, time);
  return animation ? animation->pathAt(time, scratch) : path;
}

}  // namespace quillon
