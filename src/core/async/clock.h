#pragma once

namespace quillon {

// The one source of time. Ages, deadlines and measured durations are seconds of
// system uptime; wall-clock time only stamps stored records. Injected everywhere so
// tests drive time by hand and never sleep.
class Clock {
 public:
  Clock() = default;
  Clock(const Clock&) = delete;
  Clock& operator=(const Clock&) = delete;
  virtual ~Clock() = default;

  // Monotonic seconds since boot; does not advance while the machine sleeps.
  virtual double uptime() const = 0;
  // Seconds since the Unix epoch.
  virtual double now() const = 0;
};

class SystemClock final : public Clock {
 public:
  double uptime() const override;
  double now() const override;
};

}  // namespace quillon
