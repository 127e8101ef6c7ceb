#pragma once

#include <limits>
#include <optional>
#include <string>

namespace quillon {

class LogSink;
class UserDefaults;

// The scroll gesture's three tuning values, each overridable in the user defaults under
// "tuning.<key>" and read again on every use, so a changed value applies from the next
// scroll event without a restart.
class InputTuning {
 public:
  explicit InputTuning(const UserDefaults& defaults) : defaults_(defaults) {}
  // The stored number for "tuning." + key, else `fallback` (also for a stored non-number).
  double d(const std::string& key, double fallback) const;

 private:
  const UserDefaults& defaults_;
};

// Turns a stream of scroll deltas into page steps. Each burst of scrolling is first
// locked to one axis (vertical bursts are ignored whole, since the hand drifts), then
// horizontal motion is summed and one step is emitted when the sum passes the
// threshold, never faster than the minimum page interval. Deltas are points for
// continuous devices and lines for notched wheels; times are wall-clock seconds.
class ScrollAccumulator {
 public:
  enum class Axis { vertical, horizontal };
  static constexpr double axisLockTimeout = 0.4;
  static constexpr double axisLockDistance = 3.0;

  // The step (the direction sign times −1 for rightward motion, +1 for leftward), or
  // none when no step is due.
  std::optional<int> accumulate(double dx, double dy, double now, const InputTuning& tuning, LogSink& log);
  // Ends the burst; the times of the last event and step are kept.
  void reset();

  std::optional<Axis> lockedAxis() const { return lockedAxis_; }

 private:
  double accumulated_ = 0;
  double lastStepAt_ = -std::numeric_limits<double>::infinity();
  std::optional<Axis> lockedAxis_;
  double lastEventAt_ = -std::numeric_limits<double>::infinity();
  double cumulativeDX_ = 0;
  double cumulativeDY_ = 0;
};

}  // namespace quillon
