#include "core/input/scroll_accumulator.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "core/platform/log_sink.h"
#include "core/platform/user_defaults.h"

namespace quillon {

double InputTuning::d(const std::string& key, double fallback) const {
  const auto value = defaults_.object("tuning." + key);
  if (!value) return fallback;
  if (const double* real = value->real()) return *real;
  if (const std::int64_t* integer = value->integer()) return static_cast<double>(*integer);
  if (const bool* boolean = value->boolean()) return *boolean ? 1.0 : 0.0;
  return fallback;
}

void ScrollAccumulator::reset() {
  accumulated_ = 0;
  lockedAxis_.reset();
  cumulativeDX_ = 0;
  cumulativeDY_ = 0;
}

std::optional<int> ScrollAccumulator::accumulate(double dx, double dy, double now, const InputTuning& tuning,
                                                 LogSink& log) {
  if (now - lastEventAt_ > axisLockTimeout) reset();
  lastEventAt_ = now;

  double horizontal = dx;
  if (lockedAxis_ == Axis::vertical) return std::nullopt;
  if (!lockedAxis_) {
    cumulativeDX_ += dx;
    cumulativeDY_ += dy;
    const double distance = std::hypot(cumulativeDX_, cumulativeDY_);
    if (distance < axisLockDistance) return std::nullopt;
    // A tie locks vertical: an ambiguous flick must not page the carousel.
    lockedAxis_ = std::abs(cumulativeDY_) < std::abs(cumulativeDX_) ? Axis::horizontal : Axis::vertical;
    log.log(fmt::format("[Quillon/input] axis locked = {} (cumDX={:.2f} cumDY={:.2f} distance={:.2f})",
                        lockedAxis_ == Axis::horizontal ? "horizontal" : "vertical", cumulativeDX_, cumulativeDY_,
                        distance));
    if (lockedAxis_ == Axis::vertical) return std::nullopt;
    horizontal = cumulativeDX_;  // the motion gathered before the lock counts too
  }

  accumulated_ += horizontal;
  const double threshold = tuning.d("threshold", 8.0);
  const double interval = tuning.d("minPageInterval", 0.15);
  if (!(std::abs(accumulated_) >= threshold)) return std::nullopt;
  if (now - lastStepAt_ < interval) {
    accumulated_ = 0;  // dropped, not carried over: a fast flick pages once
    return std::nullopt;
  }
  const int sign = accumulated_ > 0 ? -1 : 1;
  // A multiplier that is not finite counts as the default; a huge one is clamped so the
  // product stays an int.
  const double multiplier = std::trunc(tuning.d("directionSign", 1.0));
  constexpr double limit = 1 << 30;
  const int clamped = std::isfinite(multiplier) ? static_cast<int>(std::clamp(multiplier, -limit, limit)) : 1;
  accumulated_ = 0;
  lastStepAt_ = now;
  return sign * clamped;
}

}  // namespace quillon
