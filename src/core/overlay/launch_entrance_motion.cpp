#include "core/overlay/launch_entrance_motion.h"

#include <algorithm>
#include <cmath>

namespace quillon {

namespace {

constexpr double springDuration = 0.46;
// A spring of angular frequency ≈ 18 rad/s at damping ratio 0.72, written out in closed
// form so that the value at any time needs no integration.
constexpr double decay = 12.96;
constexpr double frequency = 12.491532;
constexpr double sineWeight = 1.0375028459279456;

double smoothstep(double x) { return x * x * (3 - 2 * x); }
double ramp(double x) { return smoothstep(std::clamp(x, 0.0, 1.0)); }

}  // namespace

std::array<double, LaunchEntranceMotion::sampleCount + 1> LaunchEntranceMotion::sampleTimes() const {
  std::array<double, sampleCount + 1> times{};
  for (int i = 0; i <= sampleCount; ++i) times[static_cast<std::size_t>(i)] = duration() * i / sampleCount;
  return times;
}

double LaunchEntranceMotion::progress(double time) const {
  if (reduceMotion || time >= springDuration) return 1;
  if (time <= 0) return 0;
  return 1 - std::exp(-decay * time) * (std::cos(frequency * time) + sineWeight * std::sin(frequency * time));
}

Rect LaunchEntranceMotion::outlineFrame(double time) const {
  const Rect start = source.insetBy(-overshootPadding, 0);
  const double p = progress(time);
  const double width = start.width + p * (destination.width - start.width);
  const double height = start.height + p * (destination.height - start.height);
  const double midX = start.midX() + p * (destination.midX() - start.midX());
  // The top edge must not overshoot: above the screen edge there is nothing to grow into.
  double top = start.maxY() + std::min(p, 1.0) * (destination.maxY() - start.maxY());
  top = std::min(top, container.maxY());
  return Rect{midX - width / 2, top - height, width, height}.intersection(container);
}

Rect LaunchEntranceMotion::previewFrame(const Rect& from, const Rect& to, double time) const {
  const double p = std::clamp(progress(time), 0.0, 1.0);
  return {from.x + p * (to.x - from.x), from.y + p * (to.y - from.y), from.width + p * (to.width - from.width),
          from.height + p * (to.height - from.height)};
}

double LaunchEntranceMotion::contentOpacity(double time) const {
  return reduceMotion ? 1 : ramp((time - 0.055) / 0.14);
}

double LaunchEntranceMotion::outlineOpacity(double time) const { return reduceMotion ? 1 : ramp(time / 0.14); }

double LaunchEntranceMotion::surfaceOpacity(double time) const { return reduceMotion ? ramp(time / 0.12) : 1; }

}  // namespace quillon
