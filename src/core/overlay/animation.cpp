#include "core/overlay/animation.h"

#include <algorithm>

namespace quillon {

Animation Animation::basic(LayerProperty property, AnimationValue from, AnimationValue to, double duration,
                           TimingFunction timing) {
  Animation animation;
  animation.property = property;
  animation.values = {std::move(from), std::move(to)};
  animation.duration = duration;
  animation.timing = timing;
  return animation;
}

Animation Animation::keyframes(LayerProperty property, std::vector<AnimationValue> values, std::vector<double> keyTimes,
                               double duration) {
  Animation animation;
  animation.property = property;
  animation.values = std::move(values);
  animation.keyTimes = std::move(keyTimes);
  animation.duration = duration;
  return animation;
}

std::pair<std::size_t, double> Animation::segmentAt(double time) const {
  const std::size_t count = values.size();
  if (count < 2 || !(duration > 0)) return {count - 1, 0};
  const double progress = timing((time - beginTime) / duration);
  if (keyTimes.size() != count) {
    const double position = progress * static_cast<double>(count - 1);
    const auto index = std::min(static_cast<std::size_t>(position), count - 2);
    return {index, position - static_cast<double>(index)};
  }
  // The first key time above the progress ends the segment.
  const auto upper = std::upper_bound(keyTimes.begin(), keyTimes.end(), progress);
  if (upper == keyTimes.begin()) return {0, 0};
  if (upper == keyTimes.end()) return {count - 2, 1};
  const auto index = static_cast<std::size_t>(upper - keyTimes.begin()) - 1;
  const double span = keyTimes[index + 1] - keyTimes[index];
  return {index, span > 0 ? (progress - keyTimes[index]) / span : 1};
}

double Animation::scalarAt(double time) const {
  const auto [index, fraction] = segmentAt(time);
  const double a = std::get<double>(values[index]);
  if (index + 1 >= values.size()) return a;
  return a + (std::get<double>(values[index + 1]) - a) * fraction;
}

Point Animation::pointAt(double time) const {
  const auto [index, fraction] = segmentAt(time);
  const Point a = std::get<Point>(values[index]);
  if (index + 1 >= values.size()) return a;
  const Point b = std::get<Point>(values[index + 1]);
  return {a.x + (b.x - a.x) * fraction, a.y + (b.y - a.y) * fraction};
}

Rect Animation::rectAt(double time) const {
  const auto [index, fraction] = segmentAt(time);
  const Rect a = std::get<Rect>(values[index]);
  if (index + 1 >= values.size()) return a;
  const Rect b = std::get<Rect>(values[index + 1]);
  return {a.x + (b.x - a.x) * fraction, a.y + (b.y - a.y) * fraction, a.width + (b.width - a.width) * fraction,
          a.height + (b.height - a.height) * fraction};
}

const Path& Animation::pathAt(double time, Path& scratch) const {
  const auto [index, fraction] = segmentAt(time);
  const Path& a = std::get<Path>(values[index]);
  if (index + 1 >= values.size() || fraction <= 0) return a;
  const Path& b = std::get<Path>(values[index + 1]);
  if (fraction >= 1) return b;
  Path::interpolate(a, b, fraction, scratch);
  return scratch;
}

}  // namespace quillon
