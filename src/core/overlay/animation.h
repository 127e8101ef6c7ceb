#pragma once

#include <cstdint>
#include <variant>
#include <vector>

#include "core/overlay/path.h"
#include "core/overlay/timing_function.h"
#include "core/support/geometry.h"

namespace quillon {

// The layer properties that can move over time.
enum class LayerProperty : std::uint8_t {
  opacity,   // double
  position,  // Point: the layer's centre in its superlayer
  bounds,    // Rect: only the size is used; the layer stays centred on its position
  path,      // Path of a shape layer
};

using AnimationValue = std::variant<double, Point, Rect, Path>;

// A timed change of one property. A basic animation has two values; a keyframe animation
// one value per key time, blended linearly between neighbours. While it runs (from
// `beginTime` for `duration` seconds) it overrides the layer's own value; before and after,
// the layer shows its own value, so callers set that to where the motion ends.
struct Animation {
  LayerProperty property = LayerProperty::opacity;
  std::vector<AnimationValue> values;
  // Fractions of the duration, ascending from 0 to 1, one per value; empty spaces the
  // values evenly.
  std::vector<double> keyTimes;
  // Seconds of the scene's clock; 0 means the time of the transaction that adds it.
  double beginTime = 0;
  double duration = 0.25;
  TimingFunction timing = TimingFunction::linear();

  static Animation basic(LayerProperty property, AnimationValue from, AnimationValue to, double duration,
                         TimingFunction timing = TimingFunction::linear());
  static Animation keyframes(LayerProperty property, std::vector<AnimationValue> values, std::vector<double> keyTimes,
                             double duration);

  double endTime() const { return beginTime + duration; }
  bool isActive(double time) const { return time >= beginTime && time < endTime() && !values.empty(); }

  // The value at `time`, which must be within the active interval. Paths are written
  // into `scratch` (reused between frames) and the result refers to it.
  double scalarAt(double time) const;
  Point pointAt(double time) const;
  Rect rectAt(double time) const;
  const Path& pathAt(double time, Path& scratch) const;

 private:
  // The segment that covers `time`: index of its first value and the blend fraction.
  std::pair<std::size_t, double> segmentAt(double time) const;
};

}  // namespace quillon
