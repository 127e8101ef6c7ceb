#include "core/overlay/layer.h"

#include <algorithm>

namespace quillon {

Layer& Layer::setMask(std::unique_ptr<Layer> mask) {
  mask_ = std::move(mask);
  return *mask_;
}

Layer& Layer::addSublayer(std::unique_ptr<Layer> layer) {
  sublayers_.push_back(std::move(layer));
  return *sublayers_.back();
}

void Layer::removeAnimation(const std::string& key) {
  std::erase_if(animations_, [&](const KeyedAnimation& entry) { return entry.key == key; });
}

const Animation* Layer::animation(const std::string& key) const {
  for (const KeyedAnimation& entry : animations_) {
    if (entry.key == key) return &entry.animation;
  }
  return nullptr;
}

bool Layer::hasAnimation(LayerProperty property) const {
  return std::any_of(animations_.begin(), animations_.end(),
                     [&](const KeyedAnimation& entry) { return entry.animation.property == property; });
}

const Animation* Layer::running(LayerProperty property, double time) const {
  for (auto it = animations_.rbegin(); it != animations_.rend(); ++it) {
    if (it->animation.property == property && it->animation.isActive(time)) return &it->animation;
  }
  return nullptr;
}

double Layer::presentationOpacity(double time) const {
  const Animation* animation = running(LayerProperty::opacity, time);
  return animation ? animation->scalarAt(time) : opacity;
}

Point Layer::presentationPosition(double time) const {
  const Animation* animation = running(LayerProperty::position, time);
  return animation ? animation->pointAt(time) : position;
}

Size Layer::presentationSize(double time) const {
  const Animation* animation = running(LayerProperty::bounds, time);
  return animation ? animation->rectAt(time).size() : size;
}

Rect Layer::presentationFrame(double time) const {
  const Point centre = presentationPosition(time);
  const Size current = presentationSize(time);
  return {centre.x - current.width / 2, centre.y - current.height / 2, current.width, current.height};
}

const Path& Layer::presentationPath(double time, Path& scratch) const {
  const Animation* animation = running(LayerProperty::path, time);
  return animation ? animation->pathAt(time, scratch) : path;
}

}  // namespace quillon
